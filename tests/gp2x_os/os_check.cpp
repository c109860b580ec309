// The handheld's own system layer, exercised where a PC can watch it: built like velkoro.gpe
// (cmake/gp2x-gpe.cmake) and run under qemu-arm by tests/gp2x_os/test_gpe.cpp, which compares
// what it prints with what the PC's kernel says about the same files and with qemu's log of the
// system calls. It goes through the C library as the program does (open, fstat, malloc), so the
// layer's translations of the C library's numbers into the kernel's are what is checked.
//
// Usage: velkoro-os-check.gpe FOLDER. The folder holds "sized" (any file), "appended" and
// "truncated" (some bytes each), "existing" and "pipe" (a named pipe nobody reads).
#include "platform/gp2x_os/dir.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string path_in(const char* folder, const char* name) { return std::string(folder) + "/" + name; }

void print_stat(const char* what, const struct stat& s) {
    std::printf("%s: mode %o size %ld nlink %u rdev %x mtime %lld blocks %ld\n", what, unsigned(s.st_mode),
                long(s.st_size), unsigned(s.st_nlink), unsigned(uint16_t(s.st_rdev)), (long long)s.st_mtime,
                long(s.st_blocks));
}

// Descriptors 0 to 2 as main finds them.
void standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        struct stat s;
        char what[32];
        std::snprintf(what, sizeof what, "descriptor %d", fd);
        if (fstat(fd, &s) == 0)
            print_stat(what, s);
        else
            std::printf("%s: closed\n", what);
    }
}

// Each open with the C library's flags; qemu's log shows the flags the kernel was given.
void opens(const char* folder) {
    struct Case {
        const char* name;
        int flags;
        const char* data; // written when the open succeeds
    };
    const Case cases[] = {
        {"created", O_WRONLY | O_CREAT | O_TRUNC, "new"},
        {"existing", O_WRONLY | O_CREAT | O_EXCL, nullptr},
        {"appended", O_WRONLY | O_APPEND, "def"},
        {"truncated", O_WRONLY | O_TRUNC, nullptr},
        {"pipe", O_WRONLY | O_NONBLOCK, nullptr},
        {"synced", O_RDWR | O_CREAT | O_NOCTTY | O_SYNC, nullptr},
    };
    for (const Case& c : cases) {
        errno = 0;
        int fd = open(path_in(folder, c.name).c_str(), c.flags, 0640);
        std::printf("open %s: %s\n", c.name, fd >= 0 ? "opened" : std::strerror(errno));
        if (fd < 0) continue;
        if (c.data) write(fd, c.data, std::strlen(c.data));
        close(fd);
    }
    DIR* d = opendir(folder);
    std::printf("opendir: %s\n", d ? "opened" : "failed");
    if (d) closedir(d);
}

void file_status(const char* folder) {
    int fd = open(path_in(folder, "sized").c_str(), O_RDONLY);
    struct stat s;
    if (fd < 0 || fstat(fd, &s) != 0) {
        std::printf("sized: %s\n", std::strerror(errno));
        return;
    }
    print_stat("sized", s);
    close(fd);
}

// Records no kernel would write: each ends the listing where it starts, or is cut short.
struct Record {
    uint16_t reclen; // 0: the block ends here
    std::string name;
};

std::string take_all(const std::vector<Record>& records, uint32_t used) {
    static velkoro_dir d;
    std::memset(&d, 0, sizeof d);
    uint32_t at = 0;
    for (const Record& r : records) {
        uint32_t ino = 7, off = 0;
        std::memcpy(d.records + at, &ino, 4);
        std::memcpy(d.records + at + 4, &off, 4);
        std::memcpy(d.records + at + 8, &r.reclen, 2);
        std::memcpy(d.records + at + 10, r.name.data(), std::min<size_t>(r.name.size(), sizeof d.records - at - 10));
        at += r.reclen;
    }
    d.used = used;
    std::string names;
    while (dirent* e = dir_take_record(&d)) names += std::string(e->d_name) + "|";
    return names + "end";
}

void directory_records() {
    const std::string long_name(300, 'n');
    struct Case {
        const char* what;
        std::vector<Record> records;
        uint32_t used;
        std::string expected;
    };
    const Case cases[] = {
        {"two records", {{16, std::string("a\0\0\0\0\0", 6)}, {20, std::string("bb\0", 3)}}, 36, "a|bb|end"},
        {"a block shorter than a record's head", {{16, "a"}}, 10, "end"},
        {"a record no longer than its head", {{16, "a"}, {10, ""}, {16, "c"}}, 42, "a|end"},
        {"a record longer than the block", {{16, "a"}, {40, "b"}}, 36, "a|end"},
        {"a name with no end inside its record", {{14, "abcdefgh"}}, 14, "abcd|end"},
        {"a name longer than 255 bytes", {{320, long_name}}, 320, std::string(255, 'n') + "|end"},
    };
    int wrong = 0;
    for (const Case& c : cases) {
        std::string got = take_all(c.records, c.used);
        if (got == c.expected) continue;
        ++wrong;
        std::printf("readdir, %s: %s\n", c.what, got.c_str());
    }
    std::printf("readdir: %d of %u malformed-record cases wrong\n", wrong, unsigned(sizeof cases / sizeof cases[0]));
}

// Blocks of 256 MB until the kernel refuses to move the break; the heap must go on serving.
void heap() {
    constexpr size_t BLOCK = 256u << 20;
    std::vector<void*> blocks;
    blocks.reserve(16);
    errno = 0;
    void* p = nullptr;
    while (blocks.size() < 16 && (p = std::malloc(BLOCK)) != nullptr) blocks.push_back(p);
    int refusal = errno;
    for (void* b : blocks) std::free(b);
    char* small = static_cast<char*>(std::malloc(1000));
    if (small) std::memset(small, 1, 1000);
    std::printf("heap: %s after %u blocks (%s); a small block after it: %s\n", p ? "never refused" : "refused",
                unsigned(blocks.size()), std::strerror(refusal), small ? "served" : "refused");
    std::free(small);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velkoro-os-check.gpe FOLDER\n");
        return 2;
    }
    standard_descriptors();
    opens(argv[1]);
    file_status(argv[1]);
    directory_records();
    heap();
    return 0;
}
