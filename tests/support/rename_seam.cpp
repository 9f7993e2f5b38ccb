#include "support/rename_seam.h"

#include <fcntl.h>
#include <stdio.h>

namespace RenameSeam {

void (*beforeRename)(const char* from, const char* to) = nullptr;

}  // namespace RenameSeam

// The C library's rename is renameat in the current folder; calling that one
// does not come back here.
extern "C" int rename(const char* from, const char* to) noexcept {
    if (RenameSeam::beforeRename != nullptr) RenameSeam::beforeRename(from, to);
    return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}
