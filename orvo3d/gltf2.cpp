#include "orvo3d/gltf2.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <string>

#include <nlohmann/json.hpp>

#include "orvo3d/log.h"
#include "orvo3d/storage.h"

namespace {

constexpr const char* kModule = "orvo3d/gltf2";
constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kChunkHeaderSize = 8;

using nlohmann::json;

std::uint32_t readWord(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// ---- JSON access -------------------------------------------------------

// A required key is read whatever its presence: a missing one reads as null,
// whose conversion then throws the library's type error.
const json& member(const json& object, const char* key) {
    static const json null;
    if (object.is_object()) {
        auto found = object.find(key);
        if (found != object.end()) return *found;
    }
    return null;
}

bool has(const json& object, const char* key) { return object.is_object() && object.contains(key); }

// Floats are truncated toward zero and then wrap like integers do; the
// library's own cast would be undefined for values out of range (NaN,
// infinities and values beyond 64 bits become all ones, never a valid index).
std::uint64_t truncateFloat(double value) {
    if (!(value > -9.2e18 && value < 1.8e19)) return std::numeric_limits<std::uint64_t>::max();
    if (value < 0.0) return static_cast<std::uint64_t>(static_cast<std::int64_t>(value));
    return static_cast<std::uint64_t>(value);
}

std::uint64_t toU64(const json& value) {
    if (value.is_number_float()) return truncateFloat(value.get<double>());
    return value.get<std::uint64_t>();  // integers, booleans as 0/1; anything else throws
}

std::uint32_t toU32(const json& value) {
    if (value.is_number_float()) return static_cast<std::uint32_t>(truncateFloat(value.get<double>()));
    return value.get<std::uint32_t>();
}

std::int32_t toI32(const json& value) { return static_cast<std::int32_t>(toU32(value)); }

float toF32(const json& value) {
    if (value.is_number_float()) {
        double d = value.get<double>();
        if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) {
            return d > 0.0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
        }
        return static_cast<float>(d);
    }
    return value.get<float>();
}

std::string toText(const json& value) { return value.get<std::string>(); }

// Names hash as zero-terminated strings: an embedded NUL ends the name.
std::uint32_t nameHashOf(const json& object) { return hashName(toText(member(object, "name")).c_str()); }

// A value that must be an array: anything else throws the library's
// "type must be array" error.
void requireArray(const json& value) {
    if (!value.is_array()) (void)value.get<std::vector<json>>();
}

// The items of a top-level section; a missing section has none.
std::span<const json> section(const json& root, const char* key) {
    if (!has(root, key)) return {};
    const json& value = member(root, key);
    requireArray(value);
    const json::array_t& items = value.get_ref<const json::array_t&>();
    return {items.data(), items.size()};
}

std::vector<std::uint32_t> readIndexList(const json& value) {
    requireArray(value);
    std::vector<std::uint32_t> list;
    list.reserve(value.size());
    for (const json& item : value) list.push_back(toU32(item));
    return list;
}

// The first n numbers of an array. A shorter array is refused with an ERROR
// and the field keeps its default.
template <int N>
void readVector(const json& value, glm::vec<N, float>& out, const char* what) {
    requireArray(value);
    if (value.size() < static_cast<std::size_t>(N)) {
        Logger::error(kModule, __LINE__, "Invalid %s: fewer than %d numbers", what, N);
        return;
    }
    glm::vec<N, float> result;
    for (int k = 0; k < N; ++k) result[k] = toF32(value[static_cast<std::size_t>(k)]);
    out = result;
}

// ---- Element reads -------------------------------------------------------

enum class ReadStatus { Ok, WrongType, Overflow, NoBin };

// Fetches `width` bytes of element i (element size componentSize * components)
// into out. Offsets are 64-bit, so no index wraps around, and the bytes must
// lie inside both the buffer view and the BIN chunk.
ReadStatus fetch(const GltfModel& model, const GltfAccessor& accessor, std::uint32_t i, std::uint32_t wantType,
                 std::uint32_t components, std::size_t width, void* out) {
    if (accessor.componentType != wantType) return ReadStatus::WrongType;
    if (accessor.bufferView >= model.bufferViews.size()) return ReadStatus::Overflow;
    const GltfBufferView& view = model.bufferViews[accessor.bufferView];
    // offset + element > byteLength, written so that nothing can wrap.
    std::uint64_t element = static_cast<std::uint64_t>(accessor.componentSize) * components;
    if (element != 0 && static_cast<std::uint64_t>(i) + 1 > view.byteLength / element) return ReadStatus::Overflow;
    std::uint64_t offset = element * i;
    if (!model.bin) return ReadStatus::NoBin;
    std::uint64_t binLength = model.binLength;
    if (view.byteOffset > binLength || offset > binLength - view.byteOffset ||
        width > binLength - view.byteOffset - offset) {
        return ReadStatus::Overflow;
    }
    std::memcpy(out, model.bin.get() + view.byteOffset + offset, width);
    return ReadStatus::Ok;
}

// The log record of a failed read; a read without BIN chunk is silent.
void report(ReadStatus status, int line) {
    if (status == ReadStatus::WrongType) Logger::error(kModule, line, "Unimplemented type");
    if (status == ReadStatus::Overflow) Logger::error(kModule, line, "Buffer overflow");
}

template <int N>
glm::vec<N, float> readFloats(const GltfModel& model, const GltfAccessor& accessor, std::uint32_t i, int line) {
    float values[N] = {};
    ReadStatus status = fetch(model, accessor, i, GltfComponentFloat, N, sizeof values, values);
    glm::vec<N, float> result(0.0f);
    if (status == ReadStatus::Ok) {
        for (int k = 0; k < N; ++k) result[k] = values[k];
    } else {
        report(status, line);
    }
    return result;
}

// ---- Sections --------------------------------------------------------------

GltfNode readNode(const json& item, std::uint32_t index) {
    GltfNode node;
    node.nameHash = nameHashOf(item);
    node.index = index;
    if (has(item, "rotation")) readVector(member(item, "rotation"), node.rotation, "rotation");
    if (has(item, "translation")) readVector(member(item, "translation"), node.translation, "translation");
    if (has(item, "scale")) readVector(member(item, "scale"), node.scale, "scale");
    if (has(item, "children")) node.children = readIndexList(member(item, "children"));
    if (has(item, "mesh")) {
        node.mesh = toU32(member(item, "mesh"));
        if (has(item, "skin")) node.skin = toU32(member(item, "skin"));
        node.kind = NodeKind::Mesh;
    } else if (has(item, "translation")) {
        node.kind = NodeKind::Translation;
    } else {
        node.kind = NodeKind::Plain;
    }
    return node;
}

GltfMesh readMesh(const json& item) {
    GltfMesh mesh;
    mesh.nameHash = nameHashOf(item);
    for (const json& entry : section(item, "primitives")) {
        GltfPrimitive primitive;
        const json& attributes = member(entry, "attributes");
        primitive.position = toU32(member(attributes, "POSITION"));
        primitive.normal = toU32(member(attributes, "NORMAL"));
        primitive.texcoord0 = toU32(member(attributes, "TEXCOORD_0"));
        if (has(attributes, "JOINTS_0")) {
            primitive.joints0 = toU32(member(attributes, "JOINTS_0"));
            primitive.weights0 = toU32(member(attributes, "WEIGHTS_0"));
        }
        primitive.indices = toU32(member(entry, "indices"));
        if (has(entry, "material")) primitive.material = toU32(member(entry, "material"));
        mesh.primitives.push_back(primitive);
    }
    return mesh;
}

GltfMaterial readMaterial(const json& item) {
    GltfMaterial material;
    material.nameHash = nameHashOf(item);
    if (has(item, "pbrMetallicRoughness")) {
        const json& pbr = member(item, "pbrMetallicRoughness");
        if (has(pbr, "baseColorTexture")) {
            material.baseColorTexture = toI32(member(member(pbr, "baseColorTexture"), "index"));
        }
        if (has(pbr, "baseColorFactor")) {
            readVector(member(pbr, "baseColorFactor"), material.baseColorFactor, "baseColorFactor");
        }
        if (has(pbr, "metallicFactor")) material.metallicFactor = toF32(member(pbr, "metallicFactor"));
        if (has(pbr, "roughnessFactor")) material.roughnessFactor = toF32(member(pbr, "roughnessFactor"));
    }
    return material;
}

GltfTexture readTexture(const json& item) {
    GltfTexture texture;
    texture.sampler = toU32(member(item, "sampler"));
    texture.source = toU32(member(item, "source"));
    return texture;
}

GltfImage readImage(const json& item) {
    GltfImage image;
    image.nameHash = nameHashOf(item);
    image.bufferView = toU32(member(item, "bufferView"));
    return image;
}

GltfSkin readSkin(const json& item) {
    GltfSkin skin;
    skin.nameHash = nameHashOf(item);
    skin.inverseBindMatrices = toU32(member(item, "inverseBindMatrices"));
    skin.joints = readIndexList(member(item, "joints"));
    return skin;
}

GltfAccessor readAccessor(const json& item) {
    GltfAccessor accessor;
    accessor.bufferView = toU32(member(item, "bufferView"));
    accessor.count = toU32(member(item, "count"));
    switch (toU32(member(item, "componentType"))) {
        case 5120: accessor.componentType = GltfComponentByte; accessor.componentSize = 1; break;
        case 5121: accessor.componentType = GltfComponentUnsignedByte; accessor.componentSize = 1; break;
        case 5122: accessor.componentType = GltfComponentShort; accessor.componentSize = 2; break;
        case 5123: accessor.componentType = GltfComponentUnsignedShort; accessor.componentSize = 2; break;
        case 5125: accessor.componentType = GltfComponentUnsignedInt; accessor.componentSize = 4; break;
        case 5126: accessor.componentType = GltfComponentFloat; accessor.componentSize = 4; break;
        default:
            accessor.componentType = GltfComponentUnknown;
            Logger::error(kModule, __LINE__, "Unknown component type");
            break;
    }
    std::string type = toText(member(item, "type"));
    if (type == "SCALAR") {
        accessor.type = GltfTypeScalar;
    } else if (type == "VEC2") {
        accessor.type = GltfTypeVec2;
    } else if (type == "VEC3") {
        accessor.type = GltfTypeVec3;
    } else if (type == "VEC4") {
        accessor.type = GltfTypeVec4;
    } else {
        accessor.type = GltfTypeUnknown;
        Logger::error(kModule, __LINE__, "Unknown accessor type");
    }
    return accessor;
}

GltfBufferView readBufferView(const json& item) {
    GltfBufferView view;
    view.buffer = toU32(member(item, "buffer"));
    view.byteLength = toU64(member(item, "byteLength"));
    view.byteOffset = toU64(member(item, "byteOffset"));
    if (has(item, "target")) view.target = toU32(member(item, "target"));
    return view;
}

// Widens the animation's time range by every key time of the sampler's input.
// Element offsets only grow, so once one read fails every later one fails the
// same way; it is reported once and counts once as 0.0 (the range is the same
// as if every failing read were counted, and a huge count cannot stall the
// load or flood the log).
void widenTimeRange(const GltfModel& model, const GltfAnimationSampler& sampler, GltfAnimation& animation) {
    if (sampler.input >= model.accessors.size()) return;  // refused by the index check
    const GltfAccessor& input = model.accessors[sampler.input];
    for (std::uint32_t k = 0; k < input.count; ++k) {
        float value = 0.0f;
        ReadStatus status = fetch(model, input, k, GltfComponentFloat, 1, sizeof value, &value);
        if (status != ReadStatus::Ok) {
            report(status, __LINE__);
            value = 0.0f;
        }
        if (value < animation.start) animation.start = value;
        if (value > animation.end) animation.end = value;
        if (status != ReadStatus::Ok) break;
    }
}

GltfAnimation readAnimation(const GltfModel& model, const json& item) {
    GltfAnimation animation;
    animation.nameHash = nameHashOf(item);
    for (const json& entry : section(item, "channels")) {
        GltfChannel channel;
        channel.sampler = toU32(member(entry, "sampler"));
        const json& target = member(entry, "target");
        channel.node = toU32(member(target, "node"));
        std::string path = toText(member(target, "path"));
        if (path == "translation") {
            channel.path = GltfPathTranslation;
        } else if (path == "rotation") {
            channel.path = GltfPathRotation;
        } else if (path == "scale") {
            channel.path = GltfPathScale;
        } else {
            channel.path = GltfPathUnknown;
            Logger::error(kModule, __LINE__, "Unknown path type");
        }
        animation.channels.push_back(channel);
    }
    for (const json& entry : section(item, "samplers")) {
        GltfAnimationSampler sampler;
        sampler.input = toU32(member(entry, "input"));
        sampler.output = toU32(member(entry, "output"));
        std::string interpolation = toText(member(entry, "interpolation"));
        if (interpolation == "STEP") {
            sampler.interpolation = GltfInterpolationStep;
        } else if (interpolation == "LINEAR") {
            sampler.interpolation = GltfInterpolationLinear;
        } else {
            sampler.interpolation = GltfInterpolationUnknown;
            Logger::error(kModule, __LINE__, "Unknown interpolation type");
        }
        widenTimeRange(model, sampler, animation);
        animation.samplers.push_back(sampler);
    }
    return animation;
}

// ---- Cross-reference check -------------------------------------------------

// Reports the first index that points outside its list. Such a model is
// invalid, and refusing it whole keeps every user of the records free of
// per-use checks.
bool checkIndex(std::uint32_t index, std::size_t listSize, const char* what) {
    if (index < listSize) return true;
    Logger::error(kModule, __LINE__, "Invalid %s index %u (list of %zu)", what, index, listSize);
    return false;
}

bool checkOptional(std::uint32_t index, std::size_t listSize, const char* what) {
    return index == kGltfNone || checkIndex(index, listSize, what);
}

bool crossReferencesValid(const GltfModel& model) {
    const std::size_t nodes = model.nodes.size();
    const std::size_t accessors = model.accessors.size();
    for (const GltfNode& node : model.nodes) {
        for (std::uint32_t child : node.children) {
            if (!checkIndex(child, nodes, "child node")) return false;
        }
        if (node.kind == NodeKind::Mesh) {
            if (!checkIndex(node.mesh, model.meshes.size(), "mesh")) return false;
            if (!checkOptional(node.skin, model.skins.size(), "skin")) return false;
        }
    }
    for (const GltfMesh& mesh : model.meshes) {
        for (const GltfPrimitive& p : mesh.primitives) {
            if (!checkIndex(p.position, accessors, "accessor") || !checkIndex(p.normal, accessors, "accessor") ||
                !checkIndex(p.texcoord0, accessors, "accessor") || !checkIndex(p.indices, accessors, "accessor") ||
                !checkOptional(p.joints0, accessors, "accessor") || !checkOptional(p.weights0, accessors, "accessor") ||
                !checkOptional(p.material, model.materials.size(), "material")) {
                return false;
            }
        }
    }
    for (const GltfMaterial& material : model.materials) {
        if (material.baseColorTexture != -1 &&
            !checkIndex(static_cast<std::uint32_t>(material.baseColorTexture), model.textures.size(), "texture")) {
            return false;
        }
    }
    for (const GltfTexture& texture : model.textures) {
        if (!checkIndex(texture.source, model.images.size(), "image")) return false;
    }
    for (const GltfImage& image : model.images) {
        if (!checkIndex(image.bufferView, model.bufferViews.size(), "buffer view")) return false;
    }
    for (const GltfSkin& skin : model.skins) {
        if (!checkIndex(skin.inverseBindMatrices, accessors, "accessor")) return false;
        for (std::uint32_t joint : skin.joints) {
            if (!checkIndex(joint, nodes, "joint node")) return false;
        }
    }
    for (const GltfAccessor& accessor : model.accessors) {
        if (!checkIndex(accessor.bufferView, model.bufferViews.size(), "buffer view")) return false;
    }
    for (const GltfAnimation& animation : model.animations) {
        for (const GltfChannel& channel : animation.channels) {
            if (!checkIndex(channel.sampler, animation.samplers.size(), "animation sampler") ||
                !checkIndex(channel.node, nodes, "node")) {
                return false;
            }
        }
        for (const GltfAnimationSampler& sampler : animation.samplers) {
            if (!checkIndex(sampler.input, accessors, "accessor") || !checkIndex(sampler.output, accessors, "accessor")) {
                return false;
            }
        }
    }
    // Without a BIN chunk there is nothing to point into: the readers then
    // give zeros, as for any model without one.
    if (model.bin) {
        for (const GltfBufferView& view : model.bufferViews) {
            if (view.byteOffset > model.binLength || view.byteLength > model.binLength - view.byteOffset) {
                Logger::error(kModule, __LINE__, "Buffer view outside binary chunk");
                return false;
            }
        }
    }
    return true;
}

}  // namespace

