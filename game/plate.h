#pragma once
// The renderer all plates of the road share, and the drawing of one plate.

#include <cstdint>
#include <memory>

#include <glm/glm.hpp>

#include "game/camera.h"
#include "orvo3d/image.h"
#include "orvo3d/opengl.h"
#include "orvo3d/shader.h"
#include "sim/plate.h"

// A unit cube, the lit and the depth-only plate programs and the four plate
// textures, shared by every plate drawn. The application owns it.
class PlateRenderer {
public:
    // The textures are taken from `preloads` where it holds them. Throws
    // Orvo3D::LoggedException when a buffer or a program cannot be made.
    explicit PlateRenderer(ImagePreloads* preloads = nullptr);
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
};

// Draws the plate relative to the player's distance, in either pass.
void renderPlate(PlateRenderer& renderer, const Plate& plate, float distance, const RenderContext& context);
