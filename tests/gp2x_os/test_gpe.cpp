// velkoro.gpe checked on a PC. The executable: a static ARM program with nothing newer than the
// handheld's ARMv4T in it, laid out as Linux 2.4's loader needs. The card folder: that program
// without its debug sections and the bundled card's Z80 programs. The system layer: its check
// program's view of files and descriptors against the PC's. Its stand-in build: run under
// qemu-arm's ARMv4T model (ti925t) beside the stand-in handheld, with the bundled card and the
// tone test cartridge, it must show what the headless back end shows for the same buttons, play
// the tone at its pitch and level, make only Linux 2.4's system calls and hand over to the menu
// program at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string GPE = std::string(VELKORO_GPE_DIR) + "/velkoro.gpe";
const std::string STANDIN = std::string(VELKORO_GPE_DIR) + "/velkoro-standin.gpe";
const std::string CARD = std::string(VELKORO_GPE_DIR) + "/card";
const std::string OS_CHECK = std::string(VELKORO_GPE_DIR) + "/velkoro-os-check.gpe";
const std::string WORK = VELKORO_GPE_WORK;

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs a shell command; its standard output and error go to `log`. Returns the exit status.
int run(const std::string& command, const std::string& log) {
    int status = std::system((command + " > '" + log + "' 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string shell_quoted(const std::string& s) { return "'" + s + "'"; }

// --- The executable ---

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return at + 4 <= b.size() ? uint32_t(b[at]) | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24
                              : 0;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
    return at + 2 <= b.size() ? uint16_t(b[at] | b[at + 1] << 8) : 0;
}

// What the ELF header and program headers say about an executable, as one line.
std::string elf_summary(const std::string& path) {
    std::vector<uint8_t> b = read_file(path);
    if (b.size() < 52 || std::memcmp(b.data(),
                                     "\x7f"
                                     "ELF",
                                     4) != 0)
        return "not ELF";
    std::string s = b[4] == 1 ? "ELF32" : "ELF64";
    s += b[5] == 1 ? " little-endian" : " big-endian";
    s += le16(b, 16) == 2 ? " executable" : " not an executable";
    s += le16(b, 18) == 40 ? " ARM" : " not ARM";
    if (le32(b, 24) & 3) s += " Thumb-entry";
    uint32_t phoff = le32(b, 28);
    uint16_t phentsize = le16(b, 42), phnum = le16(b, 44);
    for (uint16_t i = 0; i < phnum; ++i) {
        uint32_t type = le32(b, phoff + size_t(i) * phentsize);
        if (type == 2) s += " DYNAMIC";
        if (type == 3) s += " INTERP";
        if (type == 7) s += " TLS";
    }
    return s;
}

struct Segment {
    uint32_t offset, address, file_bytes, memory_bytes;
};

// The loadable segments, in the order of the program headers.
std::vector<Segment> loadable_segments(const std::vector<uint8_t>& b) {
    std::vector<Segment> out;
    uint32_t phoff = le32(b, 28);
    uint16_t phentsize = le16(b, 42), phnum = le16(b, 44);
    for (uint16_t i = 0; i < phnum; ++i) {
        size_t at = phoff + size_t(i) * phentsize;
        if (le32(b, at) == 1) out.push_back({le32(b, at + 4), le32(b, at + 8), le32(b, at + 16), le32(b, at + 20)});
    }
    return out;
}

// What Linux 2.4's ELF loader on ARM would refuse or get wrong: the 26-bit APCS flag (it wants a
// processor with 26-bit mode), program headers of another size than its own 32 bytes, a
// loadable segment whose file offset and address differ within a 4096-byte page (it maps whole
// pages), and zero-filled memory in any loadable segment but the last (it clears only what
// follows the last one).
std::vector<std::string> loader_problems(const std::vector<uint8_t>& b) {
    std::vector<std::string> problems;
    if (le32(b, 36) & 0x08) problems.push_back("the 26-bit APCS flag is set");
    if (le16(b, 42) != 32) problems.push_back("program headers are " + std::to_string(le16(b, 42)) + " bytes");
    std::vector<Segment> segments = loadable_segments(b);
    if (segments.empty()) problems.push_back("no loadable segment");
    for (size_t i = 0; i < segments.size(); ++i) {
        const Segment& g = segments[i];
        if (g.offset % 4096 != g.address % 4096)
            problems.push_back("segment " + std::to_string(i) + ": file offset and address differ in their page");
        if (i + 1 < segments.size() && g.memory_bytes > g.file_bytes)
            problems.push_back("segment " + std::to_string(i) + ": zero-filled memory before the last segment");
    }
    return problems;
}

// Instructions beyond ARMv4T (ARMv5 and later), by mnemonic as the disassembler prints them.
const std::regex NEWER_THAN_ARMV4T(
    "^(blx|clz|bkpt|ldrd|strd|ldrex|strex|clrex|dmb|dsb|isb|pld|pli|q(d?add|d?sub)|"
    "sm(ul|la)[bt][bt]|smlal[bt][bt]|sm(ul|la)w[bt]|mcrr|mrrc|(ldc|stc|cdp|mcr|mrc)2|movw|movt|"
    "rev|uxt|sxt|sel|[su]sat|pkh|cps|srs|rfe|setend|wf[ie]|sev|yield|[su]div|bf[ic]|[su]bfx|rbit|"
    "cbn?z|it[te]*|tb[bh]|[su]h?(add|sub)(8|16)|smm|smu[as]d|sml[as]l?d|usada?8)");

struct Disassembly {
    size_t instructions = 0;
    std::map<std::string, size_t> newer; // mnemonic -> count
};

Disassembly disassemble(const std::string& path) {
    Disassembly d;
    FILE* p = popen(
        ("arm-none-eabi-objdump -d --no-show-raw-insn " + shell_quoted(path) + " 2>/dev/null").c_str(), "r");
    if (!p) return d;
    static const std::regex line("^\\s+[0-9a-f]+:\\s+([a-z][a-z0-9.]*)");
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, p)) {
        std::cmatch m;
        if (!std::regex_search(buffer, m, line)) continue;
        std::string mnemonic = m[1];
        if (mnemonic == ".word" || mnemonic == ".short" || mnemonic == ".byte") continue;
        ++d.instructions;
        if (std::regex_search(mnemonic, NEWER_THAN_ARMV4T)) ++d.newer[mnemonic];
    }
    pclose(p);
    return d;
}

