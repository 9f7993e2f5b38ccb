// Each blob is an RCDATA resource of the executable named by its path in
// upper case ("DATA/METAL.JPG"); the table is built from them on first use.
#include <windows.h>

#include <string>
#include <vector>

#include "orvo3d/log.h"
#include "platform/resources.h"

// The generated list of the embedded paths, in the table's order.
std::span<const char* const> embeddedResourceNames();

std::span<const Resource> embeddedResources() {
    static const std::vector<Resource> table = [] {
        std::vector<Resource> found;
        for (const char* name : embeddedResourceNames()) {
            std::string upper(name);
            for (char& c : upper) {
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            }
            HRSRC info = FindResourceA(nullptr, upper.c_str(), MAKEINTRESOURCEA(10));
            HGLOBAL loaded = info != nullptr ? LoadResource(nullptr, info) : nullptr;
            const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
            if (bytes == nullptr) {
                // The file of that path under the working directory is used instead.
                Logger::error("platform/resources_win", __LINE__, "Resource %s is missing from the executable",
                              upper.c_str());
                continue;
            }
            const auto* begin = static_cast<const unsigned char*>(bytes);
            found.push_back({name, begin, begin + SizeofResource(nullptr, info)});
        }
        return found;
    }();
    return table;
}
