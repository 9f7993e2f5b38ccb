#include "orvo3d/staticmodel.h"

#include <algorithm>
#include <climits>
#include <cstddef>

#include <glm/glm.hpp>

#include "orvo3d/gltf2.h"
#include "orvo3d/image.h"
#include "orvo3d/log.h"
#include "orvo3d/preload.h"

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

// Parts, in mesh order and within a mesh in primitive order. The face
// counts are kept so that filling the vertices uses the same ones.
std::vector<std::vector<std::uint32_t>> buildParts(const GltfModel& model, StaticModelData& data) {
    std::vector<std::vector<std::uint32_t>> meshFaces(model.meshes.size());
    std::uint64_t total = 0;
    for (std::size_t m = 0; m < model.meshes.size(); ++m) {
        for (const GltfPrimitive& primitive : model.meshes[m].primitives) {
            std::uint32_t faces = faceCountOf(model, primitive);
            if (total + faces > kMaxFaces) {
                Logger::error(kModule, __LINE__, "Model \"%s\" too large: part of %u faces dropped",
                              data.name.c_str(), faces);
                faces = 0;
            }
            meshFaces[m].push_back(faces);
            StaticModelPart part;
            int image = -1;
            if (primitive.material != kGltfNone) {
                const GltfMaterial& material = model.materials[primitive.material];
                part.materialNameHash = material.nameHash;
                if (material.baseColorTexture != -1) {
                    const GltfTexture& texture = model.textures[static_cast<std::size_t>(material.baseColorTexture)];
                    image = static_cast<int>(texture.source);
                    part.hasTexture = true;
                }
            }
            part.firstFace = static_cast<std::uint32_t>(total);
            part.faceCount = faces;
            data.parts.push_back(part);
            data.partImages.push_back(image);
            total += faces;
        }
    }
    data.vertices.assign(3 * total, StaticVertex{});
    return meshFaces;
}

// Images, in image order. One that does not decode keeps null pixels.
void decodeImages(const GltfModel& model, StaticModelData& data) {
    data.images.resize(model.images.size());
    for (std::size_t i = 0; i < model.images.size(); ++i) {
        const GltfBufferView& view = model.bufferViews[model.images[i].bufferView];
        const std::uint8_t* bytes = viewData(model, view);
        int size = (bytes != nullptr && view.byteLength <= static_cast<std::uint64_t>(INT_MAX))
                       ? static_cast<int>(view.byteLength)
                       : 0;
        DecodedImage& image = data.images[i];
        image = loadImageFromMemory(bytes, size);
        if (image.pixels == nullptr) Logger::error(kModule, __LINE__, "Failed to load image");
    }
}

// Vertices, walking the nodes that carry a mesh. Parts and vertices line up
// when each mesh is carried by exactly one node, in mesh order; the corners
// of a mesh carried again fall beyond the buffer and are dropped.
void fillVertices(const GltfModel& model, const std::vector<std::vector<std::uint32_t>>& meshFaces,
                  StaticModelData& data) {
    const std::uint64_t slots = data.vertices.size();
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
                    StaticVertex& out = data.vertices[slot];
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
    data.facesWritten = faceBase;
}

}  // namespace

StaticModelData loadStaticModelData(const char* name) {
    StaticModelData data;
    data.name = name;
    GltfModel model = loadGltfBinary(name);
    data.meshCount = static_cast<std::uint32_t>(model.meshes.size());
    const auto meshFaces = buildParts(model, data);
    decodeImages(model, data);
    fillVertices(model, meshFaces, data);
    return data;
}

namespace {

StaticModelData takeOrLoad(const char* name, StaticModelPreloads* preloads) {
    return preloads != nullptr ? preloads->takeOrLoad(name, loadStaticModelData) : loadStaticModelData(name);
}

}  // namespace

void preloadStaticModel(StaticModelPreloads& preloads, const char* name) {
    preloads.start(name, loadStaticModelData);
}

StaticModel::StaticModel(const char* name, StaticModelPreloads* preloads) : StaticModel(takeOrLoad(name, preloads)) {}

StaticModel::StaticModel(StaticModelData data) : parts(std::move(data.parts)) {
    uploadTextures(data.images);
    for (std::size_t p = 0; p < parts.size(); ++p) {
        if (data.partImages[p] >= 0) parts[p].texture = textures[static_cast<std::size_t>(data.partImages[p])].get();
    }

    vbo = makeVertexBuffer(data.vertices.data(), data.vertices.size() * sizeof(StaticVertex), "model", kModule,
                           __LINE__);
    std::vector<StaticVertex>().swap(data.vertices);
    vao = makeVertexArray("model", kModule, __LINE__);

    shadowShader = std::make_unique<Shader>("shaders/static-shadow.vert", "shaders/static-shadow.frag");
    staticShader = std::make_unique<Shader>("shaders/static.vert", "shaders/static.frag");

    // The shadow program reads its position from location 0, where the lit
    // program's inPosition is. The use-texture flag is an integer input of
    // the shader, so it goes through the integer attribute call: a float
    // attribute feeding an int input is undefined in GL.
    const GLuint program = staticShader->program.get();
    constexpr GLsizei kStride = sizeof(StaticVertex);
    bindAttribute(program, "inPosition", 3, GL_FLOAT, GL_FALSE, kStride, offsetof(StaticVertex, position), kModule,
                  __LINE__);
    bindAttribute(program, "inNormal", 3, GL_FLOAT, GL_TRUE, kStride, offsetof(StaticVertex, normal), kModule,
                  __LINE__);
    bindAttribute(program, "inColor", 3, GL_FLOAT, GL_FALSE, kStride, offsetof(StaticVertex, color), kModule,
                  __LINE__);
    bindAttribute(program, "inTexturePos", 2, GL_FLOAT, GL_FALSE, kStride, offsetof(StaticVertex, texturePos),
                  kModule, __LINE__);
    bindAttribute(program, "inUseTexture", 1, GL_INT, GL_FALSE, kStride, offsetof(StaticVertex, useTexture),
                  kModule, __LINE__);

    Logger::info(kModule, __LINE__, "Model \"%s\": %u meshes / %u parts / %u faces / %u images", data.name.c_str(),
                 static_cast<unsigned>(data.meshCount), static_cast<unsigned>(parts.size()),
                 static_cast<unsigned>(data.facesWritten), static_cast<unsigned>(data.images.size()));
    checkGLError(kModule, __LINE__);
}

// One texture per image, all named by one glGenTextures. An image that did
// not decode gets the engine's placeholder, so its texture is complete and
// samples plain grey.
void StaticModel::uploadTextures(const std::vector<DecodedImage>& images) {
    std::vector<GLuint> names(images.size());
    if (!names.empty()) glGenTextures(static_cast<GLsizei>(names.size()), names.data());
    for (GLuint name : names) textures.emplace_back(name);
    for (std::size_t i = 0; i < images.size(); ++i) {
        glBindTexture(GL_TEXTURE_2D, textures[i].get());
        uploadRgbTexture(images[i].pixels.get(), images[i].width, images[i].height);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}
