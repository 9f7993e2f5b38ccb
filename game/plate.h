#pragma once
// The renderer all plates of the road share, and the drawing of one plate.

#include <cstdint>
#include <memory>

#include <glm/glm.hpp>

#include "game/camera.h"
#include "orvo3d/opengl.h"
#include "orvo3d/shader.h"
#include "sim/plate.h"

// A unit cube, the lit and the depth-only plate programs and the four plate
// textures. Built by the first Track right before its first plate and kept
// by its owner (the application's ServiceOwner<PlateRenderer>).
class PlateRenderer {
public:
    // Throws Orvo3D::LoggedException when a buffer or a program cannot be made.
    PlateRenderer();
    ~PlateRenderer();
    PlateRenderer(const PlateRenderer&) = delete;
    PlateRenderer& operator=(const PlateRenderer&) = delete;

    // position is already relative to the player (z reduced by the distance).
    // kind: 0 floor plate, 1 building block, 2 pillar.
    void draw(glm::vec3 position, glm::vec3 size, glm::vec3 color, int kind, float gamedist,
              const RenderContext& context);

    GlBuffer vbo;
    GlVertexArray vao;
    std::unique_ptr<Shader> shader;
    std::unique_ptr<Shader> shadowShader;
    GlTexture metalTexture;
    GlTexture metalNormalTexture;
    GlTexture buildingTexture;
    GlTexture buildingNormalTexture;

    // The renderer of the living ServiceOwner<PlateRenderer>, built on the
    // first call (by the first Track).
    static PlateRenderer& instance();
};

// Draws the plate relative to the player's distance, in either pass, with
// PlateRenderer::instance().
void renderPlate(const Plate& plate, float distance, const RenderContext& context);
