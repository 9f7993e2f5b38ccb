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
#include <string>
#include <vector>

#include "orvo3d/image.h"
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

// Everything a model needs before its first GL call: the glTF parsed, the
// images decoded, every vertex placed. Making it calls no GL, so it can be
// made apart from the context; the StaticModel constructor then uploads it.
struct StaticModelData {
    std::string name;
    // GL texture names are not known yet: partImages holds, per part, the
    // glTF image of its base colour texture (-1 for none).
    std::vector<StaticModelPart> parts;
    std::vector<int> partImages;
    std::vector<DecodedImage> images;  // one per glTF image, in image order
    std::vector<StaticVertex> vertices;
    std::uint32_t meshCount = 0;
    std::uint64_t facesWritten = 0;  // triangles the nodes wrote (for the log)
};

// Parses "name.glb" into parts, decodes its images and fills the vertices.
// A missing or bad file gives an empty model (its errors logged). The JSON
// library's exceptions pass through.
StaticModelData loadStaticModelData(const char* name);

// Models loaded on workers ahead of their StaticModel, by name. A
// StaticModel given a table that holds its name takes the result (waiting
// for it if need be), and the loader's records are written there, as if
// made there. The table waits for its workers when it goes.
using StaticModelPreloads = PreloadTable<StaticModelData>;

// Starts loadStaticModelData for the name into the table on a worker now.
void preloadStaticModel(StaticModelPreloads& preloads, const char* name);

class StaticModel {
public:
    // name without extension, such as "data/ship"; takes the model of that
    // name from `preloads` when it holds one. Needs the GL context.
    // Throws Orvo3D::LoggedException when the vertex buffer or array cannot
    // be made; the JSON library's and Shader's exceptions pass through.
    explicit StaticModel(const char* name, StaticModelPreloads* preloads = nullptr);
    // Uploads a model made by loadStaticModelData: textures, vertex buffer,
    // vertex array, shaders. Needs the GL context; throws as above.
    explicit StaticModel(StaticModelData data);
    StaticModel(const StaticModel&) = delete;
    StaticModel& operator=(const StaticModel&) = delete;

    GlBuffer vbo;
    GlVertexArray vao;
    std::vector<GlTexture> textures;  // one per glTF image, in image order
    std::unique_ptr<Shader> staticShader;
    std::unique_ptr<Shader> shadowShader;
    std::vector<StaticModelPart> parts;

private:
    void uploadTextures(const std::vector<DecodedImage>& images);
};
