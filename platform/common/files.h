// Whole files for the hosted back ends (the headless runner and the PC window): a bounded read,
// and a write that never leaves half a file behind. Used for the machine's state records and the
// screenshots.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Reads the whole file at `path` when it holds at most `limit` bytes. Returns nullptr, or why
// not ("No such file", "File is too large", or the system's reason), without reading more than
// `limit` + 1 bytes of it.
const char* read_file_bounded(const std::string& path, uint32_t limit, std::vector<uint8_t>& out);

// Writes `bytes` to a temporary file beside `path`, flushes it to the disk and renames it over
// `path`, so that a crash at any moment leaves either the old file or the new one. Returns
// nullptr, or why not (the system's reason; the temporary file is gone again).
const char* write_file_atomically(const std::string& path, const uint8_t* bytes, size_t size);

// Makes the folder `path` and any of its parents that are missing. False (and errno) on failure.
bool make_folders(const std::string& path);
