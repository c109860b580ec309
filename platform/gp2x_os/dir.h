// The directory stream of velkoro.gpe's own system layer (dirent.cpp): its record block, filled
// by Linux's getdents, and the walk that hands out one record at a time. The walk is apart from
// the call so that the layer's check program (tests/gp2x_os/os_check.cpp) can give it records no
// kernel would write. One directory is read at a time, by the main thread.
#pragma once
#include <cstdint>
#include <dirent.h>

struct velkoro_dir {
    int32_t fd;
    uint32_t used;  // bytes of `records` filled by the last getdents
    uint32_t next;  // offset of the next record to hand out
    dirent current; // what readdir returned last
    alignas(4) uint8_t records[2048];
};

// The record at `next` as `current`, moving `next` past it; nullptr when no whole, sane record is
// left in the block (the caller then reads the next block, or ends the listing).
dirent* dir_take_record(velkoro_dir* d);