std::string symbols(const std::string& path) {
    std::string log = WORK + "/symbols.txt";
    fs::create_directories(WORK);
    run("arm-none-eabi-nm " + shell_quoted(path), log);
    return read_text(log);
}

TEST(GpeExecutable, IsAStaticArmExecutableForTheHandheldsProcessor) {
    for (const std::string& path : {GPE, STANDIN}) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(fs::exists(path));
        EXPECT_EQ(elf_summary(path), "ELF32 little-endian executable ARM");

        Disassembly d = disassemble(path);
        EXPECT_GT(d.instructions, 20000u) << "the disassembler read too little";
        for (const auto& [mnemonic, count] : d.newer) ADD_FAILURE() << count << " x " << mnemonic;

        // Atomic words that the compiler cannot make plain call these helpers, which neither the
        // handheld's processor nor its kernel provides.
        std::string names = symbols(path);
        EXPECT_EQ(names.find("__sync_"), std::string::npos);
        EXPECT_EQ(names.find("__atomic_"), std::string::npos);
    }
}

TEST(GpeExecutable, IsLaidOutAsLinux24sLoaderNeeds) {
    for (const std::string& path : {GPE, STANDIN, CARD + "/velkoro.gpe", OS_CHECK}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(loader_problems(read_file(path)), std::vector<std::string>{});
    }
}

