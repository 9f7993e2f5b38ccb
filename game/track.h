#pragma once
// The endless road as the player sees it: the road of the run and the
// translucent nebula sheet drawn under it.

#include <cstdint>
#include <memory>

#include "game/camera.h"
#include "orvo3d/opengl.h"
#include "orvo3d/shader.h"
#include "sim/road.h"

class Track : public Road {
public:
    // Builds the sheet and its program and the shared plate renderer if there
    // is none yet; the road is laid from the seed. Throws
    // Orvo3D::LoggedException.
    explicit Track(std::uint32_t seed = kTrackSeed, std::uint32_t updates = 0);
    Track(const Track&) = delete;
    Track& operator=(const Track&) = delete;

    // Either pass: the nebula sheet, then every plate.
    void render(const RenderContext& context);

    GlBuffer vbo;
    GlVertexArray vao;
    std::unique_ptr<Shader> shader;
};
