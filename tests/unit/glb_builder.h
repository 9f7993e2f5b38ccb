#pragma once
// Builds small GLB files in memory for the loader and renderer tests: a glTF
// JSON document plus BIN bytes, assembled with the container words and
// lengths a test chooses (so broken containers are as easy as good ones).

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace glbtest {

using nlohmann::json;

// The raw container: header, JSON chunk, optional second chunk. Every word
// can be overridden to build broken files.
struct Container {
    std::string jsonText;
    std::optional<std::vector<std::uint8_t>> bin;  // no value: no second chunk
    std::uint32_t magic = 0x46546C67u;
    std::uint32_t version = 2;
    std::optional<std::uint32_t> length;      // default: the real total
    std::optional<std::uint32_t> jsonLength;  // default: the padded text's length
    std::uint32_t jsonType = 0x4E4F534Au;
    std::optional<std::uint32_t> binLength;   // default: the BIN bytes' length
    std::uint32_t binType = 0x004E4942u;

    std::string bytes() const {
        std::string text = jsonText;
        while (text.size() % 4 != 0) text.push_back(' ');
        std::string out;
        auto word = [&out](std::uint32_t v) {
            for (int k = 0; k < 4; ++k) out.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
        };
        std::size_t total = 12 + 8 + text.size() + (bin ? 8 + bin->size() : 0);
        word(magic);
        word(version);
        word(length.value_or(static_cast<std::uint32_t>(total)));
        word(jsonLength.value_or(static_cast<std::uint32_t>(text.size())));
        word(jsonType);
        out += text;
        if (bin) {
            word(binLength.value_or(static_cast<std::uint32_t>(bin->size())));
            word(binType);
            out.append(reinterpret_cast<const char*>(bin->data()), bin->size());
        }
        return out;
    }
};

// A glTF document under construction with its BIN bytes. Each accessor gets
// a buffer view of its own, as the loader expects.
struct Document {
    json gltf = json::object();
    std::vector<std::uint8_t> bin;

    int view(const void* data, std::size_t size) {
        while (bin.size() % 4 != 0) bin.push_back(0);
        gltf["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", size}});
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        bin.insert(bin.end(), bytes, bytes + size);
        return static_cast<int>(gltf["bufferViews"].size() - 1);
    }

    int accessor(int bufferView, int componentType, std::size_t count, const char* type) {
        gltf["accessors"].push_back(
            {{"bufferView", bufferView}, {"componentType", componentType}, {"count", count}, {"type", type}});
        return static_cast<int>(gltf["accessors"].size() - 1);
    }

    int floats(const std::vector<float>& values, int components) {
        const char* type = components == 1 ? "SCALAR" : components == 2 ? "VEC2" : components == 3 ? "VEC3" : "VEC4";
        return accessor(view(values.data(), values.size() * 4), 5126, values.size() / components, type);
    }

    int shorts(const std::vector<std::uint16_t>& values) {
        return accessor(view(values.data(), values.size() * 2), 5123, values.size(), "SCALAR");
    }

    int ubytes(const std::vector<std::uint8_t>& values) {
        return accessor(view(values.data(), values.size()), 5121, values.size(), "SCALAR");
    }

    // A primitive from plain vertex arrays; material < 0 leaves it out.
    json primitive(const std::vector<float>& positions, const std::vector<float>& normals,
                   const std::vector<float>& uvs, const std::vector<std::uint16_t>& indices, int material) {
        json p = {{"attributes",
                   {{"POSITION", floats(positions, 3)}, {"NORMAL", floats(normals, 3)}, {"TEXCOORD_0", floats(uvs, 2)}}},
                  {"indices", shorts(indices)}};
        if (material >= 0) p["material"] = material;
        return p;
    }

    int mesh(const char* name, json primitives) {
        gltf["meshes"].push_back({{"name", name}, {"primitives", std::move(primitives)}});
        return static_cast<int>(gltf["meshes"].size() - 1);
    }

    int node(const char* name, int meshIndex, json extra = json::object()) {
        json n = {{"name", name}, {"mesh", meshIndex}};
        n.update(extra);
        gltf["nodes"].push_back(n);
        return static_cast<int>(gltf["nodes"].size() - 1);
    }

    int colourMaterial(const char* name, float r, float g, float b) {
        gltf["materials"].push_back({{"name", name}, {"pbrMetallicRoughness", {{"baseColorFactor", {r, g, b, 1.0}}}}});
        return static_cast<int>(gltf["materials"].size() - 1);
    }

    // An image stored in a view, its texture and a material using it.
    int texturedMaterial(const char* name, const std::vector<std::uint8_t>& imageBytes) {
        int imageView = view(imageBytes.data(), imageBytes.size());
        gltf["images"].push_back({{"name", name}, {"bufferView", imageView}, {"mimeType", "image/jpeg"}});
        gltf["textures"].push_back({{"sampler", 0}, {"source", gltf["images"].size() - 1}});
        gltf["materials"].push_back(
            {{"name", name}, {"pbrMetallicRoughness", {{"baseColorTexture", {{"index", gltf["textures"].size() - 1}}}}}});
        return static_cast<int>(gltf["materials"].size() - 1);
    }

    Container container() const {
        Container c;
        c.jsonText = gltf.dump();
        std::vector<std::uint8_t> padded = bin;
        while (padded.size() % 4 != 0) padded.push_back(0);
        c.bin = padded;
        return c;
    }

    std::string bytes() const { return container().bytes(); }
};

// One triangle facing +z, with unit normals and texture coordinates.
struct Triangle {
    std::vector<float> positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    std::vector<float> normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    std::vector<float> uvs = {0, 0, 1, 0, 0, 1};
    std::vector<std::uint16_t> indices = {0, 1, 2};
};

}  // namespace glbtest