GltfModel loadGltfBinary(const char* name) {
    std::string path = std::string(name) + ".glb";
    // The model keeps its own copies, so the buffer goes back whether the
    // load succeeds, fails or throws.
    const Storage::Blob data = Storage::loadBlob(path);
    if (!data) {
        Logger::error(kModule, __LINE__, "Failed to open \"%s\"", name);
        return GltfModel{};
    }
    return loadGltfBinaryFromMemory(data.data(), data.size());
}

GltfModel loadGltfBinaryFromMemory(const std::uint8_t* data, std::size_t size) {
    GltfModel model;
    if (data == nullptr || size < kHeaderSize || readWord(data) != kGlbMagic || readWord(data + 4) != 2) {
        Logger::error(kModule, __LINE__, "Invalid glb header or version");
        return model;
    }
    // Every length is checked against the bytes actually there; bytes past
    // the declared length are not part of the container.
    std::uint32_t length = readWord(data + 8);
    if (length > size) {
        Logger::error(kModule, __LINE__, "Invalid glb length: %u declared, %zu present", length, size);
        return model;
    }
    const std::size_t jsonStart = kHeaderSize + kChunkHeaderSize;
    if (length < jsonStart) {
        Logger::error(kModule, __LINE__, "Unexpected ascii chuck type or size");
        return model;
    }
    model.jsonLength = readWord(data + kHeaderSize);
    model.jsonType = readWord(data + kHeaderSize + 4);
    if (model.jsonType != kGlbJsonChunk || model.jsonLength > length - jsonStart) {
        Logger::error(kModule, __LINE__, "Unexpected ascii chuck type or size");
        return model;
    }
    model.json.assign(static_cast<std::size_t>(model.jsonLength) + 1, '\0');
    std::memcpy(model.json.data(), data + jsonStart, model.jsonLength);

    std::size_t binHeader = jsonStart + model.jsonLength;
    if (length > binHeader) {
        if (length - binHeader < kChunkHeaderSize) {
            Logger::error(kModule, __LINE__, "Invalid binary chunk size");
        } else {
            model.binLength = readWord(data + binHeader);
            model.binType = readWord(data + binHeader + 4);
            std::size_t available = length - binHeader - kChunkHeaderSize;
            if (model.binType != kGlbBinChunk) {
                model.binLength = 0;
                Logger::error(kModule, __LINE__, "Skipping unknown chunk type");
            } else if (model.binLength > available) {
                model.binLength = 0;
                Logger::error(kModule, __LINE__, "Invalid binary chunk size");
            } else {
                model.bin = std::make_unique<std::uint8_t[]>(model.binLength);
                std::memcpy(model.bin.get(), data + binHeader + kChunkHeaderSize, model.binLength);
            }
        }
    }

    // The library's exception goes on to the caller, but its message is
    // logged first: it is the only account of what is wrong with the file.
    try {
        // The text is zero-terminated, so the parser stops at the first zero byte.
        const json root = json::parse(model.json.data(), nullptr, true, false);

        // Animations come last: their time range is read through accessors and
        // buffer views that must already be in the model.
        std::uint32_t index = 0;
        for (const json& item : section(root, "nodes")) model.nodes.push_back(readNode(item, index++));
        for (const json& item : section(root, "meshes")) model.meshes.push_back(readMesh(item));
        for (const json& item : section(root, "materials")) model.materials.push_back(readMaterial(item));
        for (const json& item : section(root, "textures")) model.textures.push_back(readTexture(item));
        for (const json& item : section(root, "images")) model.images.push_back(readImage(item));
        for (const json& item : section(root, "skins")) model.skins.push_back(readSkin(item));
        for (const json& item : section(root, "accessors")) model.accessors.push_back(readAccessor(item));
        for (const json& item : section(root, "bufferViews")) model.bufferViews.push_back(readBufferView(item));
        for (const json& item : section(root, "animations")) model.animations.push_back(readAnimation(model, item));
    } catch (const json::exception& error) {
        Logger::error(kModule, __LINE__, "Invalid glTF JSON: %s", error.what());
        throw;
    }

    if (!crossReferencesValid(model)) return GltfModel{};
    return model;
}

