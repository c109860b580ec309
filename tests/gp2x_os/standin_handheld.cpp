// The stand-in handheld: plays the GP2X's part for the stand-in build of velkoro.gpe, which runs
// on a PC under an ARM processor model (qemu-arm) with its device, card and menu paths led into
// a folder fixed when it was built. This program fills that folder and then runs the given
// command, the processor model with the stand-in program, while it plays the hardware:
//
// - dev/mem: a sparse file as large as the physical address space the program maps; the 64 KB
//   register block lies at offset 0xC0000000, shared with this program. Its timer counter at
//   0x0A00 counts 7,372,800 per second of real time, and the button script drives the input
//   ports at 0x1184 (buttons), 0x1186 (extra) and 0x1198 (stick), a pressed control reading 0.
// - dev/fb0, dev/fb1: the two 320 x 240 RGB565 frame buffers, as files.
// - dev/dsp: a pipe, read at 44100 x 4 bytes a second, so that the audio thread's writes block as
//   on the device; dev/mixer: a plain file.
// - proc/cpuinfo: names the handheld's processor; mnt/sd/: the card, copied from --card.
// - usr/gp2x/gp2xmenu: a stand-in menu program that records that it ran, with its argument list
//   and working folder, in ROOT/gp2xmenu.ran.
//
// With --slow N the handheld's time (the timer, the button script, the sound device's pace and
// the time-out) runs N times slower than the PC's, for a processor model too slow for real time.
//
// Screens are saved as PNG at the times --shot names and at the end (the visible buffer is
// /dev/fb1), the audio as a WAV. Plain files answer none of the frame-buffer or sound device
// requests, so the program runs with the fallbacks it takes for a device that refuses them.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t REGISTER_BLOCK = 0xC0000000;
constexpr size_t REGISTER_BYTES = 0x10000;
constexpr uint32_t TIMER_COUNT = 0x0A00;
constexpr uint32_t BUTTON_PORT = 0x1184;
constexpr uint32_t EXTRA_PORT = 0x1186;
constexpr uint32_t STICK_PORT = 0x1198;
constexpr uint64_t TIMER_HZ = 7372800;
constexpr size_t FRAME_BUFFER_BYTES = 320 * 240 * 2;
constexpr uint64_t AUDIO_BYTES_PER_SECOND = 44100 * 4;
constexpr int PIPE_BYTES = 4096; // the smallest pipe Linux makes; the device holds 8 x 128 bytes
constexpr auto TICK = std::chrono::microseconds(500);

struct Shot {
    uint32_t ms;
    std::string path;
    bool taken = false;
};

struct Options {
    std::string root, card, wav, screenshot;
    std::vector<ScriptedPress> presses;
    std::vector<Shot> shots;
    uint32_t timer_start = 0;
    uint32_t timeout_ms = 60000;
    uint32_t slow = 1; // the handheld's time runs this many times slower than the PC's
    std::vector<std::string> command;
};

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "standin: %s\n", message.c_str());
    std::exit(2);
}

[[noreturn]] void usage(const std::string& message) {
    std::fprintf(stderr,
                 "standin: %s\nusage: velkoro-standin-handheld --root DIR --card DIR [--buttons SCRIPT] "
                 "[--shot MS:FILE]... [--screenshot FILE] [--wav FILE] [--timer-start N] [--timeout MS] "
                 "[--slow N] -- COMMAND...\n",
                 message.c_str());
    std::exit(2);
}

uint32_t number(const std::string& text, const std::string& option) {
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end || errno || v > 0xFFFFFFFFull)
        usage(option + " needs a number, got \"" + text + "\"");
    return uint32_t(v);
}

