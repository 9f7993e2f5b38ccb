#pragma once
// The best score, kept between runs in the per-user store: the text
// "VIMBROT_DATA_STRUCT_FOR_HIGHSCORE::::<score>" encrypted with RC4 under the
// MD5 digest of a fixed key text, written as upper-case hex. These are the
// store's own steps; the game keeps its best in a BestScore
// (game/bestscore.h), which reads once and saves off the frame loop.

#include <cstdint>
#include <mutex>
#include <string>

namespace HighScore {

// What one reader has reported of a value it cannot read, so that it says
// so once and not at every read. A save on its worker reads with it too.
struct ReadReport {
    std::mutex mutex;
    std::string path;  // empty: the value read fine or is not there
    int error = 0;
};

// The stored best score, or 0 when there is none or it cannot be read. A
// value that exists but cannot be read (no permission, a link, a folder, ...)
// is reported with an ERROR record once per reader, when it is first seen
// (or when the reason changes). `unreadable` tells such a value from none.
std::int64_t load(ReadReport& report);
std::int64_t load(ReadReport& report, bool& unreadable);

// Stores `best`, replacing what was stored (callers decide whether it is
// better) - unless the stored value exists but cannot be read: that one may
// hold a better score and is kept. Every save that does not happen writes
// one ERROR record with the path and the reason.
void save(std::int64_t best);

// The end of a run: reads the stored best and stores `score` when it is
// greater, with no other process's save between the read and the replace
// (both happen under the value's lock), so the stored best only grows even
// when several games end at once. Returns the best read under the lock (the
// one before this save); the records are those of load and save.
std::int64_t saveIfGreater(std::int64_t score, ReadReport& report);

// RC4-encrypts the text (up to its NUL, at most 1000 bytes) and returns its
// upper-case hex.
std::string encryptToHex(const char* plaintext);

// Decodes upper-case hex (an odd last character is ignored; other characters
// count as 0) and decrypts it; returns the decrypted bytes, which may hold a
// NUL of their own.
std::string decryptFromHex(const char* hex);

}  // namespace HighScore
