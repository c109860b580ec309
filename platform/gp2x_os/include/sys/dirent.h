// The directory records of velkoro.gpe's own system layer. The bare-metal C library declares
// opendir, readdir and closedir in <dirent.h> but has no directories; that header takes the types
// from here, and platform/gp2x_os/dirent.cpp implements the calls with Linux's getdents. Found
// before the C library's own <sys/dirent.h> only in the handheld's build.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// A name is at most 255 bytes on Linux, plus its terminating zero.
struct dirent {
    unsigned long d_ino;
    char d_name[256];
};

typedef struct velkoro_dir DIR;

#ifdef __cplusplus
}
#endif
