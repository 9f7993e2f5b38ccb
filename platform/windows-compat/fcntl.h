#pragma once
// The POSIX open flags the engine passes, for the Windows C runtime: every
// file is opened in binary mode (no newline translation) and not inherited by
// child processes. Windows has no FIFOs, and links there need privileges a
// game never has, so the non-blocking and no-follow flags have nothing to do.
#include_next <fcntl.h>

#ifndef O_CLOEXEC
#define O_CLOEXEC (O_BINARY | O_NOINHERIT)
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
