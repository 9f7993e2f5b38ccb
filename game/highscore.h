#pragma once
// The best score, kept between runs in the per-user store: the text
// "VIMBROT_DATA_STRUCT_FOR_HIGHSCORE::::<score>" encrypted with RC4 under the
// MD5 digest of a fixed key text, written as upper-case hex. Nothing is
// cached: every load reads the store and decrypts.

#include <cstdint>
#include <string>

namespace HighScore {

// The stored best score, or 0 when there is none or it cannot be read. A
// value that exists but cannot be read (no permission, a link, a folder, ...)
// is reported with an ERROR record once, when it is first seen. While a save
// started by startSaveIfGreater is on its way, the best it is saving counts
// as stored; once it is done, its records are written here.
std::int64_t load();

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
std::int64_t saveIfGreater(std::int64_t score);

// saveIfGreater without waiting for the disk: reads the stored best here
// (returned) and, when `score` beats it, does the locked compare and save on
// a worker thread, so that a slow disk never stalls the frames. The screens'
// load() shows the new best at once; the save's records are written on this
// thread when it is done (by load or finishSave), in the order they had.
// A save still under way is finished first. Call from the screens' thread.
std::int64_t startSaveIfGreater(std::int64_t score);

// Waits for a save started by startSaveIfGreater and writes its records;
// the process calls it before it ends, so that a save is never cut short.
void finishSave();

// RC4-encrypts the text (up to its NUL, at most 1000 bytes) and returns its
// upper-case hex.
std::string encryptToHex(const char* plaintext);

// Decodes upper-case hex (an odd last character is ignored; other characters
// count as 0) and decrypts it; returns the decrypted bytes, which may hold a
// NUL of their own.
std::string decryptFromHex(const char* hex);

}  // namespace HighScore
