// The machine's state record on the whole machine: a game saved at one frame end and loaded into
// a fresh start of the same game goes on exactly as the first run did (picture, sound and the
// state itself, byte for byte), and every kind of bad record is refused with its reason and
// leaves the running game as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/surface.h"
#include "machine/driver.h"
#include "machine/loader.h"
#include "machine/memory.h"
#include "machine/state.h"
#include "platform/platform.h"
#include "sound/psg.h"
#include "tests/machine/machine_fixture.h"
#include "video/vdp.h"

namespace {

// What a run keeps, filled in by its frame-end callback.
struct GameRun {
    uint32_t frames = 0;   // frames to run (from the start, or from the loaded state)
    uint32_t save_at = 0;  // the frame whose end is saved; 0 = none
    std::vector<uint8_t> saved;
    size_t sound_at_save = 0;
    std::vector<uint8_t> last_state; // the state at the last frame end
    std::vector<uint8_t> picture;    // the picture buffer and the screen at the end
    std::vector<uint16_t> screen;
    std::vector<int16_t> sound;
    uint8_t module_mapped = 0; // the module's RAM mapping at the end
    uint8_t frames_counted = 0, steps_counted = 0; // the everything cartridge's counters then
    void (*at_frame)(uint32_t frame) = nullptr; // anything else a frame end should do
};
GameRun* run = nullptr;

void keep_frame() {
    uint32_t frame = headless_frames();
    if (frame == run->save_at) {
        EXPECT_EQ(headless_save_state(run->saved), nullptr);
        run->sound_at_save = headless_audio().size();
    }
    if (run->at_frame) run->at_frame(frame);
    if (frame != run->frames) return;
    EXPECT_EQ(headless_save_state(run->last_state), nullptr);
    run->picture.assign(vdp_picture, vdp_picture + VDP_PICTURE_BYTES);
    const uint16_t* shown = headless_shown_buffer();
    run->screen.assign(shown, shown + DISPLAY_WIDTH * DISPLAY_HEIGHT);
    run->module_mapped = sgm.mapped;
    run->frames_counted = cpu_memory[0x7E00];
    run->steps_counted = cpu_memory[0x7E01];
    quit_request = 1;
}

// Plays `cartridge` (a file of `card`'s ROM folder) with `presses` for r.frames frames, from the
// game's start or from the record `load`, loaded before its first frame, as the runner loads one.
void play(GameRun& r, const std::string& card, const std::string& cartridge, const std::vector<ScriptedPress>& presses,
          const std::vector<uint8_t>& load = {}) {
    HeadlessConfig c = test_config(card);
    c.record_audio = true;
    c.presses = presses;
    c.load_state = load;
    c.on_frame_end = keep_frame;
    headless_reset(c);
    // Each run starts from the same pacing and skip phase, as a fresh program would.
    last_present_ms = last_present_sixtieths = 0;
    skip_countdown = 0;
    static std::vector<uint8_t> picture(VDP_PICTURE_BYTES);
    vdp_picture = picture.data();
    platform_init(1000, 16, 44100, 16, 2, 60, 1);
    screen_surface = Surface{display_drawing_pointer(), 0, 16, DISPLAY_WIDTH, DISPLAY_WIDTH, DISPLAY_HEIGHT};
    display_flip(0);
    mixer_reset();
    run = &r;
    audio_set_paused(0);
    EXPECT_EQ(run_cartridge(("/mnt/sd/roms/colecovision/" + cartridge).c_str()), 1);
    audio_set_paused(1);
    audio_wait_paused();
    r.sound = headless_audio();
    mixer_reset();
    release_machine();
    run = nullptr;
}

bool varies(const std::vector<int16_t>& s) {
    for (int16_t v : s)
        if (v != s.front()) return true;
    return false;
}

struct ExactCase {
    const char* cartridge;
    const char* buttons; // held across the save, so that the game's answer spans it
    uint32_t save_at, more;
    bool sounds; // the game sounds while it is compared
};

// Past the boot ROM's three-second title, into the games themselves.
constexpr ExactCase EXACT_CASES[] = {
    {"Bouncing balls.rom", "", 230, 97, false},
    // A tone, a scale note and the noise, held across the save; the rings move with the sticks.
    {"Controller and sound test.rom", "A+RIGHT:3700-4100, KEY5+P2DOWN:4050-4400, KEYSTAR:4350-4600, P2B:4500-4700", 240, 110, true},
    // The tune on three channels, the picture, then the bands and back.
    {"Graphics demo.rom", "KEY2:3900-4000, KEY1:4300-4400", 235, 101, true},
    // Banks, the module's RAM over the BIOS and the rest, its sound chip and a spinner turning
    // across the save, both ways.
    {VELKORO_MACHINE_TEST_ROMS "/everything.rom", "SPINR:1500-1900, SPINL:2000-2300", 102, 60, true},
};

TEST(StateRecord, LoadedGameGoesOnExactlyAsTheSavedOne) {
    for (const ExactCase& e : EXACT_CASES) {
        SCOPED_TRACE(e.cartridge);
        TempFolder card;
        std::string roms = card.rom_folder();
        write_file(roms + "/coleco.rom", read_file(built_rom("coleco.rom")));
        std::string source = e.cartridge[0] == '/' ? e.cartridge : built_rom(e.cartridge);
        write_file(roms + "/game.rom", read_file(source));
        std::vector<ScriptedPress> presses;
        std::string error;
        ASSERT_TRUE(parse_button_script(e.buttons, presses, error)) << error;

        GameRun whole;
        whole.frames = e.save_at + e.more;
        whole.save_at = e.save_at;
        play(whole, card.path, "game.rom", presses);
        ASSERT_EQ(whole.saved.size(), state_record_bytes());

        GameRun resumed;
        resumed.frames = e.more;
        play(resumed, card.path, "game.rom", presses, whole.saved);

        EXPECT_TRUE(resumed.last_state == whole.last_state) << "the machine's state differs at the end";
        EXPECT_TRUE(resumed.picture == whole.picture) << "the picture differs";
        EXPECT_TRUE(resumed.screen == whole.screen) << "the screen differs";
        std::vector<int16_t> tail(whole.sound.begin() + std::ptrdiff_t(whole.sound_at_save), whole.sound.end());
        ASSERT_GT(tail.size(), size_t(e.more - 2) * 735 * 2);
        EXPECT_TRUE(resumed.sound == tail) << "the sound differs: " << resumed.sound.size() << " samples after the load, "
                                           << tail.size() << " after the save";
        // Not vacuous: both the picture and the sound move during the frames compared.
        EXPECT_EQ(varies(tail), e.sounds);
        if (e.cartridge[0] == '/') {
            // Not vacuous either: the module's RAM is on in full, and the frames and the
            // spinner's steps were counted in it.
            EXPECT_EQ(whole.module_mapped, SGM_UPPER_RAM | SGM_BIOS_RAM);
            EXPECT_EQ(whole.frames_counted, uint8_t(e.save_at + e.more - 1));
            EXPECT_NE(whole.steps_counted, 0);
        }
        GameRun before;
        before.frames = e.save_at;
        play(before, card.path, "game.rom", presses);
        EXPECT_FALSE(before.picture == whole.picture);
    }
}

// --- Refusals ---

// The record's checksum made again over a changed record, so that a check behind it is reached.
void reseal(std::vector<uint8_t>& r) {
    uint64_t h = state_checksum(r.data(), r.size() - 8);
    for (int i = 0; i < 8; ++i) r[r.size() - 8 + i] = uint8_t(h >> (8 * i));
}

struct Refusal {
    const char* what;
    std::vector<uint8_t> (*make)(const std::vector<uint8_t>& good, const std::vector<uint8_t>& other_game);
    const char* const* reason;
};

const Refusal REFUSALS[] = {
    {"empty", [](const auto&, const auto&) { return std::vector<uint8_t>{}; }, &STATE_NOT_A_STATE},
    {"another kind of file", [](const auto&, const auto&) { return std::vector<uint8_t>{0x89, 'P', 'N', 'G', 0, 0}; },
     &STATE_NOT_A_STATE},
    {"header cut short", [](const auto& g, const auto&) { return std::vector<uint8_t>(g.begin(), g.begin() + 20); },
     &STATE_TRUNCATED},
    {"another format version",
     [](const auto& g, const auto&) {
         auto r = g;
         r[4] = uint8_t(STATE_VERSION + 1);
         reseal(r);
         return r;
     },
     &STATE_OTHER_VERSION},
    {"last byte missing", [](const auto& g, const auto&) { return std::vector<uint8_t>(g.begin(), g.end() - 1); },
     &STATE_TRUNCATED},
    {"a byte too many",
     [](const auto& g, const auto&) {
         auto r = g;
         r.push_back(0);
         return r;
     },
     &STATE_TOO_LONG},
    {"a byte of video memory changed",
     [](const auto& g, const auto&) {
         auto r = g;
         r[r.size() / 2] ^= 0x10;
         return r;
     },
     &STATE_CORRUPT},
    {"size field lies",
     [](const auto& g, const auto&) {
         auto r = g;
         r[8] ^= 4;
         reseal(r);
         return r;
     },
     &STATE_CORRUPT},
    {"frame driver mid-frame",
     [](const auto& g, const auto&) {
         auto r = g;
         r[40] = 100; // the driver's line, the body's first byte
         reseal(r);
         return r;
     },
     &STATE_CORRUPT},
    {"another cartridge", [](const auto&, const auto& other) { return other; }, &STATE_OTHER_CARTRIDGE},
    {"another BIOS",
     [](const auto& g, const auto&) {
         auto r = g;
         r[24] ^= 1; // the BIOS's hash
         reseal(r);
         return r;
     },
     &STATE_OTHER_BIOS},
};

std::vector<uint8_t> other_game_record;

void try_refusals(uint32_t frame) {
    if (frame != 100) return;
    std::vector<uint8_t> good, before, after;
    ASSERT_EQ(headless_save_state(good), nullptr);
    ASSERT_EQ(good.size(), state_record_bytes());
    for (const Refusal& f : REFUSALS) {
        SCOPED_TRACE(f.what);
        ASSERT_EQ(headless_save_state(before), nullptr);
        EXPECT_STREQ(headless_load_state(f.make(good, other_game_record)), *f.reason);
        ASSERT_EQ(headless_save_state(after), nullptr);
        EXPECT_TRUE(before == after) << "a refused record changed the machine";
    }
    // And the good record loads (the frames count afresh from it: the game ends here).
    EXPECT_EQ(headless_load_state(good), nullptr);
    quit_request = 1;
}

void keep_other_game(uint32_t frame) {
    if (frame == 20) {
        EXPECT_EQ(headless_save_state(other_game_record), nullptr);
    }
}

TEST(StateRecord, BadRecordsAreRefusedAndChangeNothing) {
    TempFolder card;
    std::string roms = card.rom_folder();
    write_file(roms + "/coleco.rom", read_file(built_rom("coleco.rom")));
    write_file(roms + "/balls.rom", read_file(built_rom("Bouncing balls.rom")));
    write_file(roms + "/test.rom", read_file(built_rom("Controller and sound test.rom")));
    GameRun other;
    other.frames = 20;
    other.at_frame = keep_other_game;
    play(other, card.path, "test.rom", {});
    ASSERT_FALSE(other_game_record.empty());

    GameRun r;
    r.frames = 101;
    r.at_frame = try_refusals;
    play(r, card.path, "balls.rom", {});

    // Outside a game nothing is saved or loaded.
    std::vector<uint8_t> none;
    EXPECT_STREQ(headless_save_state(none), STATE_NO_GAME);
    EXPECT_STREQ(headless_load_state(other_game_record), STATE_NO_GAME);
}

} // namespace
