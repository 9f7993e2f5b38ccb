#pragma once
// One axis-aligned box of the road (floor plate, building block or pillar),
// the renderer all plates share, and the box tests the ship uses on them.

#include <cstdint>
#include <memory>

#include <glm/glm.hpp>

#include "orvo3d/opengl.h"
#include "orvo3d/shader.h"

// A unit cube, the lit and the depth-only plate programs and the four plate
// textures. Built by the first Track right before its first plate and kept
// for the life of the process.
class PlateRenderer {
public:
    // Throws Orvo3D::LoggedException when a buffer or a program cannot be made.
    PlateRenderer();
    ~PlateRenderer();
    PlateRenderer(const PlateRenderer&) = delete;
    PlateRenderer& operator=(const PlateRenderer&) = delete;

    // position is already relative to the player (z reduced by the distance).
    // kind: 0 floor plate, 1 building block, 2 pillar.
    void draw(glm::vec3 position, glm::vec3 size, glm::vec3 color, int kind, float gamedist);

    GlBuffer vbo;
    GlVertexArray vao;
    std::unique_ptr<Shader> shader;
    std::unique_ptr<Shader> shadowShader;
    GlTexture metalTexture;
    GlTexture metalNormalTexture;
    GlTexture buildingTexture;
    GlTexture buildingNormalTexture;

    // The process's renderer; null until the first Track builds it, then
    // never destroyed (tests that make a new GL context delete it).
    static PlateRenderer* instance;
};

// A plain record: no GL, so road generation and collisions run without a
// context. Only render needs the shared renderer.
class Plate {
public:
    Plate(float x, float y, float z, float width, float height, float length, bool isFloor, bool isPillar);

    // Draws the plate relative to the player's distance, in either pass,
    // with PlateRenderer::instance.
    void render(float distance) const;

    glm::vec3 position;  // centre: x lateral, y up, z along the road
    glm::vec3 size;      // full width, height, length
    bool isFloor;
    bool isPillar;
};

enum class CollisionKind : std::int32_t { None = 0, Front = 1, LeftSide = 2, RightSide = 3, Top = 4 };

struct CollisionResult {
    float x;
    float y;
    float z;
    CollisionKind kind;
};

// Boxes given by centre and full size; touching faces, edges or corners count
// as overlap.
bool boxesOverlap(glm::vec3 centreA, glm::vec3 sizeA, glm::vec3 centreB, glm::vec3 sizeB);

// The ship's box at oldCentre moved by delta, against one plate: which single
// axis of the move runs into the plate, and the corrected coordinate.
CollisionResult resolveCollision(const Plate& plate, glm::vec3 oldCentre, glm::vec3 shipSize, glm::vec3 delta);