TEST(GpeExecutable, OnlyTheStandInLeadsTheDevicePathsAway) {
    std::string root = read_text(std::string(VELKORO_GPE_DIR) + "/standin-root.txt");
    ASSERT_FALSE(root.empty());
    std::string gpe = read_text(GPE), standin = read_text(STANDIN);
    EXPECT_NE(gpe.find("/dev/mem"), std::string::npos);
    EXPECT_EQ(gpe.find(root), std::string::npos);
    EXPECT_NE(standin.find(root), std::string::npos);
}

// --- The card folder ---

std::vector<std::string> files_below(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (!e.is_directory()) out.push_back(fs::relative(e.path(), folder).string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(GpeCard, HoldsTheProgramWithoutDebugSectionsAndTheBundledCardsPrograms) {
    const std::string roms = "roms/colecovision/";
    const std::vector<std::string> expected = {roms + "Bouncing balls.rom", roms + "Controller and sound test.rom",
                                               roms + "Graphics demo.rom", roms + "coleco.rom", "velkoro.gpe"};
    ASSERT_EQ(files_below(CARD), expected);
    for (const std::string& name : files_below(CARD)) {
        std::printf("card: %-45s %7zu bytes\n", name.c_str(), size_t(fs::file_size(CARD + "/" + name)));
        if (name.rfind(roms, 0) == 0) {
            EXPECT_EQ(read_file(CARD + "/" + name), read_file(std::string(VELKORO_BUNDLED_CARD) + "/" + name))
                << name;
        }
    }

    // The program: velkoro.gpe's loadable bytes, executable, and no debug sections.
    std::vector<uint8_t> built = read_file(GPE), card = read_file(CARD + "/velkoro.gpe");
    std::vector<Segment> a = loadable_segments(built), b = loadable_segments(card);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].address, b[i].address);
        EXPECT_EQ(a[i].memory_bytes, b[i].memory_bytes);
        ASSERT_EQ(a[i].file_bytes, b[i].file_bytes);
        ASSERT_LE(size_t(a[i].offset) + a[i].file_bytes, built.size());
        ASSERT_LE(size_t(b[i].offset) + b[i].file_bytes, card.size());
        EXPECT_TRUE(std::equal(built.begin() + a[i].offset, built.begin() + a[i].offset + a[i].file_bytes,
                               card.begin() + b[i].offset))
            << "segment " << i;
    }
    EXPECT_NE((fs::status(CARD + "/velkoro.gpe").permissions() & fs::perms::owner_exec), fs::perms::none);
    std::string log = WORK + "/card-sections.txt";
    fs::create_directories(WORK);
    run("arm-none-eabi-readelf -S " + shell_quoted(CARD + "/velkoro.gpe"), log);
    std::string sections = read_text(log);
    EXPECT_NE(sections.find(".text"), std::string::npos);
    EXPECT_EQ(sections.find(".debug"), std::string::npos);
    EXPECT_NE(read_text(GPE).find(".debug_info"), std::string::npos) << "the built program has some to strip";
}

// --- The system layer ---

// The check program runs once, with standard input closed (as a menu may start a program) and
// qemu's log of its system calls on its standard error.
class GpeSystemLayer : public ::testing::Test {
  protected:
    static inline std::string folder, output, calls;
    static inline int status = -1;

    static void SetUpTestSuite() {
        folder = WORK + "/os-check";
        fs::remove_all(folder);
        fs::create_directories(folder);
        write_file(folder + "/sized", std::vector<uint8_t>(1234, 7));
        for (const char* name : {"appended", "truncated", "existing"})
            write_file(folder + "/" + name, {'a', 'b', 'c'});
        ASSERT_EQ(::mkfifo((folder + "/pipe").c_str(), 0644), 0);
        output = WORK + "/os-check.txt";
        calls = WORK + "/os-check-calls.txt";
        int s = std::system(("umask 022; qemu-arm -cpu ti925t -strace " + shell_quoted(OS_CHECK) + " " +
                             shell_quoted(folder) + " 0<&- > " + shell_quoted(output) + " 2> " + shell_quoted(calls))
                                .c_str());
        status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    }

