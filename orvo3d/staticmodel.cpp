#include "orvo3d/staticmodel.h"

#include <algorithm>
#include <climits>
#include <cstddef>

#include <glm/glm.hpp>

#include "orvo3d/gltf2.h"
#include "orvo3d/image.h"
#include "orvo3d/log.h"

namespace {

constexpr const char* kModule = "orvo3d/staticmodel";

// Vertex colour of textured triangles; the lit shader multiplies the texture
// colour by it, which gives the hull its cool tint.
const glm::vec3 kTexturedTint{1.2f, 1.2f, 1.5f};
// A primitive without a material is drawn untextured white.
const glm::vec3 kNoMaterialColor{1.0f, 1.0f, 1.0f};

// A model larger than this is refused part by part rather than exhausting
// memory: a few primitives sharing one large index accessor could otherwise
// ask for any amount of vertex storage. The game's ship has a few thousand.
constexpr std::uint64_t kMaxFaces = std::uint64_t{1} << 20;

// Log records of dropped corners, at most; one summary follows.
constexpr std::uint64_t kMaxCornerReports = 300;

// The triangles of a primitive: its index count divided by 3. An index
// accessor claiming more elements than its buffer view holds in the BIN
// chunk is refused (0 triangles): its missing data would only read as zeros,
// and the count alone would size the vertex buffer.
std::uint32_t faceCountOf(const GltfModel& model, const GltfPrimitive& primitive) {
    const GltfAccessor& indices = model.accessors[primitive.indices];
    const GltfBufferView& view = model.bufferViews[indices.bufferView];
    std::uint64_t present = 0;
    if (model.bin && view.byteOffset <= model.binLength) {
        present = std::min<std::uint64_t>(view.byteLength, model.binLength - view.byteOffset);
    }
    std::uint64_t room = present / std::max<std::uint32_t>(indices.componentSize, 1);
    if (indices.count > room) {
        Logger::error(kModule, __LINE__, "Invalid index count %u (data for %llu)", indices.count,
                      static_cast<unsigned long long>(room));
        return 0;
    }
    return indices.count / 3;
}

void setAttribute(GLuint program, const char* name, GLint size, GLboolean normalised, std::size_t offset) {
    GLint location = glGetAttribLocation(program, name);
    if (location < 0) return;
    glEnableVertexAttribArray(static_cast<GLuint>(location));
    glVertexAttribPointer(static_cast<GLuint>(location), size, GL_FLOAT, normalised, sizeof(StaticVertex),
                          reinterpret_cast<const void*>(offset));
}

}  // namespace