Options parse(int argc, char** argv) {
    Options o;
    std::string script;
    int i = 1;
    for (; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (i + 1 >= argc) usage("option " + arg + " needs a value");
        std::string value = argv[++i];
        if (arg == "--root") {
            o.root = value;
        } else if (arg == "--card") {
            o.card = value;
        } else if (arg == "--buttons") {
            script += value + "\n";
        } else if (arg == "--shot") {
            size_t colon = value.find(':');
            if (colon == std::string::npos) usage("--shot needs MS:FILE");
            o.shots.push_back({number(value.substr(0, colon), "--shot"), value.substr(colon + 1)});
        } else if (arg == "--screenshot") {
            o.screenshot = value;
        } else if (arg == "--wav") {
            o.wav = value;
        } else if (arg == "--timer-start") {
            o.timer_start = number(value, arg);
        } else if (arg == "--timeout") {
            o.timeout_ms = number(value, arg);
        } else if (arg == "--slow") {
            o.slow = number(value, arg);
            if (o.slow == 0 || o.slow > 1000) usage("--slow needs 1 to 1000");
        } else {
            usage("unknown option " + arg);
        }
    }
    for (; i < argc; ++i) o.command.push_back(argv[i]);
    if (o.root.empty() || o.card.empty() || o.command.empty())
        usage("--root, --card and a command are needed");
    std::string error;
    if (!parse_button_script(script, o.presses, error)) usage("button script: " + error);
    return o;
}

void write_text(const fs::path& path, const std::string& text, bool executable = false) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) fail("cannot write " + path.string());
    out.close();
    if (executable)
        fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
}

// A file of `bytes` zero bytes that takes no room on the disk.
void sparse_file(const fs::path& path, uint64_t bytes) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::ftruncate(fd, off_t(bytes)) != 0) fail("cannot make " + path.string());
    ::close(fd);
}

void* map_file(const fs::path& path, uint64_t offset, size_t bytes) {
    int fd = ::open(path.c_str(), O_RDWR);
    if (fd < 0) fail("cannot open " + path.string());
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, off_t(offset));
    ::close(fd);
    if (p == MAP_FAILED) fail("cannot map " + path.string());
    return p;
}

// Lays out the stand-in folder. Everything in it is made anew for each run.
void make_handheld(const Options& o) {
    fs::path root = o.root;
    if (!fs::is_directory(o.card)) fail("card folder " + o.card + " does not exist");
    for (const char* sub : {"dev", "mnt/sd", "proc", "usr/gp2x"}) {
        fs::remove_all(root / sub);
        fs::create_directories(root / sub);
    }
    fs::remove(root / "gp2xmenu.ran");
    sparse_file(root / "dev/mem", REGISTER_BLOCK + REGISTER_BYTES);
    sparse_file(root / "dev/fb0", FRAME_BUFFER_BYTES);
    sparse_file(root / "dev/fb1", FRAME_BUFFER_BYTES);
    write_text(root / "dev/mixer", "");
    if (::mkfifo((root / "dev/dsp").c_str(), 0644) != 0) fail("cannot make the pipe dev/dsp");
    write_text(root / "proc/cpuinfo", "Processor\t: ARM920T rev 0 (v4l)\nHardware\t: GP2X (stand-in)\n");
    fs::copy(o.card, root / "mnt/sd", fs::copy_options::recursive);
    // The menu program records its argument list and where it was started.
    write_text(root / "usr/gp2x/gp2xmenu",
               "#!/bin/sh\n"
               "printf 'argv0=%s args=%s cwd=%s\\n' \"$(basename \"$0\")\" \"$#\" \"$(pwd)\" > '" +
                   (root / "gp2xmenu.ran").string() + "'\n",
               true);
}

uint16_t pressed_at(const std::vector<ScriptedPress>& presses, uint32_t ms) {
    uint16_t mask = 0;
    for (const ScriptedPress& p : presses)
        if (ms >= p.start_ms && ms < p.end_ms) mask |= p.mask;
    return mask;
}

pid_t start(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& s : command) argv.push_back(const_cast<char*>(s.c_str()));
    argv.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) fail("cannot start the program");
    if (pid == 0) {
        ::execvp(argv[0], argv.data());
        std::fprintf(stderr, "standin: cannot run %s: %s\n", argv[0], std::strerror(errno));
        ::_exit(127);
    }
    return pid;
}

void save_screen(const std::string& path, const uint16_t* pixels) {
    if (!write_png_rgb565(path, pixels, 320, 240, 320)) fail("cannot write " + path);
}

} // namespace

