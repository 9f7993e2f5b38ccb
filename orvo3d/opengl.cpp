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
    std::size_t size = 0;
    unsigned char* vertexSource = Storage::load(vertexPath, size);
    if (vertexSource == nullptr) {
        Logger::error(kModule, __LINE__, "Failed to load shader files: %s", vertexPath.c_str());
        return 0;
    }
    unsigned char* fragmentSource = Storage::load(fragmentPath, size);
    if (fragmentSource == nullptr) {
        Storage::release(vertexSource);
        Logger::error(kModule, __LINE__, "Failed to load shader files: %s", fragmentPath.c_str());
        return 0;
    }

    GLuint vertexShader = glCreateShader(GL_VERTEX_SHADER);
    bool failed = !compileStage(vertexShader, reinterpret_cast<const char*>(vertexSource), vertexPath);
    GLuint fragmentShader = glCreateShader(GL_FRAGMENT_SHADER);
    failed = !compileStage(fragmentShader, reinterpret_cast<const char*>(fragmentSource), fragmentPath) || failed;

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
    Storage::release(vertexSource);
    Storage::release(fragmentSource);
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
