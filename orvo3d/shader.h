#pragma once
// A linked GL program with a cache of uniform locations keyed by the CRC-32
// of the uniform's name. Call sites pass UNIFORM("view"), which expands to
// the name and its key computed by the compiler.

#include <cstdint>
#include <map>
#include <string>

#include "orvo3d/hash.h"
#include "orvo3d/opengl.h"

#define UNIFORM(name) name, uniformKey(name)

class Shader {
public:
    // Throws Orvo3D::LoggedException when no program can be built.
    Shader(const char* vertexPath, const char* fragmentPath);
    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;

    // The location of a uniform, or -1 when the program lacks it (reported
    // once per name). Cached: one GL query per name for the program's life.
    GLint uniformLocation(const char* uniformName, std::uint32_t key);

    std::map<std::uint32_t, GLint> uniforms;
    std::string name;  // "vertex path / fragment path", for messages
    GlProgram program;
};