StaticModel::StaticModel(const char* name) {
    GltfModel model = loadGltfBinary(name);

    textures.resize(model.images.size());
    if (!textures.empty()) glGenTextures(static_cast<GLsizei>(textures.size()), textures.data());

    // Parts, in mesh order and within a mesh in primitive order. The face
    // counts are kept so that filling the vertices below uses the same ones.
    std::vector<std::vector<std::uint32_t>> meshFaces(model.meshes.size());
    std::uint64_t total = 0;
    for (std::size_t m = 0; m < model.meshes.size(); ++m) {
        for (const GltfPrimitive& primitive : model.meshes[m].primitives) {
            std::uint32_t faces = faceCountOf(model, primitive);
            if (total + faces > kMaxFaces) {
                Logger::error(kModule, __LINE__, "Model \"%s\" too large: part of %u faces dropped", name, faces);
                faces = 0;
            }
            meshFaces[m].push_back(faces);
            StaticModelPart part;
            if (primitive.material != kGltfNone) {
                const GltfMaterial& material = model.materials[primitive.material];
                part.materialNameHash = material.nameHash;
                if (material.baseColorTexture != -1) {
                    const GltfTexture& texture = model.textures[static_cast<std::size_t>(material.baseColorTexture)];
                    part.texture = textures[texture.source];
                    part.hasTexture = true;
                }
            }
            part.firstFace = static_cast<std::uint32_t>(total);
            part.faceCount = faces;
            parts.push_back(part);
            total += faces;
        }
    }
    const std::uint64_t slots = 3 * total;
    std::vector<StaticVertex> vertices(slots, StaticVertex{});

    // Images, in image order. One that does not decode gets the engine's
    // placeholder, so its texture is complete and samples plain grey.
    for (std::size_t i = 0; i < model.images.size(); ++i) {
        const GltfBufferView& view = model.bufferViews[model.images[i].bufferView];
        const std::uint8_t* bytes = viewData(model, view);
        int size = (bytes != nullptr && view.byteLength <= static_cast<std::uint64_t>(INT_MAX))
                       ? static_cast<int>(view.byteLength)
                       : 0;
        int width = 0;
        int height = 0;
        unsigned char* pixels = loadImageFromMemory(bytes, size, width, height);
        glBindTexture(GL_TEXTURE_2D, textures[i]);
        if (pixels == nullptr) {
            Logger::error(kModule, __LINE__, "Failed to load image");
            uploadRgbTexture(nullptr, 0, 0);
            continue;
        }
        uploadRgbTexture(pixels, width, height);
        freeImage(pixels);
    }
    glBindTexture(GL_TEXTURE_2D, 0);

    // Vertices, walking the nodes that carry a mesh. Parts and vertices line
    // up when each mesh is carried by exactly one node, in mesh order; the
    // corners of a mesh carried again fall beyond the buffer and are dropped.
    std::uint64_t faceBase = 0;
    std::uint64_t droppedCorners = 0;
    for (const GltfNode& node : model.nodes) {
        if (node.kind != NodeKind::Mesh) continue;
        const glm::mat4 transform = localMatrix(model, node);
        const GltfMesh& mesh = model.meshes[node.mesh];
        for (std::size_t p = 0; p < mesh.primitives.size(); ++p) {
            const GltfPrimitive& primitive = mesh.primitives[p];
            const std::uint32_t faces = meshFaces[node.mesh][p];
            const GltfAccessor& indices = model.accessors[primitive.indices];
            const GltfAccessor& positions = model.accessors[primitive.position];
            const GltfAccessor& normals = model.accessors[primitive.normal];
            const GltfAccessor& texcoords = model.accessors[primitive.texcoord0];
            glm::vec3 color = kNoMaterialColor;
            bool textured = false;
            if (primitive.material != kGltfNone) {
                const GltfMaterial& material = model.materials[primitive.material];
                textured = material.baseColorTexture != -1;
                color = textured ? kTexturedTint : glm::vec3(material.baseColorFactor);
            }
            for (std::uint32_t f = 0; f < faces; ++f) {
                for (std::uint32_t c = 0; c < 3; ++c) {
                    std::uint64_t slot = (faceBase + f) * 3 + c;
                    if (slot >= slots) {
                        if (++droppedCorners <= kMaxCornerReports) {
                            Logger::error(kModule, __LINE__, "Invalid vertex data index");
                        }
                        continue;
                    }
                    std::uint32_t v = readIndex(model, indices, 3 * f + c);
                    StaticVertex& out = vertices[slot];
                    glm::vec3 position = glm::vec3(transform * glm::vec4(readVec3(model, positions, v), 1.0f));
                    glm::vec3 normal = readVec3(model, normals, v);
                    for (int k = 0; k < 3; ++k) {
                        out.position[k] = position[k];
                        out.normal[k] = normal[k];
                        out.color[k] = color[k];
                    }
                    if (textured) {
                        glm::vec2 uv = readVec2(model, texcoords, v);
                        out.texturePos[0] = uv.x;
                        out.texturePos[1] = uv.y;
                    }
                    out.useTexture = textured ? 1 : 0;
                }
            }
            faceBase += faces;
        }
    }
    if (droppedCorners > kMaxCornerReports) {
        Logger::error(kModule, __LINE__, "Invalid vertex data index: %llu more corners dropped",
                      static_cast<unsigned long long>(droppedCorners - kMaxCornerReports));
    }

    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(StaticVertex)), vertices.data(),
                 GL_STATIC_DRAW);
    if (glGetError() != GL_NO_ERROR) {
        throw Orvo3D::LoggedException(kModule, __LINE__, "Failed to init model: VBO generation");
    }
    std::vector<StaticVertex>().swap(vertices);

    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    if (glGetError() != GL_NO_ERROR) {
        throw Orvo3D::LoggedException(kModule, __LINE__, "Failed to init model: VAO generation");
    }

    shadowShader = std::make_unique<Shader>("shaders/static-shadow.vert", "shaders/static-shadow.frag");
    staticShader = std::make_unique<Shader>("shaders/static.vert", "shaders/static.frag");

    // The shadow program reads its position from location 0, where the lit
    // program's inPosition is.
    const GLuint program = staticShader->program;
    setAttribute(program, "inPosition", 3, GL_FALSE, offsetof(StaticVertex, position));
    setAttribute(program, "inNormal", 3, GL_TRUE, offsetof(StaticVertex, normal));
    setAttribute(program, "inColor", 3, GL_FALSE, offsetof(StaticVertex, color));
    setAttribute(program, "inTexturePos", 2, GL_FALSE, offsetof(StaticVertex, texturePos));
    // The flag is an integer input of the shader, so it goes through the
    // integer attribute call: a float attribute feeding an int input is
    // undefined in GL.
    GLint useTexture = glGetAttribLocation(program, "inUseTexture");
    if (useTexture >= 0) {
        glEnableVertexAttribArray(static_cast<GLuint>(useTexture));
        glVertexAttribIPointer(static_cast<GLuint>(useTexture), 1, GL_INT, sizeof(StaticVertex),
                               reinterpret_cast<const void*>(offsetof(StaticVertex, useTexture)));
    }

    Logger::info(kModule, __LINE__, "Model \"%s\": %u meshes / %u parts / %u faces / %u images", name,
                 static_cast<unsigned>(model.meshes.size()), static_cast<unsigned>(parts.size()),
                 static_cast<unsigned>(faceBase), static_cast<unsigned>(model.images.size()));
    checkGLError(kModule, __LINE__);
}

StaticModel::~StaticModel() {
    if (!textures.empty()) glDeleteTextures(static_cast<GLsizei>(textures.size()), textures.data());
    if (vao != 0) glDeleteVertexArrays(1, &vao);
    if (vbo != 0) glDeleteBuffers(1, &vbo);
}
