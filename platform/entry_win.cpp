// The Windows GUI entry point (no console window): it runs the same body as
// the Linux main, and that body's result is the exit code.
#include <windows.h>

#include <cstdlib>

#include "platform/xinput_win.h"

int vimbrotMain(int argc, char** argv);

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    keepXInputLoaded();
    return vimbrotMain(__argc, __argv);
}