int main(int argc, char** argv) {
    Options o = parse(argc, argv);
    make_handheld(o);
    fs::path root = o.root;

    auto* registers =
        static_cast<volatile uint8_t*>(map_file(root / "dev/mem", REGISTER_BLOCK, REGISTER_BYTES));
    auto reg16 = [&](uint32_t offset) -> volatile uint16_t& {
        return *reinterpret_cast<volatile uint16_t*>(registers + offset);
    };
    auto* timer = reinterpret_cast<volatile uint32_t*>(registers + TIMER_COUNT);
    auto* fb1 = static_cast<const uint16_t*>(map_file(root / "dev/fb1", 0, FRAME_BUFFER_BYTES));
    reg16(BUTTON_PORT) = 0xFFFF;
    reg16(EXTRA_PORT) = 0xFFFF;
    reg16(STICK_PORT) = 0xFFFF;
    *timer = o.timer_start;

    // Opened before the program starts, so that its own open of the device does not wait.
    int dsp = ::open((root / "dev/dsp").c_str(), O_RDONLY | O_NONBLOCK);
    if (dsp < 0) fail("cannot open the pipe dev/dsp");
    ::fcntl(dsp, F_SETPIPE_SZ, PIPE_BYTES);
    std::vector<uint8_t> audio;

    std::signal(SIGPIPE, SIG_IGN);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = start(o.command);
    int status = 0;
    bool ended = false;
    uint32_t ms = 0;
    uint64_t consumed = 0, underrun_bytes = 0;
    while (!ended) {
        auto elapsed = std::chrono::steady_clock::now() - t0;
        uint64_t ns = uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()) / o.slow;
        ms = uint32_t(ns / 1000000);
        *timer = uint32_t(o.timer_start + ns * TIMER_HZ / 1000000000u);
        uint16_t mask = pressed_at(o.presses, ms);
        reg16(BUTTON_PORT) = uint16_t(~(mask & 0xFF00u));
        reg16(STICK_PORT) = uint16_t(~(mask & 0x00FFu));

        // The device plays what is due by now. Once the program has started writing, what it has
        // not written in time is played as silence, as a device that runs dry does; the WAV is
        // the device's output from the first byte the program wrote.
        uint64_t due = ns * AUDIO_BYTES_PER_SECOND / 1000000000u / 4 * 4;
        if (due > consumed) {
            size_t want = size_t(due - consumed);
            size_t have = audio.size();
            audio.resize(have + want);
            ssize_t got = ::read(dsp, audio.data() + have, want);
            size_t taken = size_t(got > 0 ? got : 0);
            if (have + taken == 0) {
                audio.clear();
            } else if (taken < want) {
                underrun_bytes += want - taken; // already zero
            }
            consumed = due;
        }

        for (Shot& s : o.shots)
            if (!s.taken && ms >= s.ms) {
                save_screen(s.path, fb1);
                s.taken = true;
            }
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) ended = true;
        if (!ended && ms > o.timeout_ms) {
            std::fprintf(stderr, "standin: the program still runs after %u ms; stopping it\n", o.timeout_ms);
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ended = true;
        }
        std::this_thread::sleep_for(TICK);
    }

    if (!o.screenshot.empty()) save_screen(o.screenshot, fb1);
    if (!o.wav.empty()) {
        std::vector<int16_t> samples(audio.size() / 2);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = int16_t(uint16_t(audio[2 * i] | (audio[2 * i + 1] << 8)));
        samples.resize(samples.size() & ~size_t(1));
        if (!write_wav_stereo16(o.wav, samples)) fail("cannot write " + o.wav);
    }
    std::ifstream menu(root / "gp2xmenu.ran");
    std::stringstream menu_record;
    menu_record << menu.rdbuf();
    std::string menu_line = menu_record.str();
    if (!menu_line.empty() && menu_line.back() == '\n') menu_line.pop_back();
    for (const Shot& s : o.shots)
        if (!s.taken) std::printf("standin: no screen at %u ms (the program had ended)\n", s.ms);
    std::printf("standin: ran %u ms; audio %.3f s played from the first write, %.3f s of it silence because "
                "nothing was written in time\n",
                ms, double(audio.size()) / AUDIO_BYTES_PER_SECOND,
                double(underrun_bytes) / AUDIO_BYTES_PER_SECOND);
    std::printf("standin: menu program %s\n",
                menu_line.empty() ? "did not run" : ("ran: " + menu_line).c_str());
    if (WIFEXITED(status))
        std::printf("standin: exit status %d\n", WEXITSTATUS(status));
    else
        std::printf("standin: ended by signal %d\n", WTERMSIG(status));
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
