#include "orvo3d/shader.h"

#include "orvo3d/log.h"

Shader::Shader(const char* vertexPath, const char* fragmentPath)
    : name(std::string(vertexPath) + " / " + fragmentPath), program(loadShaderProgram(vertexPath, fragmentPath)) {
    if (!program) {
        throw Orvo3D::LoggedException("orvo3d/shader", __LINE__, "Failed to load shader: %s / %s", vertexPath,
                                      fragmentPath);
    }
}

GLint Shader::uniformLocation(const char* uniformName, std::uint32_t key) {
    auto found = uniforms.find(key);
    if (found != uniforms.end()) return found->second;
    GLint location = glGetUniformLocation(program.get(), uniformName);
    if (location == -1) {
        Logger::error("orvo3d/shader", __LINE__, "Failed to find uniform named: %s (%s)", uniformName, name.c_str());
    }
    uniforms.emplace(key, location);
    return location;
}
