// The bundled card's cartridges. End to end, the headless runner boots the card through our boot
// ROM, picks a cartridge in the manager and plays it with scripted buttons; its screenshots are
// compared with golden pictures and its recorded sound is measured. On the whole machine, frame
// by frame, the controller test names every control of both controllers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/roms/boot_console.h"
#include "video/vdp.h"

namespace {

// What one run of the runner left: its screenshot and the left channel of its sound.
struct RunnerRun {
    TempFolder out;
    std::string screenshot = out.path + "/screen.png";
    std::vector<int16_t> sound;
    uint32_t ms = 0;
    // Where clock time t (ms) falls in the sound: the recording covers only the game, the last
    // part of the run.
    size_t sample_at(uint32_t t) const {
        uint32_t recorded = uint32_t(sound.size() * 1000 / 44100);
        uint32_t start = ms > recorded ? ms - recorded : 0;
        return t > start ? size_t(t - start) * 44100 / 1000 : 0;
    }
};

// Interleaved 16-bit stereo PCM from a WAV file: its left channel.
std::vector<int16_t> wav_left(const std::string& path) {
    std::vector<uint8_t> f = read_file(path);
    std::vector<int16_t> left;
    for (size_t at = 12; at + 8 <= f.size();) {
        uint32_t size = uint32_t(f[at + 4] | f[at + 5] << 8 | f[at + 6] << 16 | uint32_t(f[at + 7]) << 24);
        if (std::string(f.begin() + std::ptrdiff_t(at), f.begin() + std::ptrdiff_t(at + 4)) == "data") {
            for (size_t i = at + 8; i + 4 <= f.size() && i + 4 <= at + 8 + size; i += 4)
                left.push_back(int16_t(f[i] | f[i + 1] << 8));
            break;
        }
        at += 8 + size;
    }
    return left;
}

// Runs the headless runner on the bundled card for `ms` of clock time with `buttons` held.
void run_card(RunnerRun& run, const std::string& buttons, uint32_t ms) {
    run.ms = ms;
    std::string wav = run.out.path + "/sound.wav";
    std::string command = std::string(VELKORO_HEADLESS) + " --card " + VELKORO_BUILD_DIR +
                          "/card --buttons '" + buttons + "' --ms " + std::to_string(ms) + " --screenshot " +
                          run.screenshot + " --wav " + wav + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    run.sound = wav_left(wav);
}

// Compares a PNG file with the golden tests/<relative>; VELKORO_UPDATE_GOLDENS=1 writes it.
std::string compare_with_golden(const std::string& actual, const std::string& relative) {
    std::string golden = std::string(VELKORO_TEST_SOURCE_DIR) + "/" + relative;
    const char* update = std::getenv("VELKORO_UPDATE_GOLDENS");
    if (update && std::string(update) == "1") {
        std::filesystem::copy_file(actual, golden, std::filesystem::copy_options::overwrite_existing);
        return "";
    }
    std::vector<uint32_t> a, g;
    int aw, ah, gw, gh;
    if (!read_png_rgb(golden, g, gw, gh)) return "golden " + golden + " is missing or unreadable";
    if (!read_png_rgb(actual, a, aw, ah)) return "cannot read " + actual;
    if (aw != gw || ah != gh) return "size differs from " + golden;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != g[i]) {
            std::string kept =
                std::string(VELKORO_BUILD_DIR) + "/" + std::filesystem::path(relative).filename().string();
            std::filesystem::copy_file(actual, kept, std::filesystem::copy_options::overwrite_existing);
            return "pixel (" + std::to_string(i % size_t(aw)) + ", " + std::to_string(i / size_t(aw)) +
                   ") differs from " + golden + " (actual kept at " + kept + ")";
        }
    return "";
}

// The pitch of the samples from clock time t0 to t1 (ms), from their sign changes.
double pitch(const RunnerRun& run, uint32_t t0, uint32_t t1) {
    size_t a = run.sample_at(t0), b = std::min(run.sample_at(t1), run.sound.size());
    int changes = 0, last = 0;
    for (size_t i = a; i < b; ++i) {
        int sign = run.sound[i] > 0 ? 1 : run.sound[i] < 0 ? -1 : 0;
        if (sign == 0) continue;
        if (last != 0 && sign != last) ++changes;
        last = sign;
    }
    return b > a ? changes / 2.0 / (double(b - a) / 44100) : 0;
}

