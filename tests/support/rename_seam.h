#pragma once
// Linux tests only: a test may act at the moment a file is renamed into place
// (the store's and the settings' atomic replace), with no hook in the game's
// code. This program's own rename() stands in for the C library's: the
// game's libraries are linked into it, so their calls come here first.

namespace RenameSeam {

// Called with both names just before each rename, when set; null otherwise.
extern void (*beforeRename)(const char* from, const char* to);

}  // namespace RenameSeam
