// The GLB loader on fixtures built in code: container handling and its
// failure rows, the records read from the JSON, the element readers and
// their bounds, and the refusal of files that point outside their own data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>

#include "orvo3d/gltf2.h"
#include "orvo3d/log.h"
#include "support/sandbox.h"
#include "unit/glb_builder.h"

namespace {

using glbtest::Container;
using glbtest::Document;
using glbtest::Triangle;
using nlohmann::json;

// Loads bytes through the named-data path the game uses (file fallback).
GltfModel loadBytes(const std::string& bytes) {
    static int serial = 0;
    std::string name = "data/fixture" + std::to_string(serial++);
    writeFile(name + ".glb", bytes);
    Logger::clear();
    return loadGltfBinary(name.c_str());
}

int errorCount() { return countOf(readLog(), "ERROR ("); }

bool hasNoRecords(const GltfModel& m) {
    return m.nodes.empty() && m.meshes.empty() && m.skins.empty() && m.accessors.empty() && m.bufferViews.empty() &&
           m.animations.empty() && m.materials.empty() && m.textures.empty() && m.images.empty();
}

bool isEmpty(const GltfModel& m) {
    return hasNoRecords(m) && m.jsonLength == 0 && m.jsonType == 0 && m.json.empty() && m.binLength == 0 &&
           m.bin == nullptr;
}

// A complete little model: one textured triangle mesh on a node, a second
// node without mesh, one animation. Tests break it in one place each.
Document sampleDocument() {
    Document doc;
    Triangle t;
    int material = doc.texturedMaterial("Tex", {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 4});
    doc.mesh("Tri", json::array({doc.primitive(t.positions, t.normals, t.uvs, t.indices, material)}));
    doc.node("A", 0, {{"children", {1}}});
    doc.gltf["nodes"].push_back({{"name", "B"}, {"translation", {0, 1, 0}}});
    int times = doc.floats({0.0f, 1.0f}, 1);
    int values = doc.floats({0, 0, 0, 0, 1, 0}, 3);
    doc.gltf["animations"] = {{{"name", "Bob"},
                               {"channels", {{{"sampler", 0}, {"target", {{"node", 1}, {"path", "translation"}}}}}},
                               {"samplers", {{{"input", times}, {"output", values}, {"interpolation", "LINEAR"}}}}}};
    doc.gltf["skins"] = {{{"name", "S"}, {"inverseBindMatrices", values}, {"joints", {0, 1}}}};
    return doc;
}

// ---- Container -------------------------------------------------------------

TEST(Gltf2Container, MissingDataIsReportedWithTheNameAsPassed) {
    Logger::clear();
    GltfModel model = loadGltfBinary("data/nothing-here");
    EXPECT_TRUE(isEmpty(model));
    std::string log = readLog();
    EXPECT_EQ(countOf(log, "Failed to open \"data/nothing-here\"\n"), 1) << log;
    EXPECT_EQ(errorCount(), 1);
}

TEST(Gltf2Container, BrokenContainersGiveTheirRecordAndWhatWasRead) {
    const std::string json = R"({"nodes":[{"name":"n"}]})";
    struct Case {
        const char* what;
        std::function<std::string()> bytes;
        const char* message;
        bool jsonHeaderKept;  // jsonLength and jsonType set, nothing else
    };
    auto container = [&](std::function<void(Container&)> change) {
        return [=] {
            Container c;
            c.jsonText = json;
            c.bin = std::vector<std::uint8_t>(8, 0xAB);
            change(c);
            return c.bytes();
        };
    };
    const Case cases[] = {
        {"wrong magic", container([](Container& c) { c.magic = 0x46546C68; }), "Invalid glb header or version", false},
        {"version 1", container([](Container& c) { c.version = 1; }), "Invalid glb header or version", false},
        {"shorter than a header", [] { return std::string("glTF\x02\0\0\0", 8); }, "Invalid glb header or version",
         false},
        {"empty data", [] { return std::string(); }, "Invalid glb header or version", false},
        {"first chunk not JSON", container([](Container& c) { c.jsonType = 0x004E4942; }),
         "Unexpected ascii chuck type or size", true},
        // Lengths are checked against the bytes actually there.
        {"length past the data", container([](Container& c) { c.length = 4096; }), "Invalid glb length", false},
        {"length too small for a chunk", container([](Container& c) { c.length = 16; }),
         "Unexpected ascii chuck type or size", false},
        {"JSON chunk past the data", container([](Container& c) { c.jsonLength = 400; }),
         "Unexpected ascii chuck type or size", true},
        {"JSON length of 4 GiB", container([](Container& c) { c.jsonLength = 0xFFFFFFFFu; }),
         "Unexpected ascii chuck type or size", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GltfModel model = loadBytes(c.bytes());
        std::string log = readLog();
        EXPECT_EQ(countOf(log, c.message), 1) << log;
        EXPECT_EQ(errorCount(), 1) << log;
        EXPECT_TRUE(hasNoRecords(model));
        EXPECT_TRUE(model.json.empty());
        EXPECT_EQ(model.bin, nullptr);
        if (c.jsonHeaderKept) {
            EXPECT_NE(model.jsonLength, 0u);
            EXPECT_NE(model.jsonType, 0u);
        } else {
            EXPECT_EQ(model.jsonLength, 0u);
            EXPECT_EQ(model.jsonType, 0u);
        }
    }
}

TEST(Gltf2Container, ASecondChunkThatIsNotUsableIsSkippedAndTheJsonStillRead) {
    const std::string json = R"({"nodes":[{"name":"n"}]})";
    struct Case {
        const char* what;
        std::function<void(Container&)> change;
        const char* message;
    };
    const Case cases[] = {
        {"unknown type", [](Container& c) { c.binType = 0x12345678; }, "Skipping unknown chunk type"},
        {"BIN longer than the data", [](Container& c) { c.binLength = 9; }, "Invalid binary chunk size"},
        {"BIN of 4 GiB", [](Container& c) { c.binLength = 0xFFFFFFFFu; }, "Invalid binary chunk size"},
        {"chunk header cut short", [](Container& c) { c.bin = std::vector<std::uint8_t>{}; c.length = 12 + 8 + 24 + 4; },
         "Invalid binary chunk size"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Container container;
        container.jsonText = json;
        container.bin = std::vector<std::uint8_t>(8, 0xAB);
        c.change(container);
        std::string bytes = container.bytes();
        GltfModel model = loadBytes(bytes);
        EXPECT_EQ(countOf(readLog(), c.message), 1) << readLog();
        EXPECT_EQ(errorCount(), 1);
        EXPECT_EQ(model.binLength, 0u);
        EXPECT_EQ(model.bin, nullptr);
        EXPECT_EQ(model.nodes.size(), 1u);
        EXPECT_EQ(model.jsonType, kGlbJsonChunk);
        EXPECT_EQ(std::string(model.json.data()), json);
    }
}

TEST(Gltf2Container, JsonIsZeroTerminatedAndBinCopied) {
    Container c;
    c.jsonText = R"({"nodes":[]})";
    c.bin = std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8};
    GltfModel model = loadBytes(c.bytes() + "trailing bytes past the declared length");
    EXPECT_EQ(errorCount(), 0) << readLog();
    ASSERT_EQ(model.json.size(), model.jsonLength + 1u);
    EXPECT_EQ(model.json.back(), '\0');
    EXPECT_EQ(model.jsonType, kGlbJsonChunk);
    EXPECT_EQ(model.binType, kGlbBinChunk);
    ASSERT_EQ(model.binLength, 8u);
    EXPECT_EQ(std::memcmp(model.bin.get(), c.bin->data(), 8), 0);
}

TEST(Gltf2Container, WithoutBinChunkEveryReaderGivesZeroSilently) {
    Document doc;
    int a = doc.floats({1, 2, 3, 4, 5, 6}, 3);
    int s = doc.shorts({7, 8, 9, 10});
    int uv = doc.floats({1, 2}, 2);
    Container c = doc.container();
    c.bin.reset();  // length field = jsonLength + 20
    GltfModel model = loadBytes(c.bytes());
    EXPECT_EQ(model.binLength, 0u);
    EXPECT_EQ(model.bin, nullptr);
    ASSERT_EQ(model.accessors.size(), 3u);
    EXPECT_EQ(readVec3(model, model.accessors[a], 1), glm::vec3(0.0f));
    EXPECT_EQ(readIndex(model, model.accessors[s], 2), 0u);
    EXPECT_EQ(readVec2(model, model.accessors[uv], 0), glm::vec2(0.0f));
    EXPECT_EQ(viewData(model, model.bufferViews[0]), nullptr);
    EXPECT_EQ(errorCount(), 0) << readLog();
}

// ---- Records -----------------------------------------------------------------

TEST(Gltf2Records, NodesKeepTheirOrderKindAndTransform) {
    Document doc;
    Triangle t;
    doc.mesh("M", json::array({doc.primitive(t.positions, t.normals, t.uvs, t.indices, -1)}));
    doc.gltf["nodes"] = {
        {{"name", "moved"}, {"translation", {1, 2, 3}}},
        {{"name", "bare"}, {"children", {0, 2}}},
        {{"name", "mesh"}, {"mesh", 0}},
        {{"name", "mesh moved"}, {"mesh", 0}, {"translation", {4, 5, 6}}, {"scale", {2, 3, 4}},
         {"rotation", {0, 0.7071068, 0, 0.7071068}}},
        {{"name", std::string("cut\0here", 8)}},
    };
    GltfModel model = loadBytes(doc.bytes());
    ASSERT_EQ(model.nodes.size(), 5u) << readLog();
    const NodeKind kinds[] = {NodeKind::Translation, NodeKind::Plain, NodeKind::Mesh, NodeKind::Mesh, NodeKind::Plain};
    const char* names[] = {"moved", "bare", "mesh", "mesh moved", "cut"};
    for (std::uint32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(model.nodes[i].index, i);
        EXPECT_EQ(model.nodes[i].kind, kinds[i]) << i;
        EXPECT_EQ(model.nodes[i].nameHash, hashName(names[i])) << i;
    }
    EXPECT_EQ(model.nodes[1].children, (std::vector<std::uint32_t>{0, 2}));
    EXPECT_EQ(model.nodes[2].mesh, 0u);
    EXPECT_EQ(model.nodes[0].translation, glm::vec3(1, 2, 3));

    // Defaults: all-zero rotation, unit scale; localMatrix is then T * S.
    const GltfNode& moved = model.nodes[0];
    EXPECT_EQ(moved.rotation, glm::vec4(0.0f));
    EXPECT_EQ(moved.scale, glm::vec3(1.0f));
    EXPECT_EQ(localMatrix(model, moved), glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3)));

