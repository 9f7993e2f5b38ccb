#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "orvo3d/log.h"
#include "orvo3d/shader.h"
#include "support/gl_context.h"
#include "support/sandbox.h"

namespace {

// A full-window triangle from gl_VertexID, coloured by a uniform.
const char* kVertex = R"(#version 430 core
uniform mat4 view;
void main() {
    vec2 corner = vec2((gl_VertexID << 1) & 2, gl_VertexID & 2);
    gl_Position = view * vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";
const char* kFragment = R"(#version 430 core
uniform vec3 tint;
out vec4 colour;
void main() { colour = vec4(tint, 1.0); }
)";
const char* kBrokenVertex = "#version 430 core\nvoid main() { gl_Position = vec4(1.0) }\n";
const char* kBrokenFragment = "#version 430 core\nout vec4 colour;\nvoid main() { colour = undefinedThing; }\n";
// Both stages compile on their own, but the fragment stage calls a
// function nobody defines, which only the linker can notice.
const char* kUnlinkableFragment = R"(#version 430 core
vec4 elsewhere();
out vec4 colour;
void main() { colour = elsewhere(); }
)";

class GLShader : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ctx.ok()) << "no 4.3 core context (run under xvfb-run)";
        Logger::init(false);
        std::filesystem::remove_all("message.log");
        std::filesystem::remove_all("shaders");
        writeFile("shaders/test-good.vert", kVertex);
        writeFile("shaders/test-good.frag", kFragment);
        writeFile("shaders/test-broken.vert", kBrokenVertex);
        writeFile("shaders/test-broken.frag", kBrokenFragment);
        writeFile("shaders/test-unlinkable.frag", kUnlinkableFragment);
    }

    GlContext ctx{64, 64};
};

TEST_F(GLShader, BuildsAProgramThatDraws) {
    Shader shader("shaders/test-good.vert", "shaders/test-good.frag");
    ASSERT_NE(shader.program.get(), 0u);
    EXPECT_EQ(shader.name, "shaders/test-good.vert / shaders/test-good.frag");

    GLuint vao = 0;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glUseProgram(shader.program.get());
    glm::mat4 identity(1.0f);
    glUniformMatrix4fv(shader.uniformLocation(UNIFORM("view")), 1, GL_FALSE, &identity[0][0]);
    glUniform3f(shader.uniformLocation(UNIFORM("tint")), 1.0f, 0.5f, 0.0f);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    checkGLError("tests/gl/shader_test", __LINE__);
    glm::ivec3 centre = ctx.pixel(32, 32);
    EXPECT_EQ(centre, glm::ivec3(255, 128, 0));
    glDeleteVertexArrays(1, &vao);

    // Nothing went wrong, so nothing was logged.
    EXPECT_EQ(readLog(), "");
}

TEST_F(GLShader, UniformLocationsAreCachedByKey) {
    Shader shader("shaders/test-good.vert", "shaders/test-good.frag");
    GLint view = shader.uniformLocation(UNIFORM("view"));
    EXPECT_EQ(view, glGetUniformLocation(shader.program.get(), "view"));
    EXPECT_GE(view, 0);
    ASSERT_EQ(shader.uniforms.size(), 1u);
    EXPECT_EQ(shader.uniforms.at(0xFEFDAB8Eu), view);

    // Once cached, the key alone answers: neither the name nor GL is asked.
    shader.uniforms[uniformKey("view")] = 42;
    EXPECT_EQ(shader.uniformLocation(UNIFORM("view")), 42);
    EXPECT_EQ(shader.uniformLocation("tint", uniformKey("view")), 42);

    GLint tint = shader.uniformLocation(UNIFORM("tint"));
    EXPECT_EQ(tint, glGetUniformLocation(shader.program.get(), "tint"));
    EXPECT_NE(tint, -1);
    EXPECT_EQ(shader.uniforms.size(), 2u);
}

TEST_F(GLShader, MissingUniformIsReportedOnceAndStaysMinusOne) {
    Shader shader("shaders/test-good.vert", "shaders/test-good.frag");
    EXPECT_EQ(shader.uniformLocation(UNIFORM("lightPosition")), -1);
    EXPECT_EQ(shader.uniformLocation(UNIFORM("lightPosition")), -1);
    EXPECT_EQ(shader.uniforms.at(uniformKey("lightPosition")), -1);
    std::string log = readLog();
    EXPECT_EQ(countOf(log, "ERROR ("), 1) << log;
    EXPECT_EQ(countOf(log, " => orvo3d/shader:"), 1) << log;
    EXPECT_EQ(countOf(log, "\nFailed to find uniform named: lightPosition "
                           "(shaders/test-good.vert / shaders/test-good.frag)\n\n"),
              1)
        << log;
    // A second name is a second report.
    EXPECT_EQ(shader.uniformLocation(UNIFORM("depthMap")), -1);
    EXPECT_EQ(countOf(readLog(), "Failed to find uniform named: "), 2);
}

