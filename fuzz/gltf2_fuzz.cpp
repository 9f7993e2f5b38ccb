// Feeds arbitrary bytes to the GLB loader as container data, then runs the
// element readers over whatever loaded. The JSON library's exceptions are
// the loader's documented way to refuse malformed JSON, so only they are
// caught here; anything else (a sanitizer report, another exception) is a
// finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "orvo3d/gltf2.h"
#include "orvo3d/log.h"

namespace {

void readEverything(const GltfModel& model) {
    for (const GltfAccessor& accessor : model.accessors) {
        // The first elements, the last one the count names, and indices far
        // past any view, where offsets would wrap in 32 bits.
        const std::uint32_t probes[] = {0, 1, 2, accessor.count - 1, accessor.count, 0x55555556u, 0xFFFFFFFFu};
        for (std::uint32_t i : probes) {
            (void)readIndex(model, accessor, i);
            (void)readVec2(model, accessor, i);
            (void)readVec3(model, accessor, i);
        }
    }
    for (const GltfBufferView& view : model.bufferViews) {
        const std::uint8_t* bytes = viewData(model, view);
        // A view that viewData hands out must be readable to its last byte.
        if (bytes != nullptr && view.byteLength > 0) {
            volatile std::uint8_t sink = bytes[0];
            sink = bytes[view.byteLength - 1];
            (void)sink;
        }
    }
    for (const GltfNode& node : model.nodes) (void)localMatrix(model, node);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The loader records every refused input; the records are made in full
    // (their formatting is fuzzed too) and then dropped, not written.
    std::vector<std::string> records;
    Logger::HoldRecords hold(records);
    try {
        GltfModel model = loadGltfBinaryFromMemory(data, size);
        readEverything(model);
    } catch (const nlohmann::json::exception&) {
        // parse and type errors: the loader's refusal of bad JSON
    }
    return 0;
}
