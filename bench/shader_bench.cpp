// Uniform lookups happen every frame for every renderer: a cached name must
// cost one small map search, with no string hashing and no GL call.
#include <benchmark/benchmark.h>

#include "orvo3d/shader.h"
#include "support/gl_context.h"
#include "support/sandbox.h"

namespace {

// The game's own uniform names, so the cache holds as many entries as a
// real renderer's would.
const char* kVertex = R"(#version 430 core
uniform mat4 view;
uniform mat4 projection;
uniform mat4 model;
uniform mat4 lightSpaceMatrix;
uniform vec3 offset;
out vec4 lightSpacePosition;
void main() {
    vec4 world = model * vec4(offset, 1.0);
    lightSpacePosition = lightSpaceMatrix * world;
    gl_Position = projection * view * world;
}
)";
const char* kFragment = R"(#version 430 core
uniform sampler2D depthMap;
uniform sampler2D diffuseTexture;
uniform vec3 lightPosition;
uniform vec3 camPosition;
uniform float distance;
in vec4 lightSpacePosition;
out vec4 colour;
void main() {
    float depth = texture(depthMap, lightSpacePosition.xy).r;
    colour = texture(diffuseTexture, lightSpacePosition.xy) * depth
           + vec4(lightPosition + camPosition, distance);
}
)";

void BM_UniformLocationCached(benchmark::State& state) {
    GlContext ctx(64, 64);
    if (!ctx.ok()) {
        state.SkipWithError("no 4.3 core context (run under xvfb-run)");
        return;
    }
    writeFile("shaders/bench.vert", kVertex);
    writeFile("shaders/bench.frag", kFragment);
    Shader shader("shaders/bench.vert", "shaders/bench.frag");
    // Warm the cache the way a renderer's first frame does.
    for (const char* name : {"projection", "model", "lightSpaceMatrix", "offset", "depthMap", "diffuseTexture",
                             "lightPosition", "camPosition", "distance"}) {
        shader.uniformLocation(name, crc32(name));
    }
    shader.uniformLocation(UNIFORM("view"));

    for (auto _ : state) {
        benchmark::DoNotOptimize(shader.uniformLocation(UNIFORM("view")));
    }
    state.counters["cache_entries"] = static_cast<double>(shader.uniforms.size());
}
BENCHMARK(BM_UniformLocationCached);

}  // namespace
