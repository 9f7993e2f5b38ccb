#pragma once
// Reads a glTF 2.0 binary container (GLB) from named data into flat lists of
// small records that refer to one another by list position, as the JSON does.
// Names are kept only as hashes; vertex and image bytes stay in the BIN chunk
// and are fetched one element at a time by the readers below.
//
// Malformed JSON, a missing required key or a value of the wrong JSON type
// throws the JSON library's exception (nlohmann::json::parse_error or
// type_error) out of the load. Every other problem is logged as an ERROR
// record and gives an empty or partial model.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <glm/glm.hpp>

#include "orvo3d/hash.h"

// "No index": an optional index field that the file does not set.
inline constexpr std::uint32_t kGltfNone = 0xFFFFFFFFu;

// Chunk and container words (little-endian "glTF", "JSON", "BIN\0").
inline constexpr std::uint32_t kGlbMagic = 0x46546C67u;
inline constexpr std::uint32_t kGlbJsonChunk = 0x4E4F534Au;
inline constexpr std::uint32_t kGlbBinChunk = 0x004E4942u;

// Accessor component type codes (componentType field).
enum GltfComponentType : std::uint32_t {
    GltfComponentUnknown = 0,
    GltfComponentByte = 1,
    GltfComponentUnsignedByte = 2,
    GltfComponentShort = 3,
    GltfComponentUnsignedShort = 4,
    GltfComponentUnsignedInt = 5,
    GltfComponentFloat = 6,
};

// Accessor type codes (type field): the number of components, 0 unknown.
enum GltfAccessorType : std::uint32_t {
    GltfTypeUnknown = 0,
    GltfTypeScalar = 1,
    GltfTypeVec2 = 2,
    GltfTypeVec3 = 3,
    GltfTypeVec4 = 4,
};

// Animation channel path codes.
enum GltfPath : std::uint32_t { GltfPathUnknown = 0, GltfPathTranslation = 1, GltfPathRotation = 2, GltfPathScale = 3 };

// Animation sampler interpolation codes.
enum GltfInterpolation : std::uint32_t { GltfInterpolationUnknown = 0, GltfInterpolationStep = 1, GltfInterpolationLinear = 2 };

enum class NodeKind : std::uint32_t {
    Translation = 1,  // no mesh, but a translation
    Mesh = 2,         // carries a mesh
    Plain = 3,        // neither
};

struct GltfNode {
    std::uint32_t nameHash = 0;
    std::uint32_t index = 0;                 // position in the JSON "nodes" array
    glm::vec4 rotation{0.0f};                // quaternion x, y, z, w; all zero when absent
    glm::vec3 translation{0.0f};
    glm::vec3 scale{1.0f};
    std::vector<std::uint32_t> children;     // stored, never composed
    std::uint32_t mesh = kGltfNone;          // valid when kind is NodeKind::Mesh
    std::uint32_t skin = kGltfNone;          // read only for nodes with a mesh
    NodeKind kind = NodeKind::Plain;
};

struct GltfPrimitive {
    std::uint32_t position = 0;  // accessor indices
    std::uint32_t normal = 0;
    std::uint32_t texcoord0 = 0;
    std::uint32_t joints0 = kGltfNone;
    std::uint32_t weights0 = kGltfNone;
    std::uint32_t indices = 0;
    std::uint32_t material = kGltfNone;  // kGltfNone: no material
};

struct GltfMesh {
    std::uint32_t nameHash = 0;
    std::vector<GltfPrimitive> primitives;
};

struct GltfMaterial {
    std::uint32_t nameHash = 0;
    std::int32_t baseColorTexture = -1;  // texture index, -1 for none
    glm::vec4 baseColorFactor{1.0f};
    float metallicFactor = 1.0f;
    float roughnessFactor = 1.0f;
};

struct GltfTexture {
    std::uint32_t sampler = 0;  // stored only: samplers are not read
    std::uint32_t source = 0;   // image index
};

