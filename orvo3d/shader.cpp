#include "orvo3d/shader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "orvo3d/log.h"

Shader::Shader(const char* vertexPath, const char* fragmentPath) {
    program = loadShaderProgram(vertexPath, fragmentPath);
    if (program == 0) {
        throw Orvo3D::LoggedException("orvo3d/shader", __LINE__, "Failed to load shader: %s / %s", vertexPath,
                                      fragmentPath);
    }
    std::size_t size = std::strlen(vertexPath) + std::strlen(fragmentPath) + 4;
    name = static_cast<char*>(std::calloc(size, 1));
    std::snprintf(name, size, "%s / %s", vertexPath, fragmentPath);
}

Shader::~Shader() {
    if (program != 0) glDeleteProgram(program);
    std::free(name);
}

GLint Shader::uniformLocation(const char* uniformName, std::uint32_t key) {
    auto found = uniforms.find(key);
    if (found != uniforms.end()) return found->second;
    GLint location = glGetUniformLocation(program, uniformName);
    if (location == -1) {
        Logger::error("orvo3d/shader", __LINE__, "Failed to find uniform named: %s (%s)", uniformName, name);
    }
    uniforms.emplace(key, location);
    return location;
}