// Both stages are always compiled, every failure is logged, then the
// constructor throws with its own record.
TEST_F(GLShader, CompileFailuresAreAllReportedBeforeTheThrow) {
    struct Case {
        const char* vertex;
        const char* fragment;
        bool vertexFails, fragmentFails;
    };
    const Case cases[] = {
        {"shaders/test-broken.vert", "shaders/test-broken.frag", true, true},
        {"shaders/test-broken.vert", "shaders/test-good.frag", true, false},
        {"shaders/test-good.vert", "shaders/test-broken.frag", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.vertex) + " / " + c.fragment);
        std::filesystem::remove("message.log");
        EXPECT_THROW(Shader(c.vertex, c.fragment), Orvo3D::LoggedException);
        std::string log = readLog();
        const std::string vertexError = std::string("\nShader error ") + c.vertex + ":\n";
        const std::string fragmentError = std::string("\nShader error ") + c.fragment + ":\n";
        const std::string thrown =
            std::string("\nFailed to load shader: ") + c.vertex + " / " + c.fragment + "\n\n";
        EXPECT_EQ(countOf(log, vertexError), c.vertexFails ? 1 : 0) << log;
        EXPECT_EQ(countOf(log, fragmentError), c.fragmentFails ? 1 : 0) << log;
        EXPECT_EQ(countOf(log, "Shader error "), int(c.vertexFails) + int(c.fragmentFails)) << log;
        EXPECT_EQ(countOf(log, " => orvo3d/opengl:"), int(c.vertexFails) + int(c.fragmentFails)) << log;
        EXPECT_EQ(countOf(log, "Failed to link"), 0) << log;
        EXPECT_EQ(countOf(log, "OpenGL error"), 0) << log;
        // The exception's record comes last.
        std::size_t at = log.find(thrown);
        ASSERT_NE(at, std::string::npos) << log;
        EXPECT_EQ(at + thrown.size(), log.size());
        EXPECT_NE(log.rfind(" => orvo3d/shader:"), std::string::npos);
        if (c.vertexFails && c.fragmentFails) {
            EXPECT_LT(log.find(vertexError), log.find(fragmentError));
        }
        // Each report carries the compiler's info log.
        for (const std::string& error : {vertexError, fragmentError}) {
            std::size_t found = log.find(error);
            if (found != std::string::npos) {
                EXPECT_NE(log[found + error.size()], '\n') << log;
            }
        }
    }
}

TEST_F(GLShader, LinkFailureIsReportedWithBothPaths) {
    EXPECT_EQ(loadShaderProgram("shaders/test-good.vert", "shaders/test-unlinkable.frag"), 0u);
    std::string log = readLog();
    EXPECT_EQ(countOf(log, "ERROR ("), 1) << log;
    EXPECT_EQ(countOf(log, "\nFailed to link shaders/test-good.vert / shaders/test-unlinkable.frag:\n"), 1) << log;
    EXPECT_NE(log.find("elsewhere"), std::string::npos) << "the linker's own words are kept: " << log;
    EXPECT_EQ(countOf(log, "Shader error"), 0);

    std::filesystem::remove("message.log");
    EXPECT_THROW(Shader("shaders/test-good.vert", "shaders/test-unlinkable.frag"), Orvo3D::LoggedException);
    EXPECT_EQ(countOf(readLog(), "ERROR ("), 2);
    EXPECT_EQ(countOf(readLog(), "\nFailed to load shader: shaders/test-good.vert / shaders/test-unlinkable.frag\n"), 1);
}

TEST_F(GLShader, MissingSourceNamesTheFirstMissingFile) {
    struct Case {
        const char* vertex;
        const char* fragment;
        const char* reported;
    };
    const Case cases[] = {
        {"shaders/none.vert", "shaders/test-good.frag", "shaders/none.vert"},
        {"shaders/none.vert", "shaders/none.frag", "shaders/none.vert"},  // the vertex file hides the other
        {"shaders/test-good.vert", "shaders/none.frag", "shaders/none.frag"},
        {"", "shaders/test-good.frag", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.vertex) + " / " + c.fragment);
        std::filesystem::remove("message.log");
        EXPECT_THROW(Shader(c.vertex, c.fragment), Orvo3D::LoggedException);
        std::string log = readLog();
        EXPECT_EQ(countOf(log, "ERROR ("), 2) << log;
        EXPECT_EQ(countOf(log, "Failed to load shader files: "), 1) << log;
        EXPECT_NE(log.find(std::string("\nFailed to load shader files: ") + c.reported + "\n\n"), std::string::npos)
            << log;
        EXPECT_NE(log.find(std::string("\nFailed to load shader: ") + c.vertex + " / " + c.fragment + "\n\n"),
                  std::string::npos)
            << log;
        EXPECT_EQ(countOf(log, "Shader error"), 0);
    }
}

TEST_F(GLShader, CheckGLErrorLogsOnePendingError) {
    checkGLError("game/track", 10);
    EXPECT_FALSE(std::filesystem::exists("message.log"));

    glEnable(0x1234);  // not a capability: GL_INVALID_ENUM
    checkGLError("game/track", 77);
    std::string log = readLog();
    EXPECT_EQ(countOf(log, "ERROR ("), 1) << log;
    EXPECT_NE(log.find(" => game/track:77\nOpenGL error: 1280\n\n"), std::string::npos) << log;

    // The check took the error: the next one finds nothing.
    checkGLError("game/track", 78);
    EXPECT_EQ(countOf(readLog(), "ERROR ("), 1);
}

}  // namespace
