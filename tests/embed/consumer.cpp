// Reads the game's embedded data from outside the game: every name given on
// the command line must come back from Storage::load with exactly the bytes
// of the file of that name under the source tree, and the embedded table
// must hold as many entries as the tree has files under shaders/ and data/.
// It runs in an empty working directory, so the file fallback cannot help.
// Usage: consumer <source dir> <expected entry count> <name>...
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/mainloop.h"
#include "orvo3d/storage.h"
#include "platform/resources.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: consumer <source dir> <expected entry count> <name>...\n");
        return 2;
    }
    int failures = 0;
    const std::size_t entries = embeddedResources().size();
    const auto expected = static_cast<std::size_t>(std::strtoul(argv[2], nullptr, 10));
    std::printf("embedded table: %zu entries (the tree has %zu files)\n", entries, expected);
    if (entries != expected) ++failures;

    for (int i = 3; i < argc; ++i) {
        std::ifstream in(std::string(argv[1]) + "/" + argv[i], std::ios::binary);
        const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::size_t size = 0;
        unsigned char* data = Storage::load(argv[i], size);
        const bool same = data != nullptr && size == file.size() && std::memcmp(data, file.data(), size) == 0;
        std::printf("%s: %s (%zu bytes embedded, %zu in the tree)\n", argv[i],
                    same ? "the embedded bytes" : data ? "DIFFERENT bytes" : "NOT FOUND", data ? size : 0,
                    file.size());
        if (!same || file.empty()) ++failures;
        Storage::release(data);
    }

    // The game library links and works from here too.
    const WindowSize size = chooseWindowSize(1920, 1200);
    if (size.width != 1920 || size.height != 1080) ++failures;
    return failures == 0 ? 0 : 1;
}