struct GltfImage {
    std::uint32_t nameHash = 0;
    std::uint32_t bufferView = 0;
};

struct GltfSkin {
    std::uint32_t nameHash = 0;
    std::uint32_t inverseBindMatrices = 0;  // accessor index
    std::vector<std::uint32_t> joints;      // node indices
};

// Elements start at the first byte of the buffer view and lie back to back:
// an accessor's own byte offset and a view's stride are not read.
struct GltfAccessor {
    std::uint32_t bufferView = 0;
    std::uint32_t count = 0;
    std::uint32_t componentSize = 0;  // bytes per component
    std::uint32_t componentType = GltfComponentUnknown;
    std::uint32_t type = GltfTypeUnknown;
};

struct GltfBufferView {
    std::uint32_t buffer = 0;  // stored only: every view lies in the one BIN chunk
    std::uint64_t byteLength = 0;
    std::uint64_t byteOffset = 0;
    std::uint32_t target = 0;
};

struct GltfChannel {
    std::uint32_t sampler = 0;
    std::uint32_t node = 0;
    std::uint32_t path = GltfPathUnknown;
};

struct GltfAnimationSampler {
    std::uint32_t input = 0;   // accessor of key times
    std::uint32_t output = 0;  // accessor of key values
    std::uint32_t interpolation = GltfInterpolationUnknown;
};

struct GltfAnimation {
    std::uint32_t nameHash = 0;
    std::vector<GltfChannel> channels;
    std::vector<GltfAnimationSampler> samplers;
    float start = 99999.0f;  // smallest and largest key time of all inputs;
    float end = -1.0f;       // these values remain when no key time is read
};

struct GltfModel {
    std::uint32_t jsonLength = 0;
    std::uint32_t jsonType = 0;
    std::vector<char> json;  // jsonLength bytes and a terminating zero
    std::uint32_t binLength = 0;
    std::uint32_t binType = 0;
    std::unique_ptr<std::uint8_t[]> bin;  // binLength bytes, or null: no BIN chunk
    std::vector<GltfNode> nodes;
    std::vector<GltfMesh> meshes;
    std::vector<GltfSkin> skins;
    std::vector<GltfAccessor> accessors;
    std::vector<GltfBufferView> bufferViews;
    std::vector<GltfAnimation> animations;
    std::vector<GltfMaterial> materials;
    std::vector<GltfTexture> textures;
    std::vector<GltfImage> images;
};

// Loads the named data name + ".glb" (name as "data/ship"). Every index in a
// loaded model points inside its list and every buffer view lies inside the
// BIN chunk when there is one: a file that breaks this is refused as a whole
// (ERROR record, empty model).
GltfModel loadGltfBinary(const char* name);

// The same for container bytes already in memory; loadGltfBinary ends here.
GltfModel loadGltfBinaryFromMemory(const std::uint8_t* data, std::size_t size);

// The first byte of a buffer view inside the BIN chunk, or null when the
// model has no BIN chunk or the view does not lie wholly inside it.
const std::uint8_t* viewData(const GltfModel& model, const GltfBufferView& bufferView);

// Element i of an accessor, read from its buffer view. Wrong component type:
// ERROR "Unimplemented type"; element past the end of its view (or of the BIN
// chunk): ERROR "Buffer overflow"; no BIN chunk: silently. Each gives zero.
std::uint32_t readIndex(const GltfModel& model, const GltfAccessor& accessor, std::uint32_t i);  // unsigned short
glm::vec2 readVec2(const GltfModel& model, const GltfAccessor& accessor, std::uint32_t i);       // 2 floats
glm::vec3 readVec3(const GltfModel& model, const GltfAccessor& accessor, std::uint32_t i);       // 3 floats

// The node's own T * R * S; the quaternion is used as stored, not normalised
// (so the all-zero default is the identity), and parents are not applied.
glm::mat4 localMatrix(const GltfModel& model, const GltfNode& node);