    // The check program's line that starts with `prefix`.
    static std::string line(const std::string& prefix) {
        std::istringstream in(read_text(output));
        for (std::string l; std::getline(in, l);)
            if (l.rfind(prefix, 0) == 0) return l;
        return "(no line " + prefix + ")";
    }

    // The line the check program prints for a file status, made from the PC's own.
    static std::string status_line(const std::string& what, const struct stat& s) {
        char text[256];
        std::snprintf(text, sizeof text, "%s: mode %o size %ld nlink %u rdev %x mtime %lld blocks %ld", what.c_str(),
                      unsigned(s.st_mode), long(s.st_size), unsigned(s.st_nlink), unsigned(s.st_rdev & 0xFFFF),
                      (long long)s.st_mtime, long(s.st_blocks));
        return text;
    }
};

TEST_F(GpeSystemLayer, StandardInputIsOpenOnTheNullDeviceWhenMainStarts) {
    EXPECT_EQ(status, 0) << read_text(output);
    struct stat null_device {};
    ASSERT_EQ(::stat("/dev/null", &null_device), 0);
    std::string expected = status_line("descriptor 0", null_device);
    // The null device's times are its own business.
    std::string got = line("descriptor 0");
    EXPECT_EQ(got.substr(0, got.find(" mtime")), expected.substr(0, expected.find(" mtime")));
}

TEST_F(GpeSystemLayer, FileStatusIsThePcsOwn) {
    struct stat sized {};
    ASSERT_EQ(::stat((folder + "/sized").c_str(), &sized), 0);
    EXPECT_EQ(line("sized"), status_line("sized", sized));
}

TEST_F(GpeSystemLayer, OpenFlagsReachTheKernelAsItsOwn) {
    struct Case {
        std::string name, flags, result, content; // content "-": not read (a pipe)
    };
    // Linux 2.4's O_SYNC is the value later kernels, and qemu's log, call O_DSYNC.
    const Case cases[] = {
        {"created", "O_WRONLY|O_CREAT|O_TRUNC,0640", "opened", "new"},
        {"existing", "O_WRONLY|O_CREAT|O_EXCL,0640", "File exists", "abc"},
        {"appended", "O_WRONLY|O_APPEND", "opened", "abcdef"},
        {"truncated", "O_WRONLY|O_TRUNC", "opened", ""},
        {"pipe", "O_WRONLY|O_NONBLOCK", "No such device or address", "-"},
        {"synced", "O_RDWR|O_CREAT|O_NOCTTY|O_DSYNC,0640", "opened", ""},
    };
    std::string log = read_text(calls);
    auto flags_of = [&](const std::string& path) {
        std::string head = "open(\"" + path + "\",";
        size_t at = log.find(head);
        if (at == std::string::npos) return std::string("(not opened)");
        at += head.size();
        return log.substr(at, log.find(')', at) - at);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(flags_of(folder + "/" + c.name), c.flags);
        EXPECT_EQ(line("open " + c.name), "open " + c.name + ": " + c.result);
        if (c.content != "-") {
            std::vector<uint8_t> bytes = read_file(folder + "/" + c.name);
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.content);
        }
    }
    EXPECT_EQ(flags_of(folder), "O_RDONLY|O_DIRECTORY") << "opendir";
    EXPECT_EQ(fs::status(folder + "/created").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(GpeSystemLayer, DirectoryRecordsThatDoNotFitEndTheListing) {
    EXPECT_EQ(line("readdir"), "readdir: 0 of 6 malformed-record cases wrong") << read_text(output);
}

TEST_F(GpeSystemLayer, ARefusedHeapRequestFailsAndTheHeapGoesOn) {
    EXPECT_TRUE(std::regex_match(line("heap"), std::regex("heap: refused after [1-9][0-9]* blocks \\(Not enough space\\); "
                                                           "a small block after it: served")))
        << line("heap");
}

// --- The stand-in run ---

// B past the welcome screen, B for the first cartridge (the demo), SELECT back to the manager,
// RIGHT down to the last cartridge (the tone), B, SELECT, and Y to leave.
const char* const SCRIPT = "B:2000-2200, B:4000-4200, SELECT:9500-9700, RIGHT:10500-10600, B:11500-11700, "
                           "SELECT:14500-14700, Y:15500-15700";
// The demo's picture is taken after the boot ROM's title screen, with the balls moving.
constexpr uint32_t WELCOME_MS = 1500, MANAGER_MS = 3500, DEMO_MS = 9000, AUDIO_END_MS = 15000;
// The stand-in runs on real time, the headless reference on its virtual clock: the demo's picture
// must be one the headless back end shows within this much of the same moment.
constexpr uint32_t DEMO_WINDOW_MS = 300, DEMO_STEP_MS = 10;
// The timer counter starts this far before its wrap, so that it wraps during the demo.
constexpr uint32_t TIMER_START = 0xFFFFFFFFu - 6 * 7372800u;

// Linux 2.4's calls on ARM by the names qemu prints, with their numbers (0x900000 + n): the calls
// the program may make.
const std::map<std::string, int> LINUX_24_CALLS = {
    {"exit", 1},    {"read", 3},    {"write", 4},         {"open", 5},        {"close", 6},
    {"execve", 11}, {"chdir", 12},  {"lseek", 19},        {"getpid", 20},     {"kill", 37},
    {"brk", 45},    {"ioctl", 54},  {"gettimeofday", 78}, {"munmap", 91},     {"fstat", 108},
    {"wait4", 114}, {"clone", 120}, {"getdents", 141},    {"nanosleep", 162}, {"prctl", 172},
    {"mmap2", 192}};

struct Wave {
    std::vector<int16_t> left; // the left channel; the program writes the same to both
};

Wave read_wav(const std::string& path) {
    Wave w;
    std::vector<uint8_t> b = read_file(path);
    if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0) return w;
    for (size_t i = 44; i + 3 < b.size(); i += 4) w.left.push_back(int16_t(le16(b, i)));
    return w;
}

