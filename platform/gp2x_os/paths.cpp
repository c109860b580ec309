// Where the handheld's paths lead. velkoro.gpe is built with an empty VELKORO_OS_ROOT and uses
// every path as it is. The stand-in build, which runs on a PC under an ARM processor model, is
// the same program with the root set at build time to a folder that the stand-in handheld fills
// with its own device files, card and menu program: the device, card, menu and processor paths
// below lead there, so that it never opens the PC's own devices.
#include "platform/gp2x_os/linux.h"

#include <cstring>

namespace {

constexpr char ROOT[] = VELKORO_OS_ROOT;
constexpr const char* HANDHELD_PATHS[] = {"/dev/fb0",   "/dev/fb1", "/dev/mem",  "/dev/dsp",
                                          "/dev/mixer", "/mnt/sd/", "/usr/gp2x", "/proc/cpuinfo"};

bool handheld_path(const char* path) {
    for (const char* h : HANDHELD_PATHS)
        if (std::strncmp(path, h, std::strlen(h)) == 0) return true;
    return false;
}

} // namespace

const char* os_path(const char* path, char (&buffer)[OS_PATH_BYTES]) {
    if (sizeof ROOT == 1 || !path || !handheld_path(path)) return path;
    size_t n = std::strlen(path);
    if (sizeof ROOT + n > OS_PATH_BYTES) return nullptr;
    std::memcpy(buffer, ROOT, sizeof ROOT - 1);
    std::memcpy(buffer + sizeof ROOT - 1, path, n + 1);
    return buffer;
}