// How far a measured pitch may stray (a semitone is about 6 %): counting sign changes
// over a third of a second is good to about 0.3 %.
constexpr double TUNING = 0.005;

// The strength of frequency f (Hz) in samples a..b, by the Goertzel filter: the amplitude of that
// sine component.
double strength(const std::vector<int16_t>& s, size_t a, size_t b, double f) {
    double k = 2 * std::cos(2 * M_PI * f / 44100), s1 = 0, s2 = 0;
    for (size_t i = a; i < b; ++i) {
        double s0 = s[i] + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return 2 * std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - k * s1 * s2)) / double(b - a);
}

bool silent(const RunnerRun& run, uint32_t t0, uint32_t t1) {
    size_t a = run.sample_at(t0), b = std::min(run.sample_at(t1), run.sound.size());
    return a < b && std::all_of(run.sound.begin() + std::ptrdiff_t(a), run.sound.begin() + std::ptrdiff_t(b),
                                [](int16_t s) { return s == 0; });
}

// Past the welcome screen, DOWN `downs` times in the manager, B to start; the cartridge's own
// program begins after the boot ROM's three-second title, at about 4.1 s.
std::string choose(int downs) {
    std::string s = "B:300-400";
    for (int i = 0; i < downs; ++i)
        s += ", DOWN:" + std::to_string(500 + 100 * i) + "-" + std::to_string(550 + 100 * i);
    return s + ", B:800-900";
}

TEST(BouncingBalls, EndToEndTheTitleThenTheBalls) {
    // The first cartridge of the card: our boot ROM's title with the cartridge's own lines, then
    // the cartridge itself.
    RunnerRun title, balls;
    run_card(title, choose(0), 2500);
    EXPECT_EQ(compare_with_golden(title.screenshot, "roms/golden/balls_title.png"), "");
    run_card(balls, choose(0), 5500);
    EXPECT_EQ(compare_with_golden(balls.screenshot, "roms/golden/balls.png"), "");
}

TEST(ControllerTest, EndToEndTonesNoiseAndTheScreenOfHeldControls) {
    RunnerRun run;
    run_card(run,
             choose(1) + ", A:4500-5000, B:5200-5700, KEY5:5900-6400, KEYSTAR:6600-6700" +
                 ", RIGHT:7000-7800, UP:7000-7200, A:7400-7800, KEY3:7400-7800, P2LEFT:7200-7800" +
                 ", P2B:7500-7800, P2KEYSTAR:7500-7800",
             7800);
    // Every sound comes from a press: the left fire button 440 Hz, the right one 658 Hz, key 5
    // the G above (782 Hz), '*' a burst that has faded half a second later.
    EXPECT_TRUE(silent(run, 4200, 4450));
    EXPECT_NEAR(pitch(run, 4600, 4950), 440.4, 440.4 * TUNING);
    EXPECT_TRUE(silent(run, 5050, 5150));
    EXPECT_NEAR(pitch(run, 5300, 5650), 658.0, 658.0 * TUNING);
    EXPECT_NEAR(pitch(run, 6000, 6350), 782.2, 782.2 * TUNING);
    EXPECT_TRUE(silent(run, 6450, 6550));
    EXPECT_FALSE(silent(run, 6650, 6750));
    EXPECT_TRUE(silent(run, 7250, 7350));
    // Player 1: ring moved right and up, left fire, key 3; player 2: ring moved left, right
    // fire, '*'.
    EXPECT_EQ(compare_with_golden(run.screenshot, "roms/golden/controller_test.png"), "");
}