// The tone: the 10 ms windows whose level is above `threshold`, from the first to the last of a
// stretch with no gap longer than 200 ms (a device that ran dry for a moment plays silence). Its
// pitch comes from the zero crossings and its level (root mean square) from the loud windows,
// leaving out the silence.
struct Tone {
    size_t start = 0, samples = 0;
    double hz = 0, level = 0;
};

double rms(const int16_t* s, size_t n) {
    double sum = 0;
    for (size_t i = 0; i < n; ++i) sum += double(s[i]) * s[i];
    return n ? std::sqrt(sum / double(n)) : 0;
}

Tone find_tone(const Wave& w, double threshold) {
    constexpr size_t WINDOW = 441, LONGEST_GAP = 20 * WINDOW, DRY_RUN = 2;
    Tone t;
    size_t last_loud = 0, loud_samples = 0, sounding = 0, zeros = 0;
    double crossings = 0, energy = 0;
    int16_t previous = 0;
    for (size_t i = 0; i + WINDOW <= w.left.size(); i += WINDOW) {
        const int16_t* s = &w.left[i];
        double level = rms(s, WINDOW);
        if (level <= threshold) continue;
        if (loud_samples > 0 && i - last_loud > LONGEST_GAP) break;
        if (loud_samples == 0) t.start = i;
        last_loud = i;
        loud_samples += WINDOW;
        // Silence where the device ran dry (two or more zero samples; the tone itself passes
        // through a single zero at each edge) is not time of the tone.
        for (size_t k = 0; k < WINDOW; ++k) {
            if (s[k] == 0) {
                ++zeros;
                continue;
            }
            sounding += 1 + (zeros < DRY_RUN ? zeros : 0);
            zeros = 0;
            energy += double(s[k]) * s[k];
            if (previous != 0 && (previous < 0) != (s[k] < 0)) ++crossings;
            previous = s[k];
        }
    }
    if (loud_samples == 0) return t;
    t.samples = last_loud + WINDOW - t.start;
    t.hz = crossings / 2.0 / (double(sounding) / 44100.0);
    t.level = std::sqrt(energy / double(sounding));
    return t;
}

