#pragma once
// GL entry points (resolved by libepoxy on first call), the after-draw error
// check and the shader program builder.

#include <epoxy/gl.h>

#include <cstddef>
#include <string>
#include <utility>

// Logs "OpenGL error: %u" for one pending GL error, if any. Never throws.
void checkGLError(const char* file, int line);

// Builds a program from two named shader sources. Returns 0 on any failure,
// after logging every cause (both stages are always compiled).
GLuint loadShaderProgram(std::string vertexPath, std::string fragmentPath);

// Uploads 8-bit RGB pixels to the bound GL_TEXTURE_2D the engine's one way:
// mipmaps, repeat wrap, trilinear minification. Null pixels (an image that
// failed to decode) give a 1 x 1 mid-grey placeholder rather than undefined
// texture memory.
void uploadRgbTexture(const unsigned char* pixels, int width, int height);

// Move-only owner of one GL object name; deletes it with its kind's call when
// it goes. GL calls are given the plain name through get(), never silently.
template <class Kind>
class GlObject {
public:
    GlObject() = default;
    explicit GlObject(GLuint name) : name_(name) {}
    ~GlObject() { reset(); }
    GlObject(GlObject&& other) noexcept : name_(std::exchange(other.name_, 0)) {}
    GlObject& operator=(GlObject&& other) noexcept {
        if (this != &other) {
            reset();
            name_ = std::exchange(other.name_, 0);
        }
        return *this;
    }
    GlObject(const GlObject&) = delete;
    GlObject& operator=(const GlObject&) = delete;

    GLuint get() const { return name_; }
    explicit operator bool() const { return name_ != 0; }
    void reset() {
        if (name_ != 0) Kind::destroy(name_);
        name_ = 0;
    }

private:
    GLuint name_ = 0;
};

struct GlBufferKind {
    static GLuint create() {
        GLuint name = 0;
        glGenBuffers(1, &name);
        return name;
    }
    static void destroy(GLuint name) { glDeleteBuffers(1, &name); }
};
struct GlVertexArrayKind {
    static GLuint create() {
        GLuint name = 0;
        glGenVertexArrays(1, &name);
        return name;
    }
    static void destroy(GLuint name) { glDeleteVertexArrays(1, &name); }
};
struct GlTextureKind {
    static GLuint create() {
        GLuint name = 0;
        glGenTextures(1, &name);
        return name;
    }
    static void destroy(GLuint name) { glDeleteTextures(1, &name); }
};
struct GlFramebufferKind {
    static GLuint create() {
        GLuint name = 0;
        glGenFramebuffers(1, &name);
        return name;
    }
    static void destroy(GLuint name) { glDeleteFramebuffers(1, &name); }
};

// Programs are made by loadShaderProgram, not generated.
struct GlProgramKind {
    static void destroy(GLuint name) { glDeleteProgram(name); }
};

using GlBuffer = GlObject<GlBufferKind>;
using GlVertexArray = GlObject<GlVertexArrayKind>;
using GlTexture = GlObject<GlTextureKind>;
using GlFramebuffer = GlObject<GlFramebufferKind>;
using GlProgram = GlObject<GlProgramKind>;

// A fresh GL name of the kind, owned.
template <class Kind>
GlObject<Kind> createGlObject() {
    return GlObject<Kind>(Kind::create());
}

// The renderers' one construction pattern. Generates a buffer, binds it to
// GL_ARRAY_BUFFER and fills it with GL_STATIC_DRAW data. A GL error
// afterwards throws Orvo3D::LoggedException "Failed to init <what>: VBO
// generation" from the caller's module and line.
GlBuffer makeVertexBuffer(const void* data, std::size_t bytes, const char* what, const char* module, int line);

// Generates and binds a vertex array; a GL error afterwards throws
// "Failed to init <what>: VAO generation" from the caller's module and line.
GlVertexArray makeVertexArray(const char* what, const char* module, int line);

// Enables and describes the attribute `name` of `program` on the bound
// buffer and vertex array. GL_INT data goes through the integer attribute
// call. An attribute the program lacks is logged as "Failed to find
// attribute named: %s" from the caller's module and line, and skipped.
void bindAttribute(GLuint program, const char* name, GLint components, GLenum type, GLboolean normalised,
                   GLsizei stride, std::size_t offset, const char* module, int line);