    // A unit quaternion gives T * R * S as the usual formula has it.
    const GltfNode& full = model.nodes[3];
    glm::mat4 expected = glm::translate(glm::mat4(1.0f), glm::vec3(4, 5, 6)) *
                         glm::mat4_cast(glm::quat(0.7071068f, 0.0f, 0.7071068f, 0.0f)) *
                         glm::scale(glm::mat4(1.0f), glm::vec3(2, 3, 4));
    glm::mat4 actual = localMatrix(model, full);
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) EXPECT_NEAR(actual[c][r], expected[c][r], 1e-5f) << c << "," << r;
    }
    // The quaternion is not normalised: (0, 0, 1, 1) gives the raw formula.
    GltfNode raw = moved;
    raw.translation = glm::vec3(0.0f);
    raw.rotation = glm::vec4(0, 0, 1, 1);
    glm::mat4 m = localMatrix(model, raw);
    EXPECT_EQ(glm::vec3(m[0]), glm::vec3(-1, 2, 0));
    EXPECT_EQ(glm::vec3(m[1]), glm::vec3(-2, -1, 0));
    EXPECT_EQ(glm::vec3(m[2]), glm::vec3(0, 0, 1));
    EXPECT_EQ(errorCount(), 0) << readLog();
}

TEST(Gltf2Records, MaterialsTexturesImagesAndPrimitives) {
    Document doc = sampleDocument();
    doc.gltf["materials"].push_back({{"name", "plain"}});
    doc.gltf["materials"].push_back(
        {{"name", "pbr"},
         {"pbrMetallicRoughness", {{"baseColorFactor", {0.1, 0.2, 0.3, 0.4}}, {"metallicFactor", 0.5}, {"roughnessFactor", 0.25}}}});
    Triangle t;
    json joints = doc.primitive(t.positions, t.normals, t.uvs, t.indices, -1);
    joints["attributes"]["JOINTS_0"] = 0;
    joints["attributes"]["WEIGHTS_0"] = 1;
    doc.gltf["meshes"][0]["primitives"].push_back(joints);
    GltfModel model = loadBytes(doc.bytes());
    ASSERT_EQ(model.materials.size(), 3u) << readLog();

    const GltfMaterial& textured = model.materials[0];
    EXPECT_EQ(textured.nameHash, hashName("Tex"));
    EXPECT_EQ(textured.baseColorTexture, 0);
    EXPECT_EQ(textured.baseColorFactor, glm::vec4(1.0f));
    const GltfMaterial& plain = model.materials[1];
    EXPECT_EQ(plain.baseColorTexture, -1);
    EXPECT_EQ(plain.baseColorFactor, glm::vec4(1.0f));
    EXPECT_EQ(plain.metallicFactor, 1.0f);
    EXPECT_EQ(plain.roughnessFactor, 1.0f);
    const GltfMaterial& pbr = model.materials[2];
    EXPECT_EQ(pbr.baseColorTexture, -1);
    EXPECT_EQ(pbr.baseColorFactor, glm::vec4(0.1f, 0.2f, 0.3f, 0.4f));
    EXPECT_EQ(pbr.metallicFactor, 0.5f);
    EXPECT_EQ(pbr.roughnessFactor, 0.25f);

    ASSERT_EQ(model.textures.size(), 1u);
    EXPECT_EQ(model.textures[0].source, 0u);
    ASSERT_EQ(model.images.size(), 1u);
    EXPECT_EQ(model.images[0].nameHash, hashName("Tex"));
    const std::uint8_t* image = viewData(model, model.bufferViews[model.images[0].bufferView]);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image[0], 0xFF);
    EXPECT_EQ(image[3], 0xE0);

    ASSERT_EQ(model.meshes.size(), 1u);
    ASSERT_EQ(model.meshes[0].primitives.size(), 2u);
    const GltfPrimitive& first = model.meshes[0].primitives[0];
    EXPECT_EQ(first.material, 0u);
    EXPECT_EQ(first.joints0, kGltfNone);
    EXPECT_EQ(first.weights0, kGltfNone);
    const GltfPrimitive& second = model.meshes[0].primitives[1];
    EXPECT_EQ(second.material, kGltfNone);
    EXPECT_EQ(second.joints0, 0u);
    EXPECT_EQ(second.weights0, 1u);
    EXPECT_EQ(readVec3(model, model.accessors[second.position], 1), glm::vec3(1, 0, 0));
    EXPECT_EQ(readVec2(model, model.accessors[second.texcoord0], 2), glm::vec2(0, 1));
    EXPECT_EQ(readIndex(model, model.accessors[second.indices], 2), 2u);

    ASSERT_EQ(model.skins.size(), 1u);
    EXPECT_EQ(model.skins[0].joints, (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(errorCount(), 0) << readLog();
}

TEST(Gltf2Records, AccessorCodesAndUnknownTypes) {
    struct Case {
        int json;
        std::uint32_t code;
        std::uint32_t size;
    };
    const Case components[] = {{5120, 1, 1}, {5121, 2, 1}, {5122, 3, 2}, {5123, 4, 2},
                               {5125, 5, 4}, {5126, 6, 4}, {5124, 0, 0}, {0, 0, 0}};
    const std::pair<const char*, std::uint32_t> types[] = {{"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4},
                                                           {"MAT4", 0},   {"vec3", 0}, {"", 0}};
    Document doc;
    int view = doc.view("0123456789abcdef", 16);
    for (const Case& c : components) doc.accessor(view, c.json, 1, "SCALAR");
    for (const auto& [text, code] : types) doc.accessor(view, 5126, 1, text);
    GltfModel model = loadBytes(doc.bytes());
    ASSERT_EQ(model.accessors.size(), std::size(components) + std::size(types)) << readLog();
    std::size_t i = 0;
    for (const Case& c : components) {
        EXPECT_EQ(model.accessors[i].componentType, c.code) << c.json;
        if (c.code != 0) {
            EXPECT_EQ(model.accessors[i].componentSize, c.size) << c.json;
        }
        ++i;
    }
    for (const auto& [text, code] : types) EXPECT_EQ(model.accessors[i++].type, code) << text;
    std::string log = readLog();
    EXPECT_EQ(countOf(log, "Unknown component type"), 2) << log;
    EXPECT_EQ(countOf(log, "Unknown accessor type"), 3) << log;
    EXPECT_EQ(errorCount(), 5);
}

TEST(Gltf2Records, ChannelPathsInterpolationsAndTimeRange) {
    Document doc;
    int times = doc.floats({0.5f, 0.0f, 2.5f, 1.0f}, 1);
    int later = doc.floats({3.0f, 4.0f}, 1);
    int values = doc.floats(std::vector<float>(12, 0.0f), 3);
    json channels = json::array();
    for (const char* path : {"translation", "rotation", "scale", "weights"}) {
        channels.push_back({{"sampler", 0}, {"target", {{"node", 0}, {"path", path}}}});
    }
    json samplers = json::array();
    for (const char* interpolation : {"STEP", "LINEAR", "CUBICSPLINE"}) {
        samplers.push_back({{"input", times}, {"output", values}, {"interpolation", interpolation}});
    }
    doc.gltf["nodes"] = {{{"name", "n"}}};
    doc.gltf["animations"] = {
        {{"name", "all"}, {"channels", channels}, {"samplers", samplers}},
        {{"name", "empty"}},
        {{"name", "two inputs"},
         {"samplers",
          {{{"input", times}, {"output", values}, {"interpolation", "STEP"}},
           {{"input", later}, {"output", values}, {"interpolation", "STEP"}}}}},
    };
    GltfModel model = loadBytes(doc.bytes());
    ASSERT_EQ(model.animations.size(), 3u) << readLog();
    const GltfAnimation& all = model.animations[0];
    EXPECT_EQ(all.nameHash, hashName("all"));
    ASSERT_EQ(all.channels.size(), 4u);
    const std::uint32_t paths[] = {1, 2, 3, 0};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(all.channels[i].path, paths[i]);
    ASSERT_EQ(all.samplers.size(), 3u);
    EXPECT_EQ(all.samplers[0].interpolation, 1u);
    EXPECT_EQ(all.samplers[1].interpolation, 2u);
    EXPECT_EQ(all.samplers[2].interpolation, 0u);
    EXPECT_EQ(all.start, 0.0f);
    EXPECT_EQ(all.end, 2.5f);
    EXPECT_EQ(model.animations[1].start, 99999.0f);
    EXPECT_EQ(model.animations[1].end, -1.0f);
    EXPECT_EQ(model.animations[2].start, 0.0f);
    EXPECT_EQ(model.animations[2].end, 4.0f);
    std::string log = readLog();
    EXPECT_EQ(countOf(log, "Unknown path type"), 1) << log;
    EXPECT_EQ(countOf(log, "Unknown interpolation type"), 1) << log;
    EXPECT_EQ(errorCount(), 2);
}

TEST(Gltf2Records, TimeInputsThatCannotBeReadCountAsZeroOnce) {
    Document doc;
    int shorts = doc.shorts({5, 6, 7, 8});
    int floats = doc.floats({2.0f, 3.0f}, 1);
    // a count far beyond its view: the reads stop at the first failure
    doc.gltf["accessors"][floats]["count"] = 0xFFFFFFFFu;
    doc.gltf["nodes"] = {{{"name", "n"}}};
    doc.gltf["animations"] = {
        {{"name", "shorts"}, {"samplers", {{{"input", shorts}, {"output", shorts}, {"interpolation", "STEP"}}}}},
        {{"name", "overrun"}, {"samplers", {{{"input", floats}, {"output", floats}, {"interpolation", "STEP"}}}}},
    };
    GltfModel model = loadBytes(doc.bytes());
    ASSERT_EQ(model.animations.size(), 2u) << readLog();
    EXPECT_EQ(model.animations[0].start, 0.0f);
    EXPECT_EQ(model.animations[0].end, 0.0f);
    EXPECT_EQ(model.animations[1].start, 0.0f);
    EXPECT_EQ(model.animations[1].end, 3.0f);
    std::string log = readLog();
    EXPECT_EQ(countOf(log, "Unimplemented type"), 1) << log;
    EXPECT_EQ(countOf(log, "Buffer overflow"), 1) << log;
}

TEST(Gltf2Records, NumbersTruncateAndShortVectorsAreRefused) {
    Document doc;
    int view = doc.view("abcdefgh", 8);
    doc.gltf["accessors"] = {{{"bufferView", view}, {"componentType", 5123.9}, {"count", 3.7}, {"type", "SCALAR"}}};
    doc.gltf["bufferViews"][0]["target"] = true;
    doc.gltf["nodes"] = {{{"name", "n"}, {"translation", {1, 2}}, {"scale", {5, 6, 7, 8}}}};
    GltfModel model = loadBytes(doc.bytes());
    ASSERT_EQ(model.accessors.size(), 1u) << readLog();
    EXPECT_EQ(model.accessors[0].count, 3u);
    EXPECT_EQ(model.accessors[0].componentType, 4u);
    EXPECT_EQ(model.bufferViews[0].target, 1u);
    EXPECT_EQ(model.nodes[0].translation, glm::vec3(0.0f));
    EXPECT_EQ(model.nodes[0].scale, glm::vec3(5, 6, 7));
    EXPECT_EQ(countOf(readLog(), "Invalid translation"), 1) << readLog();
    EXPECT_EQ(errorCount(), 1);
}

TEST(Gltf2Records, MalformedJsonAndMissingKeysThrowTheLibrarysErrors) {
    struct Case {
        const char* what;
        std::function<void(json&)> change;
        const char* text;  // start of the type error's text
    };
    const Case cases[] = {
        {"view without byteOffset", [](json& g) { g["bufferViews"][0].erase("byteOffset"); },
         "type must be number, but is null"},
        {"node without name", [](json& g) { g["nodes"][0].erase("name"); }, "type must be string, but is null"},
        {"sampler without interpolation", [](json& g) { g["animations"][0]["samplers"][0].erase("interpolation"); },
         "type must be string, but is null"},
        {"accessor type not a string", [](json& g) { g["accessors"][0]["type"] = 3; },
         "type must be string, but is number"},
        {"primitive without POSITION", [](json& g) { g["meshes"][0]["primitives"][0]["attributes"].erase("POSITION"); },
         "type must be number, but is null"},
        {"JOINTS_0 without WEIGHTS_0",
         [](json& g) { g["meshes"][0]["primitives"][0]["attributes"]["JOINTS_0"] = 0; },
         "type must be number, but is null"},
        {"skin joints not an array", [](json& g) { g["skins"][0]["joints"] = 1; }, "type must be array, but is number"},
        {"translation not an array", [](json& g) { g["nodes"][1]["translation"] = "up"; },
         "type must be array, but is string"},
        {"nodes not an array", [](json& g) { g["nodes"] = {{"a", 1}}; }, "type must be array, but is object"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document doc = sampleDocument();
        c.change(doc.gltf);
        std::filesystem::remove("message.log");
        try {
            loadBytes(doc.bytes());
            ADD_FAILURE() << "no exception";
        } catch (const json::type_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << e.what();
            // The library's own words are logged before the exception leaves.
            EXPECT_EQ(countOf(readLog(), std::string("\nInvalid glTF JSON: ") + e.what() + "\n\n"), 1) << readLog();
            EXPECT_EQ(countOf(readLog(), "ERROR ("), 1) << readLog();
        }
    }
    Container broken;
    for (const char* text : {R"({"nodes": [ {"name": "a"}, ]})", R"({"nodes": [] /* no comments */})"}) {
        SCOPED_TRACE(text);
        broken.jsonText = text;
        std::filesystem::remove("message.log");
        try {
            loadBytes(broken.bytes());
            ADD_FAILURE() << "no exception";
        } catch (const json::parse_error& e) {
            EXPECT_EQ(countOf(readLog(), std::string("\nInvalid glTF JSON: ") + e.what() + "\n\n"), 1) << readLog();
        }
    }
}

// ---- Readers -----------------------------------------------------------------

TEST(Gltf2Readers, BoundsAndComponentTypes) {
    Document doc;
    std::vector<std::uint16_t> shorts(156);
    for (std::size_t i = 0; i < shorts.size(); ++i) shorts[i] = static_cast<std::uint16_t>(1000 + i);
    int indices = doc.shorts(shorts);  // a 312-byte view
    int vec3 = doc.floats({1, 2, 3, 4, 5, 6, 7, 8, 9}, 3);
    int vec2 = doc.floats({1, 2, 3, 4}, 2);
    GltfModel model = loadBytes(doc.bytes());
    ASSERT_EQ(model.bufferViews[model.accessors[indices].bufferView].byteLength, 312u) << readLog();
    const GltfAccessor& index = model.accessors[indices];

    Logger::clear();
    EXPECT_EQ(readIndex(model, index, 155), 1155u);
    EXPECT_EQ(errorCount(), 0);
    EXPECT_EQ(readIndex(model, index, 156), 0u);
    EXPECT_EQ(countOf(readLog(), "Buffer overflow"), 1);

    struct Case {
        const char* what;
        std::function<bool()> read;  // true when the value is the zero result
        const char* message;
    };
    const Case cases[] = {
        {"readIndex on floats", [&] { return readIndex(model, model.accessors[vec3], 0) == 0; }, "Unimplemented type"},
        {"readVec3 on shorts", [&] { return readVec3(model, index, 0) == glm::vec3(0); }, "Unimplemented type"},
        {"readVec2 on shorts", [&] { return readVec2(model, index, 0) == glm::vec2(0); }, "Unimplemented type"},
        {"readVec3 past the end", [&] { return readVec3(model, model.accessors[vec3], 3) == glm::vec3(0); },
         "Buffer overflow"},
        {"readVec2 past the end", [&] { return readVec2(model, model.accessors[vec2], 2) == glm::vec2(0); },
         "Buffer overflow"},
        // 12 * 0x15555556 and 2 * 0x80000001 wrap to 8 and 2 in 32 bits.
        {"readVec3 index wrapping 32 bits",
         [&] { return readVec3(model, model.accessors[vec3], 0x15555556u) == glm::vec3(0); }, "Buffer overflow"},
        {"readIndex index wrapping 32 bits", [&] { return readIndex(model, index, 0x80000001u) == 0; },
         "Buffer overflow"},
        {"readVec2 at the largest index", [&] { return readVec2(model, model.accessors[vec2], 0xFFFFFFFFu) == glm::vec2(0); },
         "Buffer overflow"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Logger::clear();
        EXPECT_TRUE(c.read());
        EXPECT_EQ(countOf(readLog(), c.message), 1) << readLog();
        EXPECT_EQ(errorCount(), 1);
    }
    EXPECT_EQ(readVec3(model, model.accessors[vec3], 2), glm::vec3(7, 8, 9));
    EXPECT_EQ(readVec2(model, model.accessors[vec2], 1), glm::vec2(3, 4));
}

TEST(Gltf2Readers, RecordsMadeByHandCannotReachPastTheBinChunk) {
    Document doc;
    doc.floats({1, 2, 3, 4, 5, 6}, 3);
    GltfModel model = loadBytes(doc.bytes());
    ASSERT_EQ(model.binLength, 24u) << readLog();
    GltfAccessor accessor = model.accessors[0];

    // A view past the chunk, one whose end wraps 64 bits, and an accessor
    // naming a view that does not exist: zero and an ERROR, never a read.
    model.bufferViews.push_back({0, 24, 16, 0});
    model.bufferViews.push_back({0, 0xFFFFFFFFFFFFFFF0ull, 20, 0});
    model.bufferViews.push_back({0, 24, 0xFFFFFFFFFFFFFFF8ull, 0});
    for (std::uint32_t view : {1u, 2u, 3u, 99u}) {
        SCOPED_TRACE(view);
        accessor.bufferView = view;
        Logger::clear();
        EXPECT_EQ(readVec3(model, accessor, 0), glm::vec3(0.0f));
        EXPECT_EQ(countOf(readLog(), "Buffer overflow"), 1) << readLog();
        if (view < model.bufferViews.size()) {
            EXPECT_EQ(viewData(model, model.bufferViews[view]), nullptr);
        }
    }
    // The whole chunk is a valid view; a view starting at its end is not.
    EXPECT_EQ(viewData(model, GltfBufferView{0, 24, 0, 0}), model.bin.get());
    EXPECT_EQ(viewData(model, GltfBufferView{0, 0, 24, 0}), nullptr);
    // An accessor whose component size disagrees with its type reads no
    // more than the element it asks for inside the chunk.
    accessor.bufferView = 0;
    accessor.componentSize = 0;
    EXPECT_EQ(readVec3(model, accessor, 5), glm::vec3(1, 2, 3));
}

// ---- Cross references ---------------------------------------------------------

TEST(Gltf2CrossReferences, IndicesOutsideTheirListsRefuseTheModel) {
    struct Case {
        const char* what;
        std::function<void(json&)> change;
        const char* message;
    };
    const Case cases[] = {
        {"node mesh", [](json& g) { g["nodes"][0]["mesh"] = 1; }, "Invalid mesh index 1"},
        {"node child", [](json& g) { g["nodes"][0]["children"] = {5}; }, "Invalid child node index 5"},
        {"node skin", [](json& g) { g["nodes"][0]["skin"] = 3; }, "Invalid skin index 3"},
        {"primitive position", [](json& g) { g["meshes"][0]["primitives"][0]["attributes"]["POSITION"] = 40; },
         "Invalid accessor index 40"},
        {"primitive indices", [](json& g) { g["meshes"][0]["primitives"][0]["indices"] = -2; },
         "Invalid accessor index 4294967294"},
        {"primitive material", [](json& g) { g["meshes"][0]["primitives"][0]["material"] = 1; },
         "Invalid material index 1"},
        {"material texture", [](json& g) { g["materials"][0]["pbrMetallicRoughness"]["baseColorTexture"]["index"] = 1; },
         "Invalid texture index 1"},
        {"material texture negative",
         [](json& g) { g["materials"][0]["pbrMetallicRoughness"]["baseColorTexture"]["index"] = -7; },
         "Invalid texture index"},
        {"texture source", [](json& g) { g["textures"][0]["source"] = 2; }, "Invalid image index 2"},
        {"image view", [](json& g) { g["images"][0]["bufferView"] = 1e12; }, "Invalid buffer view index"},
        {"accessor view", [](json& g) { g["accessors"][2]["bufferView"] = 77; }, "Invalid buffer view index 77"},
        {"skin matrices", [](json& g) { g["skins"][0]["inverseBindMatrices"] = 9; }, "Invalid accessor index 9"},
        {"skin joint", [](json& g) { g["skins"][0]["joints"] = {0, 2}; }, "Invalid joint node index 2"},
        {"channel node", [](json& g) { g["animations"][0]["channels"][0]["target"]["node"] = 2; },
         "Invalid node index 2"},
        {"channel sampler", [](json& g) { g["animations"][0]["channels"][0]["sampler"] = 1; },
         "Invalid animation sampler index 1"},
        {"sampler input", [](json& g) { g["animations"][0]["samplers"][0]["input"] = 60; },
         "Invalid accessor index 60"},
        {"sampler output", [](json& g) { g["animations"][0]["samplers"][0]["output"] = 61; },
         "Invalid accessor index 61"},
        {"view past the chunk", [](json& g) { g["bufferViews"][1]["byteOffset"] = 4096; },
         "Buffer view outside binary chunk"},
        {"view longer than the chunk", [](json& g) { g["bufferViews"][1]["byteLength"] = 4096; },
         "Buffer view outside binary chunk"},
        {"view end wrapping 64 bits",
         [](json& g) { g["bufferViews"][1]["byteLength"] = 18446744073709551615ull; },
         "Buffer view outside binary chunk"},
    };
    {
        Document doc = sampleDocument();
        GltfModel model = loadBytes(doc.bytes());
        EXPECT_EQ(errorCount(), 0) << readLog();
        EXPECT_FALSE(hasNoRecords(model));
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document doc = sampleDocument();
        c.change(doc.gltf);
        GltfModel model = loadBytes(doc.bytes());
        EXPECT_TRUE(isEmpty(model));
        EXPECT_EQ(countOf(readLog(), c.message), 1) << readLog();
        EXPECT_EQ(errorCount(), 1) << readLog();
    }
}

// ---- The shipped model ----------------------------------------------------------

TEST(Gltf2Ship, HasTheLayoutTheGameDrawsFrom) {
    Logger::clear();
    GltfModel model = loadGltfBinary("data/ship");
    EXPECT_EQ(errorCount(), 0) << readLog();
    ASSERT_EQ(model.nodes.size(), 8u);
    ASSERT_EQ(model.meshes.size(), 8u);
    EXPECT_TRUE(model.animations.empty());
    EXPECT_TRUE(model.skins.empty());
    const char* materialNames[] = {"Material", "Material.001", "Thruster", "Fire", "NearFire", "Material.002"};
    ASSERT_EQ(model.materials.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(model.materials[i].nameHash, hashName(materialNames[i])) << materialNames[i];
        int texture = model.materials[i].baseColorTexture;
        if (i < 2) {
            ASSERT_EQ(texture, i);
            EXPECT_EQ(model.textures[texture].source, static_cast<std::uint32_t>(i));
        } else {
            EXPECT_EQ(texture, -1) << materialNames[i];
        }
    }
    ASSERT_EQ(model.images.size(), 2u);
    for (const GltfImage& image : model.images) {
        const GltfBufferView& view = model.bufferViews[image.bufferView];
        const std::uint8_t* jpeg = viewData(model, view);
        ASSERT_NE(jpeg, nullptr);
        EXPECT_EQ(jpeg[0], 0xFF);  // JPEG start of image
        EXPECT_EQ(jpeg[1], 0xD8);
    }

    std::size_t primitives = 0;
    std::vector<std::uint32_t> viewsSeen;
    glm::vec3 lo(1e9f), hi(-1e9f);
    for (std::uint32_t i = 0; i < 8; ++i) {
        const GltfNode& node = model.nodes[i];
        ASSERT_EQ(node.kind, NodeKind::Mesh);
        ASSERT_EQ(node.mesh, i) << "node i carries mesh i";
        const glm::mat4 transform = localMatrix(model, node);
        for (const GltfPrimitive& p : model.meshes[i].primitives) {
            ++primitives;
            for (std::uint32_t a : {p.position, p.normal, p.texcoord0, p.indices}) {
                viewsSeen.push_back(model.accessors[a].bufferView);
            }
            EXPECT_EQ(model.accessors[p.indices].componentType, static_cast<std::uint32_t>(GltfComponentUnsignedShort));
            EXPECT_EQ(model.accessors[p.position].componentType, static_cast<std::uint32_t>(GltfComponentFloat));
            EXPECT_EQ(model.accessors[p.normal].componentType, static_cast<std::uint32_t>(GltfComponentFloat));
            EXPECT_EQ(model.accessors[p.texcoord0].componentType, static_cast<std::uint32_t>(GltfComponentFloat));
            const bool flame = p.material == 3 || p.material == 4;
            const GltfAccessor& positions = model.accessors[p.position];
            for (std::uint32_t v = 0; v < positions.count; ++v) {
                glm::vec3 at = glm::vec3(transform * glm::vec4(readVec3(model, positions, v), 1.0f));
                EXPECT_NEAR(glm::length(readVec3(model, model.accessors[p.normal], v)), 1.0f, 1e-3f);
                if (flame) {
                    EXPECT_GT(at.z, 0.5f) << "flames trail behind the ship";
                } else {
                    lo = glm::min(lo, at);
                    hi = glm::max(hi, at);
                }
            }
        }
    }
    EXPECT_EQ(primitives, 12u);
    std::sort(viewsSeen.begin(), viewsSeen.end());
    EXPECT_EQ(std::adjacent_find(viewsSeen.begin(), viewsSeen.end()), viewsSeen.end())
        << "every accessor has its own buffer view";

    // The engines, meshes 4 and 5, carry thruster, fire and near fire, at
    // the rear (positive z).
    for (std::uint32_t m : {4u, 5u}) {
        const auto& engine = model.meshes[m].primitives;
        ASSERT_EQ(engine.size(), 3u);
        EXPECT_EQ(engine[0].material, 2u);
        EXPECT_EQ(engine[1].material, 3u);
        EXPECT_EQ(engine[2].material, 4u);
        EXPECT_GT(model.nodes[m].translation.z, 0.0f);
    }
    // Sized to the collision box (1.0 x 0.98 x 1.5), nose toward -z.
    EXPECT_LE(hi.x - lo.x, 1.1f);
    EXPECT_GE(hi.x - lo.x, 0.9f);
    EXPECT_LE(hi.z - lo.z, 1.6f);
    EXPECT_GE(hi.z - lo.z, 1.3f);
    EXPECT_LE(hi.y - lo.y, 0.49f) << "a low profile";
    EXPECT_GE(lo.y, -0.49f);
    EXPECT_LT(lo.z, -0.7f);
}

}  // namespace