bool same_picture(const std::string& a, const std::string& b, std::string* why = nullptr) {
    std::vector<uint32_t> pa, pb;
    int wa = 0, ha = 0, wb = 0, hb = 0;
    if (!read_png_rgb(a, pa, wa, ha) || !read_png_rgb(b, pb, wb, hb)) {
        if (why) *why = "cannot read " + a + " or " + b;
        return false;
    }
    if (wa != wb || ha != hb || pa.size() != pb.size()) {
        if (why) *why = "sizes differ";
        return false;
    }
    for (size_t i = 0; i < pa.size(); ++i)
        if (pa[i] != pb[i]) {
            if (why) {
                char text[128];
                std::snprintf(text, sizeof text, "first difference at (%d, %d): %06X against %06X",
                              int(i % wa), int(i / wa), pa[i], pb[i]);
                *why = text;
            }
            return false;
        }
    return true;
}

class GpeStandin : public ::testing::Test {
  protected:
    static inline std::string card, root, report, strace;
    static inline int status = -1;

    static std::string file(const std::string& name) { return WORK + "/" + name; }

    // The headless runner on the same card with the same buttons, up to `ms` of its clock.
    static std::string headless(uint32_t ms, const std::string& extra) {
        return shell_quoted(VELKORO_HEADLESS_RUNNER) + " --card " + shell_quoted(card) + " --buttons " +
               shell_quoted(SCRIPT) + " --ms " + std::to_string(ms) + " " + extra;
    }

    static void SetUpTestSuite() {
        fs::remove_all(WORK);
        card = file("card");
        fs::create_directories(card + "/roms/colecovision");
        fs::copy(std::string(VELKORO_BUNDLED_CARD) + "/roms/colecovision", card + "/roms/colecovision",
                 fs::copy_options::recursive);
        fs::copy_file(VELKORO_TONE_ROM, card + "/roms/colecovision/tone.rom");
        root = read_text(std::string(VELKORO_GPE_DIR) + "/standin-root.txt");
        report = file("standin.txt");
        strace = file("strace.txt");
        status =
            run(shell_quoted(VELKORO_STANDIN_HANDHELD) + " --root " + shell_quoted(root) + " --card " +
                    shell_quoted(card) + " --buttons " + shell_quoted(SCRIPT) + " --timer-start " +
                    std::to_string(TIMER_START) + " --shot " + std::to_string(WELCOME_MS) + ":" +
                    file("welcome.png") + " --shot " + std::to_string(MANAGER_MS) + ":" +
                    file("manager.png") + " --shot " + std::to_string(DEMO_MS) + ":" + file("demo.png") +
                    " --wav " + file("standin.wav") + " --timeout 60000 -- qemu-arm -cpu ti925t -strace -D " +
                    shell_quoted(strace) + " " + shell_quoted(STANDIN),
                report);
        run(headless(WELCOME_MS, "--screenshot " + file("welcome-headless.png")), file("headless.txt"));
        run(headless(MANAGER_MS, "--screenshot " + file("manager-headless.png")), file("headless.txt"));
        run(headless(AUDIO_END_MS, "--wav " + file("headless.wav")), file("headless.txt"));
    }
};

TEST_F(GpeStandin, RunsToTheEndAndHandsOverToTheMenuProgram) {
    std::string text = read_text(report);
    EXPECT_EQ(status, 0) << text;
    EXPECT_NE(text.find("menu program ran: argv0=gp2xmenu args=0 cwd=" + root + "/usr/gp2x"),
              std::string::npos)
        << text;
}

