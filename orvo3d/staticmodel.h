#pragma once
// A glTF binary model turned into one vertex buffer (every triangle already
// placed by its node's transform), one texture per embedded image, the lit
// and the shadow shader and a list of parts, each a run of triangles with one
// material. The owner draws it: bind vbo and vao, pick the shader for the
// pass, set the uniforms, then per part (main pass: colorOverride and the
// part's texture on unit 1) glDrawArrays(GL_TRIANGLES, 3 * firstFace,
// 3 * faceCount).

#include <cstdint>
#include <memory>
#include <vector>

#include "orvo3d/opengl.h"
#include "orvo3d/shader.h"

struct StaticModelPart {
    std::uint32_t materialNameHash = 0;  // hashName of the material's name; 0 without material
    std::uint32_t firstFace = 0;
    std::uint32_t faceCount = 0;
    std::uint32_t texture = 0;  // GL name of the base colour image, 0 for none
    bool hasTexture = false;
};

// One vertex of the buffer; three per triangle, no index buffer.
struct StaticVertex {
    float position[3];  // model space, node transform applied
    float normal[3];    // as stored in the file
    float color[3];
    float texturePos[2];
    std::int32_t useTexture;  // 0 or 1
};
static_assert(sizeof(StaticVertex) == 48, "the vertex layout is a GPU buffer format");

class StaticModel {
public:
    // name without extension, such as "data/ship". Needs the GL context.
    // Throws Orvo3D::LoggedException when the vertex buffer or array cannot
    // be made; the JSON library's and Shader's exceptions pass through.
    explicit StaticModel(const char* name);
    ~StaticModel();
    StaticModel(const StaticModel&) = delete;
    StaticModel& operator=(const StaticModel&) = delete;

    GLuint vbo = 0;
    GLuint vao = 0;
    std::vector<GLuint> textures;  // one per glTF image, in image order
    std::unique_ptr<Shader> staticShader;
    std::unique_ptr<Shader> shadowShader;
    std::vector<StaticModelPart> parts;
};
