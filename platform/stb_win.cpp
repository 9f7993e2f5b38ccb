// Linux links Debian's libstb; Windows has no build of it, so the image
// reader and writer are compiled here from the same Debian headers.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image.h>
#include <stb_image_write.h>