TEST_F(GpeStandin, ShowsTheWelcomeScreenAndTheManagerAsTheHeadlessBackEndDoes) {
    std::string why;
    EXPECT_TRUE(same_picture(file("welcome.png"), file("welcome-headless.png"), &why)) << why;
    EXPECT_TRUE(same_picture(file("manager.png"), file("manager-headless.png"), &why)) << why;
    EXPECT_FALSE(same_picture(file("welcome.png"), file("manager.png")));
}

TEST_F(GpeStandin, PlaysTheDemoAsTheHeadlessBackEndDoes) {
    ASSERT_TRUE(fs::exists(file("demo.png")));
    EXPECT_FALSE(same_picture(file("demo.png"), file("manager.png")));
    // The closest moments first.
    std::vector<int> offsets{0};
    for (int d = int(DEMO_STEP_MS); d <= int(DEMO_WINDOW_MS); d += int(DEMO_STEP_MS)) {
        offsets.push_back(d);
        offsets.push_back(-d);
    }
    for (int d : offsets) {
        std::string reference = file("demo-headless.png");
        run(headless(uint32_t(int(DEMO_MS) + d), "--screenshot " + reference), file("headless.txt"));
        if (same_picture(file("demo.png"), reference)) {
            std::printf("the demo's picture is the headless one at %+d ms\n", d);
            return;
        }
    }
    ADD_FAILURE() << "no headless picture within " << DEMO_WINDOW_MS << " ms of the demo's";
}

TEST_F(GpeStandin, PlaysTheTonesPitchAndLevelAsTheHeadlessBackEndDoes) {
    Wave standin = read_wav(file("standin.wav")), reference = read_wav(file("headless.wav"));
    ASSERT_FALSE(standin.left.empty());
    ASSERT_FALSE(reference.left.empty());
    Tone a = find_tone(standin, 500), b = find_tone(reference, 500);
    ASSERT_GT(b.samples, 44100u) << "the reference holds no tone";
    EXPECT_NEAR(a.hz, 440.0, 4.4);
    EXPECT_NEAR(a.hz, b.hz, 2.0);
    EXPECT_NEAR(a.level, b.level, b.level * 0.05);
    // The cartridge silences the tone after some 1.9 s of its own time; the stand-in plays it in
    // real time on a processor model that may fall behind.
    EXPECT_GT(double(a.samples), 0.9 * double(b.samples));
    EXPECT_LT(double(a.samples), 1.5 * double(b.samples));
    std::printf("tone: %.1f Hz, level %.0f, %.2f s (headless: %.1f Hz, level %.0f, %.2f s)\n", a.hz, a.level,
                double(a.samples) / 44100, b.hz, b.level, double(b.samples) / 44100);
    // Before the tone, the demo: silent, as in the reference.
    EXPECT_LT(rms(standin.left.data(), a.start), 50.0);
    EXPECT_LT(rms(reference.left.data(), b.start), 50.0);
}

TEST_F(GpeStandin, MakesOnlyLinux24SystemCalls) {
    std::string log = read_text(strace);
    ASSERT_FALSE(log.empty());
    static const std::regex call("(^|[^a-z0-9_])([0-9]+) ([a-z_0-9]+)\\(");
    std::set<std::string> made;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), call); it != std::sregex_iterator(); ++it)
        made.insert((*it)[3]);
    std::string list;
    for (const std::string& name : made) {
        list += name + " ";
        EXPECT_TRUE(LINUX_24_CALLS.count(name)) << name << " is not one of the allowed Linux 2.4 calls";
    }
    std::printf("system calls made: %s\n", list.c_str());
    for (const char* needed : {"clone", "getdents", "mmap2", "ioctl", "execve", "nanosleep"})
        EXPECT_TRUE(made.count(needed)) << needed;
    // The audio thread asks to be killed (signal 9) when its parent dies.
    EXPECT_TRUE(std::regex_search(log, std::regex("prctl\\(1,9,")));
}

} // namespace
