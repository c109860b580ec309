// The SD card on a host computer: a folder stands for "/mnt/sd/". The hosted back ends (headless
// and the PC window) answer platform_map_path with card_map_path and their own folder, and share
// platform_fopen and platform_opendir (card.cpp), which go through platform_map_path.
#pragma once
#include <cstddef>
#include <string>

// Maps `path` onto `folder` when it starts with "/mnt/sd/" (an empty folder is the current one),
// and leaves any other path as it is. Returns false, with `out` empty, when the result does not
// fit in `out_size` bytes.
bool card_map_path(const std::string& folder, const char* path, char* out, size_t out_size);
