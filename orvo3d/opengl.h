#pragma once
// GL entry points (resolved by libepoxy on first call), the after-draw error
// check and the shader program builder.

#include <epoxy/gl.h>

#include <string>

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
