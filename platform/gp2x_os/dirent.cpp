// Directory listing for velkoro.gpe: opendir, readdir and closedir over Linux's getdents, enough
// for the cartridge manager to list the card's folder.
#include "platform/gp2x_os/dir.h"
#include "platform/gp2x_os/linux.h"

#include <cstdlib>
#include <cstring>

// A record whose length does not fit the block, or that is too short to hold a name, ends the
// listing rather than being read past; a name is cut at its record's end and at 255 bytes.
dirent* dir_take_record(velkoro_dir* d) {
    if (d->next >= d->used) return nullptr;
    const uint8_t* record = d->records + d->next;
    uint32_t room = d->used - d->next;
    if (room <= LINUX_DIRENT_NAME) return nullptr;
    LinuxDirent head;
    std::memcpy(&head, record, LINUX_DIRENT_NAME);
    if (head.reclen <= LINUX_DIRENT_NAME || head.reclen > room) return nullptr;
    const char* name = reinterpret_cast<const char*>(record + LINUX_DIRENT_NAME);
    size_t length = strnlen(name, head.reclen - LINUX_DIRENT_NAME);
    if (length >= sizeof d->current.d_name) length = sizeof d->current.d_name - 1;
    std::memcpy(d->current.d_name, name, length);
    d->current.d_name[length] = '\0';
    d->current.d_ino = head.ino;
    d->next += head.reclen;
    return &d->current;
}

extern "C" {

DIR* opendir(const char* path) {
    char buffer[OS_PATH_BYTES];
    const char* p = os_path(path, buffer);
    if (!p) return nullptr;
    int32_t fd = linux_call<linux_nr::OPEN>(linux_arg(p), linux_flag::DIRECTORY);
    if (linux_failed(fd)) return nullptr;
    DIR* d = static_cast<DIR*>(std::calloc(1, sizeof(DIR)));
    if (!d) {
        linux_call<linux_nr::CLOSE>(uint32_t(fd));
        return nullptr;
    }
    d->fd = fd;
    return d;
}

dirent* readdir(DIR* d) {
    if (!d) return nullptr;
    if (d->next >= d->used) {
        int32_t got =
            linux_call<linux_nr::GETDENTS>(uint32_t(d->fd), linux_arg(d->records), sizeof d->records);
        if (linux_failed(got) || got <= 0 || uint32_t(got) > sizeof d->records) return nullptr;
        d->used = uint32_t(got);
        d->next = 0;
    }
    return dir_take_record(d);
}

int closedir(DIR* d) {
    if (!d) return -1;
    int32_t r = linux_call<linux_nr::CLOSE>(uint32_t(d->fd));
    std::free(d);
    return linux_failed(r) ? -1 : 0;
}

} // extern "C"
