// velkoro.gpe checked on a PC. The executable: a static ARM program with nothing newer than the
// handheld's ARMv4T in it. Its stand-in build: run under qemu-arm's ARMv4T model (ti925t) beside
// the stand-in handheld, with the bundled card and the tone test cartridge, it must show what
// the headless back end shows for the same buttons, play the tone at its pitch and level, make
// only Linux 2.4's system calls and hand over to the menu program at the end.
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
#include <vector>

#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string GPE = std::string(VELKORO_GPE_DIR) + "/velkoro.gpe";
const std::string STANDIN = std::string(VELKORO_GPE_DIR) + "/velkoro-standin.gpe";
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

TEST(GpeExecutable, OnlyTheStandInLeadsTheDevicePathsAway) {
    std::string root = read_text(std::string(VELKORO_GPE_DIR) + "/standin-root.txt");
    ASSERT_FALSE(root.empty());
    std::string gpe = read_text(GPE), standin = read_text(STANDIN);
    EXPECT_NE(gpe.find("/dev/mem"), std::string::npos);
    EXPECT_EQ(gpe.find(root), std::string::npos);
    EXPECT_NE(standin.find(root), std::string::npos);
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
    {"wait4", 114}, {"clone", 120}, {"getdents", 141},    {"nanosleep", 162}, {"mmap2", 192}};

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
}

} // namespace
