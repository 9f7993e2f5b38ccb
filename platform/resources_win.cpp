// Each blob is an RCDATA resource of the executable named by its path in
// upper case ("DATA/METAL.JPG"); the table is built from them on first use.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/resources.h"

// The generated list of the embedded paths, in the table's order.
std::span<const char* const> embeddedResourceNames();

namespace {

struct Table {
    std::vector<Resource> found;
    // The resource names looked for in vain, for the caller to report.
    std::vector<std::string> missing;
};

const Table& table() {
    static const Table built = [] {
        Table table;
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
                table.missing.push_back(std::move(upper));
                continue;
            }
            const auto* begin = static_cast<const unsigned char*>(bytes);
            table.found.push_back({name, begin, begin + SizeofResource(nullptr, info)});
        }
        return table;
    }();
    return built;
}

}  // namespace

std::span<const Resource> embeddedResources() { return table().found; }

std::span<const std::string> missingResources() { return table().missing; }
