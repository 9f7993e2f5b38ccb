#include "orvo3d/opengl.h"

#include "orvo3d/log.h"
#include "orvo3d/storage.h"

namespace {

constexpr const char* kModule = "orvo3d/opengl";
constexpr GLsizei kInfoLogSize = 512;

// Compiles one stage; logs its info log on failure. Returns false on failure.
bool compileStage(GLuint shader, const char* source, const std::string& path) {
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == GL_TRUE) return true;
    char infoLog[kInfoLogSize] = {};
    glGetShaderInfoLog(shader, kInfoLogSize, nullptr, infoLog);
    Logger::error(kModule, __LINE__, "Shader error %s:\n%s", path.c_str(), infoLog);
    return false;
}

}  // namespace

void checkGLError(const char* file, int line) {
    GLenum error = glGetError();
    if (error != GL_NO_ERROR) Logger::error(file, line, "OpenGL error: %u", error);
}

GLuint loadShaderProgram(std::string vertexPath, std::string fragmentPath) {
    const Storage::Blob vertexSource = Storage::loadBlob(vertexPath);
    if (!vertexSource) {
        Logger::error(kModule, __LINE__, "Failed to load shader files: %s", vertexPath.c_str());
        return 0;
    }
    const Storage::Blob fragmentSource = Storage::loadBlob(fragmentPath);
    if (!fragmentSource) {
        Logger::error(kModule, __LINE__, "Failed to load shader files: %s", fragmentPath.c_str());
        return 0;
    }

    GLuint vertexShader = glCreateShader(GL_VERTEX_SHADER);
    bool failed = !compileStage(vertexShader, vertexSource.text(), vertexPath);
    GLuint fragmentShader = glCreateShader(GL_FRAGMENT_SHADER);
    failed = !compileStage(fragmentShader, fragmentSource.text(), fragmentPath) || failed;

    GLuint program = 0;
    if (!failed) {
        program = glCreateProgram();
        glAttachShader(program, vertexShader);
        glAttachShader(program, fragmentShader);
        glLinkProgram(program);
        GLint status = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &status);
        if (status == 0) {
            char infoLog[kInfoLogSize] = {};
            glGetProgramInfoLog(program, kInfoLogSize, nullptr, infoLog);
            Logger::error(kModule, __LINE__, "Failed to link %s / %s:\n%s", vertexPath.c_str(),
                          fragmentPath.c_str(), infoLog);
            glDeleteProgram(program);
            failed = true;
        }
    }

    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    GLenum error = glGetError();
    if (error != GL_NO_ERROR) Logger::error(kModule, __LINE__, "OpenGL error: %u", error);
    return failed ? 0 : program;
}

void uploadRgbTexture(const unsigned char* pixels, int width, int height) {
    static const unsigned char placeholder[3] = {128, 128, 128};
    if (pixels == nullptr) {
        pixels = placeholder;
        width = 1;
        height = 1;
    }
    // Rows of RGB bytes are not 4-byte aligned in general.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

GlBuffer makeVertexBuffer(const void* data, std::size_t bytes, const char* what, const char* module, int line) {
    GlBuffer buffer = createGlObject<GlBufferKind>();
    glBindBuffer(GL_ARRAY_BUFFER, buffer.get());
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), data, GL_STATIC_DRAW);
    if (glGetError() != GL_NO_ERROR) {
        throw Orvo3D::LoggedException(module, line, "Failed to init %s: VBO generation", what);
    }
    return buffer;
}

GlVertexArray makeVertexArray(const char* what, const char* module, int line) {
    GlVertexArray array = createGlObject<GlVertexArrayKind>();
    glBindVertexArray(array.get());
    if (glGetError() != GL_NO_ERROR) {
        throw Orvo3D::LoggedException(module, line, "Failed to init %s: VAO generation", what);
    }
    return array;
}

void bindAttribute(GLuint program, const char* name, GLint components, GLenum type, GLboolean normalised,
                   GLsizei stride, std::size_t offset, const char* module, int line) {
    GLint location = glGetAttribLocation(program, name);
    if (location < 0) {
        Logger::error(module, line, "Failed to find attribute named: %s", name);
        return;
    }
    const auto index = static_cast<GLuint>(location);
    const void* pointer = reinterpret_cast<const void*>(offset);
    glEnableVertexAttribArray(index);
    if (type == GL_INT) {
        glVertexAttribIPointer(index, components, type, stride, pointer);
    } else {
        glVertexAttribPointer(index, components, type, normalised, stride, pointer);
    }
}
