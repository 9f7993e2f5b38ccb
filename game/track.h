#pragma once
// The look of the endless road: the translucent nebula sheet drawn under it
// and its plates. Built once; it draws whatever road it is given.

#include <memory>

#include "game/camera.h"
#include "orvo3d/opengl.h"
#include "orvo3d/shader.h"
#include "sim/road.h"

class PlateRenderer;

class TrackView {
public:
    // Builds the sheet and its program; the plates are drawn with `plates`.
    // Throws Orvo3D::LoggedException.
    explicit TrackView(PlateRenderer& plates);
    TrackView(const TrackView&) = delete;
    TrackView& operator=(const TrackView&) = delete;

    // Either pass: the nebula sheet, then every plate of the road.
    void render(const Road& road, const RenderContext& context);

    GlBuffer vbo;
    GlVertexArray vao;
    std::unique_ptr<Shader> shader;

private:
    PlateRenderer& plates;
};
