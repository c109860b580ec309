// The card mapping of the hosted back ends.
#include "platform/common/card.h"
#include "platform/platform.h"

#include <cstring>

bool card_map_path(const std::string& folder, const char* path, char* out, size_t out_size) {
    static const char prefix[] = "/mnt/sd/";
    const size_t prefix_len = sizeof prefix - 1;
    std::string mapped;
    if (std::strncmp(path, prefix, prefix_len) == 0) {
        mapped = folder.empty() ? std::string(".") : folder;
        mapped += '/';
        mapped += path + prefix_len;
    } else {
        mapped = path;
    }
    if (mapped.size() + 1 > out_size) {
        if (out_size) out[0] = '\0';
        return false;
    }
    std::memcpy(out, mapped.c_str(), mapped.size() + 1);
    return true;
}

FILE* platform_fopen(const char* path, const char* mode) {
    char host[4096];
    if (!platform_map_path(path, host, sizeof host)) return nullptr;
    return std::fopen(host, mode);
}

DIR* platform_opendir(const char* path) {
    char host[4096];
    if (!platform_map_path(path, host, sizeof host)) return nullptr;
    return opendir(host);
}