TEST(GraphicsDemo, EndToEndThePictureAndItsTuneThenTheColours) {
    RunnerRun picture;
    run_card(picture, choose(2), 6500);
    EXPECT_EQ(compare_with_golden(picture.screenshot, "roms/golden/graphics_picture.png"), "");
    // The tune starts once the picture is drawn: its first eighth is C5 over E4 over C3, one
    // note on each tone channel, and no other note of the scale sounds.
    const std::vector<int16_t>& s = picture.sound;
    size_t first = size_t(std::find_if(s.begin(), s.end(), [](int16_t v) { return v != 0; }) - s.begin());
    ASSERT_LT(first + 5292, s.size()) << "no tune";
    size_t a = first + 441, b = first + 5292; // 10 ms in, to 120 ms
    double quietest = 1e9, loudest_other = 0;
    for (double f : {523.25, 329.63, 130.81}) quietest = std::min(quietest, strength(s, a, b, f));
    for (double f : {587.33, 440.0, 369.99, 277.18, 164.81})
        loudest_other = std::max(loudest_other, strength(s, a, b, f));
    EXPECT_GT(quietest, 5 * loudest_other);

    RunnerRun colours;
    run_card(colours, choose(2) + ", L:6500-6600", 7000);
    EXPECT_EQ(compare_with_golden(colours.screenshot, "roms/golden/graphics_colours.png"), "");
}

// The ten characters of the controller test's screen at a row and column.
std::string text_at(int row, int column, int n = 10) {
    std::string s;
    for (int i = 0; i < n; ++i) s += char(vdp.vram[0x1800 + row * 32 + column + i] & 0x7F); // yellow is +0x80
    return s.substr(0, s.find_last_not_of(' ') + 1);
}

struct ControllerScreen : ::testing::Test {
    BootConsole console;
    static constexpr int STICK = 5, FIRE_L = 6, FIRE_R = 7, KEY = 8, PLAYER1 = 9, PLAYER2 = 20;
    void SetUp() override {
        ASSERT_TRUE(console.boot(boot_rom_image(), read_file(built_rom("Controller and sound test.rom"))));
        console.run(200); // the title, then the screen
        ASSERT_EQ(text_at(3, PLAYER1), "PLAYER 1");
    }
};

TEST_F(ControllerScreen, NamesEveryControlOfBothControllers) {
    const struct {
        uint16_t word;
        const char* name;
    } sticks[] = {
        {PAD_NONE, "-"},
        {PAD_UP, "UP"},
        {PAD_DOWN, "DOWN"},
        {PAD_LEFT, "LEFT"},
        {PAD_RIGHT, "RIGHT"},
        {PAD_UP & PAD_LEFT, "UP LEFT"},
        {PAD_UP & PAD_RIGHT, "UP RIGHT"},
        {PAD_DOWN & PAD_LEFT, "DOWN LEFT"},
        {PAD_DOWN & PAD_RIGHT, "DOWN RIGHT"},
        {PAD_LEFT & PAD_RIGHT, "LEFT RIGHT"},
    };
    for (const auto& s : sticks) {
        console.frame(s.word, PAD_NONE);
        EXPECT_EQ(text_at(STICK, PLAYER1), s.name);
        EXPECT_EQ(text_at(STICK, PLAYER2), "-");
        console.frame(PAD_NONE, s.word);
        EXPECT_EQ(text_at(STICK, PLAYER1), "-");
        EXPECT_EQ(text_at(STICK, PLAYER2), s.name);
    }
    const char keys[] = "0123456789*#";
    for (int k = 0; k < 12; ++k) {
        console.frame(pad_key(k), PAD_NONE);
        EXPECT_EQ(text_at(KEY, PLAYER1), std::string(1, keys[k]));
        EXPECT_EQ(text_at(KEY, PLAYER2), "-");
        console.frame(PAD_NONE, pad_key(k));
        EXPECT_EQ(text_at(KEY, PLAYER1), "-");
        EXPECT_EQ(text_at(KEY, PLAYER2), std::string(1, keys[k]));
    }
    // Both fire buttons, each on its own and everything at once.
    console.frame(PAD_LEFT_FIRE, PAD_RIGHT_FIRE);
    EXPECT_EQ(text_at(FIRE_L, PLAYER1), "PRESSED");
    EXPECT_EQ(text_at(FIRE_R, PLAYER1), "-");
    EXPECT_EQ(text_at(FIRE_L, PLAYER2), "-");
    EXPECT_EQ(text_at(FIRE_R, PLAYER2), "PRESSED");
    console.frame(PAD_UP & PAD_LEFT_FIRE & PAD_RIGHT_FIRE & pad_key(7), PAD_NONE);
    EXPECT_EQ(text_at(STICK, PLAYER1), "UP");
    EXPECT_EQ(text_at(FIRE_L, PLAYER1), "PRESSED");
    EXPECT_EQ(text_at(FIRE_R, PLAYER1), "PRESSED");
    EXPECT_EQ(text_at(KEY, PLAYER1), "7");
    console.frame();
    EXPECT_EQ(text_at(FIRE_L, PLAYER1), "-");
    EXPECT_EQ(text_at(KEY, PLAYER1), "-");
}

