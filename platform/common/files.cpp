// Bounded reads and atomic writes on POSIX files.
#include "platform/common/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char* read_file_bounded(const std::string& path, uint32_t limit, std::vector<uint8_t>& out) {
    out.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? "No such file" : std::strerror(errno);
    struct stat st;
    // A folder, a pipe or a device is no record, however it reads.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return "Not a plain file";
    }
    // The size is not trusted (the file may grow meanwhile): at most limit + 1 bytes are read.
    out.resize(size_t(limit) + 1);
    size_t got = 0;
    while (got < out.size()) {
        ssize_t n = read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const char* why = std::strerror(errno);
            close(fd);
            out.clear();
            return why;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    close(fd);
    if (got > limit) {
        out.clear();
        return "File is too large";
    }
    out.resize(got);
    return nullptr;
}

const char* write_file_atomically(const std::string& path, const uint8_t* bytes, size_t size) {
    std::string temporary = path + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) return std::strerror(errno);
    size_t done = 0;
    int error = 0;
    while (done < size && error == 0) {
        ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            error = errno;
        else
            done += size_t(n);
    }
    // The data must be on the disk before the name points at it, or a crash could leave the new
    // name over an empty file.
    if (error == 0 && fsync(fd) != 0) error = errno;
    // mkstemp makes the file for its owner alone; pictures and states are ordinary files.
    if (error == 0 && fchmod(fd, 0644) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        unlink(temporary.c_str());
        return std::strerror(error);
    }
    return nullptr;
}

bool make_folders(const std::string& path) {
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/') continue;
        std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}