const std::uint8_t* viewData(const GltfModel& model, const GltfBufferView& bufferView) {
    if (!model.bin || bufferView.byteOffset >= model.binLength ||
        bufferView.byteLength > model.binLength - bufferView.byteOffset) {
        return nullptr;
    }
    return model.bin.get() + bufferView.byteOffset;
}

std::uint32_t readIndex(const GltfModel& model, const GltfAccessor& accessor, std::uint32_t i) {
    std::uint16_t value = 0;
    ReadStatus status = fetch(model, accessor, i, GltfComponentUnsignedShort, 1, sizeof value, &value);
    if (status != ReadStatus::Ok) {
        report(status, __LINE__);
        return 0;
    }
    return value;
}

glm::vec2 readVec2(const GltfModel& model, const GltfAccessor& accessor, std::uint32_t i) {
    return readFloats<2>(model, accessor, i, __LINE__);
}

glm::vec3 readVec3(const GltfModel& model, const GltfAccessor& accessor, std::uint32_t i) {
    return readFloats<3>(model, accessor, i, __LINE__);
}

glm::mat4 localMatrix([[maybe_unused]] const GltfModel& model, const GltfNode& node) {
    const float x = node.rotation.x, y = node.rotation.y, z = node.rotation.z, w = node.rotation.w;
    glm::mat4 t(1.0f);
    t[3] = glm::vec4(node.translation, 1.0f);
    glm::mat4 r(1.0f);
    r[0] = glm::vec4(1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0.0f);
    r[1] = glm::vec4(2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0.0f);
    r[2] = glm::vec4(2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0.0f);
    glm::mat4 s(1.0f);
    s[0][0] = node.scale.x;
    s[1][1] = node.scale.y;
    s[2][2] = node.scale.z;
    return t * r * s;
}