TEST_F(ControllerScreen, SticksMoveTheRingsInsideTheBoxAndHashBringsThemBack) {
    // Sprite attributes: ring 1 at 0x1B00, ring 2 at 0x1B04 (Y is one line above the top).
    auto x = [](int ring) { return vdp.vram[0x1B01 + 4 * ring]; };
    auto y = [](int ring) { return vdp.vram[0x1B00 + 4 * ring] + 1; };
    ASSERT_EQ(x(0), 64);
    ASSERT_EQ(y(1), 100);
    console.run(10, PAD_RIGHT, PAD_UP);
    EXPECT_EQ(x(0), 84);
    EXPECT_EQ(y(0), 100);
    EXPECT_EQ(x(1), 176);
    EXPECT_EQ(y(1), 88); // 20 lines up from 100 would leave the box
    console.run(200, PAD_DOWN & PAD_LEFT, PAD_UP & PAD_RIGHT);
    EXPECT_EQ(x(0), 8);
    EXPECT_EQ(y(0), 128);
    EXPECT_EQ(x(1), 232);
    EXPECT_EQ(y(1), 88);
    console.frame(PAD_NONE, pad_key(11));
    EXPECT_EQ(x(0), 64);
    EXPECT_EQ(y(0), 100);
    EXPECT_EQ(x(1), 176);
    EXPECT_EQ(y(1), 100);
}

struct GraphicsScreen : ::testing::Test {
    BootConsole console;
    void SetUp() override {
        ASSERT_TRUE(console.boot(boot_rom_image(), read_file(built_rom("Graphics demo.rom"))));
        console.run(300); // the title, then the picture is drawn
        ASSERT_EQ(vdp.mode, MODE_GRAPHICS2);
    }
};

TEST_F(GraphicsScreen, KeysSwitchPagesOncePerPress) {
    console.frame(pad_key(2));
    EXPECT_EQ(vdp.mode, MODE_MULTICOLOUR);
    console.frame(pad_key(1));
    EXPECT_EQ(vdp.mode, MODE_GRAPHICS2);
    console.frame(pad_key(0)); // 0 (the handheld's L) turns to the other page, once per press
    EXPECT_EQ(vdp.mode, MODE_MULTICOLOUR);
    console.run(5, pad_key(0));
    EXPECT_EQ(vdp.mode, MODE_MULTICOLOUR);
    console.frame();
    console.frame(pad_key(0));
    EXPECT_EQ(vdp.mode, MODE_GRAPHICS2);
    console.run(5, pad_key(5)); // other keys do nothing
    EXPECT_EQ(vdp.mode, MODE_GRAPHICS2);
}

TEST_F(GraphicsScreen, BorderFlashesWhiteAfterSpritesMeet) {
    // Whether any two of the four 16 x 16 sprites share a pixel of their boxes.
    auto boxes_meet = []() {
        for (int a = 0; a < 4; ++a)
            for (int b = a + 1; b < 4; ++b) {
                int dy = vdp.vram[0x1B00 + 4 * a] - vdp.vram[0x1B00 + 4 * b];
                int dx = vdp.vram[0x1B01 + 4 * a] - vdp.vram[0x1B01 + 4 * b];
                if (std::abs(dy) < 16 && std::abs(dx) < 16) return true;
            }
        return false;
    };
    int flashes = 0, black = 0;
    bool met = boxes_meet(), white = (vdp.regs[7] & 0x0F) == 0x0F;
    for (int i = 0; i < 900; ++i) {
        console.frame();
        bool now_white = (vdp.regs[7] & 0x0F) == 0x0F;
        if (now_white && !white) {
            ++flashes;
            EXPECT_TRUE(met) << "a flash with no sprites together, frame " << console.frames;
        }
        black += !now_white;
        white = now_white;
        met = boxes_meet();
    }
    // The saucers fly at each other and meet every few seconds.
    EXPECT_GE(flashes, 3);
    EXPECT_GT(black, 600);
    EXPECT_EQ(vdp.regs[7] & 0x0F, white ? 0x0F : 0x01);
}

} // namespace
