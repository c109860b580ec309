// The PC back end on SDL's dummy drivers (no display): the keyboard's and the game controllers'
// mapping to both console controllers, short presses, the pause, fullscreen, dropped cartridges,
// the picture's place in the window, the audio device's pause, and leaving by closing the
// window.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

#include "cpu/z80.h"
#include "machine/driver.h"
#include "machine/loader.h"
#include "machine/play.h"
#include "machine/ports.h"
#include "platform/platform.h"
#include "platform/sdl/sdl.h"
#include "sound/psg.h"

namespace {

// SDL's drivers that need no display and no sound device, and game controllers that count while
// the (invisible) window has no focus; set before SDL starts.
const bool dummy_drivers = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS", "1", 0);
    return true;
}();

// The built-in controls (the settings' record is set at run time, never before main).
void use_default_controls() {
    sdl_settings = default_settings();
    sdl_bind_keys();
}

// --- The keyboard ---

struct Keys {
    uint8_t state[SDL_NUM_SCANCODES] = {};
    Keys(std::initializer_list<SDL_Scancode> held) {
        for (SDL_Scancode k : held) state[k] = 1;
    }
};

struct SdlKeyboard : ::testing::Test {
    void SetUp() override { use_default_controls(); }
};
using SdlGamepad = SdlKeyboard;

TEST_F(SdlKeyboard, KeysOfBothPlayers) {
    struct Case {
        SDL_Scancode key;
        uint16_t first, second;
        uint8_t keypad1, keypad2;
    };
    constexpr uint8_t N = KEYPAD_NONE;
    const Case cases[] = {
        // The letters of the prompts are the buttons of those names.
        {SDL_SCANCODE_A, BTN_A, 0, N, N},
        {SDL_SCANCODE_B, BTN_B, 0, N, N},
        {SDL_SCANCODE_X, BTN_X, 0, N, N},
        {SDL_SCANCODE_Y, BTN_Y, 0, N, N},
        // Keys for the left hand, the arrows, the shoulders, START and SELECT.
        {SDL_SCANCODE_Z, BTN_A, 0, N, N},
        {SDL_SCANCODE_LCTRL, BTN_A, 0, N, N},
        {SDL_SCANCODE_SPACE, BTN_B, 0, N, N},
        {SDL_SCANCODE_LSHIFT, BTN_X, 0, N, N},
        {SDL_SCANCODE_UP, BTN_UP, 0, N, N},
        {SDL_SCANCODE_DOWN, BTN_DOWN, 0, N, N},
        {SDL_SCANCODE_LEFT, BTN_LEFT, 0, N, N},
        {SDL_SCANCODE_RIGHT, BTN_RIGHT, 0, N, N},
        {SDL_SCANCODE_Q, BTN_L, 0, N, N},
        {SDL_SCANCODE_W, BTN_R, 0, N, N},
        {SDL_SCANCODE_RETURN, BTN_START, 0, N, N},
        {SDL_SCANCODE_BACKSPACE, BTN_SELECT, 0, N, N},
        // The second player on the right hand.
        {SDL_SCANCODE_I, 0, BTN_UP, N, N},
        {SDL_SCANCODE_K, 0, BTN_DOWN, N, N},
        {SDL_SCANCODE_J, 0, BTN_LEFT, N, N},
        {SDL_SCANCODE_L, 0, BTN_RIGHT, N, N},
        {SDL_SCANCODE_U, 0, BTN_A, N, N},
        {SDL_SCANCODE_O, 0, BTN_B, N, N},
        // The number row is the first keypad, the numeric keypad the second, each alone.
        {SDL_SCANCODE_0, 0, 0, 0, N},
        {SDL_SCANCODE_9, 0, 0, 9, N},
        {SDL_SCANCODE_MINUS, 0, 0, 10, N},
        {SDL_SCANCODE_EQUALS, 0, 0, 11, N},
        {SDL_SCANCODE_KP_0, 0, 0, N, 0},
        {SDL_SCANCODE_KP_7, 0, 0, N, 7},
        {SDL_SCANCODE_KP_MULTIPLY, 0, 0, N, 10},
        {SDL_SCANCODE_KP_DIVIDE, 0, 0, N, 11},
        // Escape pauses and Alt is the window's: neither is a button. The keys kept for other
        // uses give nothing either.
        {SDL_SCANCODE_ESCAPE, 0, 0, N, N},
        {SDL_SCANCODE_LALT, 0, 0, N, N},
        {SDL_SCANCODE_F10, 0, 0, N, N},
        {SDL_SCANCODE_COMMA, 0, 0, N, N},
        {SDL_SCANCODE_PERIOD, 0, 0, N, N},
        {SDL_SCANCODE_N, 0, 0, N, N},
        {SDL_SCANCODE_M, 0, 0, N, N},
        {SDL_SCANCODE_P, 0, 0, N, N},
        {SDL_SCANCODE_TAB, 0, 0, N, N},
        {SDL_SCANCODE_F1, 0, 0, N, N},
        {SDL_SCANCODE_F12, 0, 0, N, N},
    };
    for (const Case& c : cases) {
        Keys k{c.key};
        const char* name = SDL_GetScancodeName(c.key);
        EXPECT_EQ(keyboard_buttons(k.state, 0), c.first) << name;
        EXPECT_EQ(keyboard_buttons(k.state, 1), c.second) << name;
        EXPECT_EQ(keyboard_keypad(k.state, 0), c.keypad1) << name;
        EXPECT_EQ(keyboard_keypad(k.state, 1), c.keypad2) << name;
    }
    Keys chord{SDL_SCANCODE_UP, SDL_SCANCODE_LEFT, SDL_SCANCODE_A, SDL_SCANCODE_B, SDL_SCANCODE_I};
    EXPECT_EQ(keyboard_buttons(chord.state, 0), BTN_UP | BTN_LEFT | BTN_A | BTN_B);
    EXPECT_EQ(keyboard_buttons(chord.state, 1), BTN_UP);
}

TEST_F(SdlKeyboard, NoDefaultKeyIsBoundTwice) {
    // A key bound twice would do only one of its jobs: every default key has its own control.
    int bindings = 0, bound = 0;
    for (int c = 0; c < CONTROL_COUNT; ++c) bindings += int(sdl_settings.keys[c].size());
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) bound += key_control(sc) >= 0;
    EXPECT_EQ(bound, bindings);
    EXPECT_GE(bindings, 40);
}

// Spinner keys turn at a steady rate; the mouse counts only while F10 has given it to the window.
TEST(SdlSpinners, KeysAndTheHeldMouse) {
    EXPECT_EQ(spinner_key_steps(Keys({SDL_SCANCODE_PERIOD}).state, 0), SPINNER_KEY_STEPS);
    EXPECT_EQ(spinner_key_steps(Keys({SDL_SCANCODE_COMMA}).state, 0), -SPINNER_KEY_STEPS);
    EXPECT_EQ(spinner_key_steps(Keys({SDL_SCANCODE_M}).state, 1), SPINNER_KEY_STEPS);
    EXPECT_EQ(spinner_key_steps(Keys({SDL_SCANCODE_N}).state, 1), -SPINNER_KEY_STEPS);
    EXPECT_EQ(spinner_key_steps(Keys({SDL_SCANCODE_N, SDL_SCANCODE_M}).state, 0), 0);

    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.xrel = 10;
    SDL_Event f10{};
    f10.type = SDL_KEYDOWN;
    f10.key.keysym.scancode = SDL_SCANCODE_F10;
    f10.key.keysym.sym = SDLK_F10;
    sdl_spinner_event(motion);
    EXPECT_EQ(read_spinner(0), 0) << "the window does not hold the mouse";
    sdl_spinner_event(f10);
    ASSERT_TRUE(sdl_spinner_has_mouse());
    sdl_spinner_event(motion);
    motion.motion.xrel = 11;
    sdl_spinner_event(motion);
    EXPECT_EQ(read_spinner(1), 0) << "the mouse is the first player's";
    EXPECT_EQ(read_spinner(0), 5); // 21 pixels, 4 a step
    motion.motion.xrel = 3;
    sdl_spinner_event(motion);
    EXPECT_EQ(read_spinner(0), 1) << "the pixel left over counts on";
    motion.motion.xrel = -8;
    sdl_spinner_event(motion);
    EXPECT_EQ(read_spinner(0), -2);
    sdl_spinner_event(f10);
    EXPECT_FALSE(sdl_spinner_has_mouse());
}

TEST_F(SdlGamepad, ButtonsByPlaceAndTheStick) {
    GamepadState s{};
    EXPECT_EQ(gamepad_buttons(s, 1), 0);
    auto with = [](SDL_GameControllerButton b) {
        GamepadState p{};
        p.buttons[b] = true;
        return gamepad_buttons(p, 0);
    };
    EXPECT_EQ(with(SDL_CONTROLLER_BUTTON_X), BTN_A); // left
    EXPECT_EQ(with(SDL_CONTROLLER_BUTTON_B), BTN_B); // right
    EXPECT_EQ(with(SDL_CONTROLLER_BUTTON_A), BTN_X); // bottom
    EXPECT_EQ(with(SDL_CONTROLLER_BUTTON_Y), BTN_Y); // top
    EXPECT_EQ(with(SDL_CONTROLLER_BUTTON_LEFTSHOULDER), BTN_L);
    EXPECT_EQ(with(SDL_CONTROLLER_BUTTON_RIGHTSHOULDER), BTN_R);
    EXPECT_EQ(with(SDL_CONTROLLER_BUTTON_START), BTN_START);
    EXPECT_EQ(with(SDL_CONTROLLER_BUTTON_BACK), BTN_SELECT);
    EXPECT_EQ(with(SDL_CONTROLLER_BUTTON_DPAD_UP), BTN_UP);
    EXPECT_EQ(with(SDL_CONTROLLER_BUTTON_DPAD_DOWN), BTN_DOWN);
    EXPECT_EQ(with(SDL_CONTROLLER_BUTTON_DPAD_LEFT), BTN_LEFT);
    EXPECT_EQ(with(SDL_CONTROLLER_BUTTON_DPAD_RIGHT), BTN_RIGHT);
    EXPECT_EQ(with(SDL_CONTROLLER_BUTTON_GUIDE), 0);
    // The left stick counts from half way, diagonals included.
    s.stick_x = -16384;
    s.stick_y = 16384;
    EXPECT_EQ(gamepad_buttons(s, 1), BTN_LEFT | BTN_DOWN);
    s.stick_x = 32767;
    s.stick_y = -32768;
    EXPECT_EQ(gamepad_buttons(s, 1), BTN_RIGHT | BTN_UP);
    s.stick_x = 16000;
    s.stick_y = -16000;
    EXPECT_EQ(gamepad_buttons(s, 1), 0);
}

TEST(SdlWindow, PictureRectangles) {
    auto rect = [](int w, int h, bool game, bool whole) {
        SdlRect r = sdl_picture_rect(w, h, game, whole);
        return std::vector<int>{r.x, r.y, r.w, r.h};
    };
    using V = std::vector<int>;
    // Whole multiples: the largest that fits, centred, so every console pixel is as wide as the
    // next (in 640 x 480 a game is twice its size, not 2.3 times).
    EXPECT_EQ(rect(960, 720, false, true), (V{0, 0, 960, 720}));
    EXPECT_EQ(rect(1280, 720, false, true), (V{160, 0, 960, 720}));
    EXPECT_EQ(rect(639, 479, false, true), (V{159, 119, 320, 240}));
    EXPECT_EQ(rect(640, 480, true, true), (V{48, 32, 544, 416}));
    EXPECT_EQ(rect(1920, 1080, true, true), (V{280, 20, 1360, 1040}));
    // Smaller than the picture itself: it shrinks with its shape rather than vanish.
    EXPECT_EQ(rect(160, 240, false, true), (V{0, 60, 160, 120}));
    // Filling: as much of the window as the picture's shape allows.
    EXPECT_EQ(rect(1280, 720, false, false), (V{160, 0, 960, 720}));
    EXPECT_EQ(rect(400, 600, false, false), (V{0, 150, 400, 300}));
    EXPECT_EQ(rect(640, 480, true, false), (V{6, 0, 628, 480}));
    EXPECT_EQ(rect(1920, 1080, true, false), (V{254, 0, 1412, 1080}));
    EXPECT_EQ(rect(0, 0, true, true).size(), 4u);
}

// --- The back end running, on the dummy drivers ---

struct SdlRunning : ::testing::Test {
    static void SetUpTestSuite() {
        use_default_controls();
        sdl_config.card_folder = "/tmp";
        std::string error;
        ASSERT_TRUE(sdl_open_video(error)) << error;
        platform_init(1000, 16, 44100, 16, 2, 60, 1);
    }
};

// A virtual game controller of SDL's own, with the standard buttons and axes.
SDL_Joystick* attach_pad() {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    // Every button and axis, in SDL's own order.
    desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
    desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    int index = SDL_JoystickAttachVirtualEx(&desc);
    EXPECT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* j = SDL_JoystickOpen(index);
    EXPECT_NE(j, nullptr) << SDL_GetError();
    return j;
}

void settle() {
    // Lets SDL see the virtual devices' changes and the back end handle its events.
    for (int i = 0; i < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        SDL_JoystickUpdate();
        sdl_service();
    }
}

TEST_F(SdlRunning, GameControllersDriveBothConsoleControllers) {
    SDL_Joystick* first = attach_pad();
    settle();
    ASSERT_EQ(sdl_gamepad_count(), 1);
    SDL_JoystickSetVirtualButton(first, SDL_CONTROLLER_BUTTON_X, 1);
    SDL_JoystickSetVirtualAxis(first, SDL_CONTROLLER_AXIS_LEFTX, -32768);
    settle();
    EXPECT_EQ(read_pad(), BTN_A | BTN_LEFT);
    EXPECT_EQ(read_second_pad(), 0);

    SDL_Joystick* second = attach_pad();
    settle();
    ASSERT_EQ(sdl_gamepad_count(), 2);
    SDL_JoystickSetVirtualButton(second, SDL_CONTROLLER_BUTTON_B, 1);
    SDL_JoystickSetVirtualButton(second, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1);
    SDL_JoystickSetVirtualButton(second, SDL_CONTROLLER_BUTTON_BACK, 1);
    settle();
    EXPECT_EQ(read_pad(), BTN_A | BTN_LEFT);
    EXPECT_EQ(read_second_pad(), BTN_B | BTN_DOWN | BTN_SELECT);

    // Through the controller mapping to what the console reads: joystick mode, then keypad mode.
    controller_mode = 1;
    quit_request = 0;
    poll_controllers();
    EXPECT_EQ(cpu_in(0xFC), 0x37); // left and fire
    EXPECT_EQ(cpu_in(0xFF), 0x7B); // down
    EXPECT_EQ(quit_request, 0);    // the second player's Back does not end the game
    controller_mode = 0;
    EXPECT_EQ(cpu_in(0xFF), 0x3F); // keypad-side fire (B), no key

    // The first controller goes: the second becomes the first player.
    SDL_JoystickClose(first);
    SDL_JoystickDetachVirtual(0);
    settle();
    ASSERT_EQ(sdl_gamepad_count(), 1);
    EXPECT_EQ(read_pad(), BTN_B | BTN_DOWN | BTN_SELECT);
    EXPECT_EQ(read_second_pad(), 0);
    SDL_JoystickClose(second);
    SDL_JoystickDetachVirtual(0);
    settle();
    EXPECT_EQ(sdl_gamepad_count(), 0);
    EXPECT_EQ(read_pad(), 0);
}

TEST_F(SdlRunning, WaitsSleepAndKeepTheirTime) {
    // A busy wait on the clock, as the frame pacing and the menus make, keeps its time, but each
    // look that follows another within a millisecond sleeps first: a wait of 200 ms goes round a
    // few hundred times at most, where a spinning one would go round hundreds of thousands.
    uint32_t t0 = timer_ticks();
    int rounds = 0;
    while (timer_ticks() - t0 < 200) {
        read_pad();
        ++rounds;
    }
    uint32_t waited = timer_ticks() - t0;
    // (Upper bounds leave room for a busy host.)
    EXPECT_GE(waited, 200u);
    EXPECT_LE(waited, 600u);
    EXPECT_LE(rounds, 200);
    t0 = timer_ticks();
    timer_delay(50);
    EXPECT_GE(timer_ticks() - t0, 50u);
    EXPECT_LE(timer_ticks() - t0, 450u);
}

TEST_F(SdlRunning, NoFillWhilePaused) {
    // Channel 0 plays; the count of rendered samples is read only while no fill runs.
    mixer_set_channel(0, 440 * PSG_FREQUENCY_SCALE, PSG_FULL_LEVEL);
    audio_set_paused(1);
    audio_wait_paused();
    uint32_t before = mixer.samples_made;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    audio_wait_paused();
    EXPECT_EQ(mixer.samples_made, before);
    // Resumed, the device fills again (give a busy host up to two seconds).
    uint32_t after = before;
    for (int i = 0; i < 40 && after == before; ++i) {
        audio_set_paused(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        audio_set_paused(1);
        audio_wait_paused();
        after = mixer.samples_made;
    }
    EXPECT_NE(after, before);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    audio_wait_paused();
    EXPECT_EQ(mixer.samples_made, after);
    mixer_reset();
}

SDL_Event key_event(Uint32 type, SDL_Scancode key, uint16_t mod = 0, uint8_t repeat = 0) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.scancode = key;
    e.key.keysym.mod = mod;
    e.key.repeat = repeat;
    return e;
}

// Hands the back end an event as the window would, and lets it handle it.
void push(SDL_Event e) {
    SDL_PushEvent(&e);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    sdl_service();
}

TEST_F(SdlRunning, F11AndAltEnterSwitchFullscreenAndPressNothingElse) {
    auto press = [](SDL_Scancode key, uint16_t mod, uint8_t repeat = 0) {
        push(key_event(SDL_KEYDOWN, key, mod, repeat));
        return sdl_window_fullscreen();
    };
    ASSERT_FALSE(sdl_window_fullscreen());
    EXPECT_TRUE(press(SDL_SCANCODE_F11, 0));
    EXPECT_TRUE(press(SDL_SCANCODE_F11, 0, 1)); // a held key's repeats do nothing
    EXPECT_FALSE(press(SDL_SCANCODE_F11, 0));
    EXPECT_FALSE(press(SDL_SCANCODE_RETURN, 0)); // Enter alone is START
    EXPECT_EQ(read_pad(), BTN_START);
    EXPECT_TRUE(press(SDL_SCANCODE_RETURN, KMOD_LALT));
    EXPECT_EQ(read_pad(), 0);
    EXPECT_FALSE(press(SDL_SCANCODE_RETURN, KMOD_RALT));
    EXPECT_EQ(read_pad(), 0);
    push(key_event(SDL_KEYUP, SDL_SCANCODE_RETURN));
}

TEST_F(SdlRunning, APressAndReleaseWithinOneFrameCountsForThatFrame) {
    // Both events arrive before the frame's read: the read sees the control held, the next one
    // does not. Every kind of control: a button, a keypad key of each player, a game controller.
    for (SDL_Scancode key : {SDL_SCANCODE_RIGHT, SDL_SCANCODE_B, SDL_SCANCODE_I}) {
        push(key_event(SDL_KEYDOWN, key));
        push(key_event(SDL_KEYUP, key));
        const uint16_t first = read_pad(), second = read_second_pad();
        EXPECT_NE(first | second, 0) << SDL_GetScancodeName(key);
        EXPECT_EQ(read_pad() | read_second_pad(), 0) << SDL_GetScancodeName(key);
    }
    push(key_event(SDL_KEYDOWN, SDL_SCANCODE_KP_5));
    push(key_event(SDL_KEYUP, SDL_SCANCODE_KP_5));
    push(key_event(SDL_KEYDOWN, SDL_SCANCODE_3));
    push(key_event(SDL_KEYUP, SDL_SCANCODE_3));
    read_pad();
    EXPECT_EQ(read_keypad(0), 3);
    EXPECT_EQ(read_keypad(1), 5);
    read_pad();
    EXPECT_EQ(read_keypad(0), KEYPAD_NONE);
    EXPECT_EQ(read_keypad(1), KEYPAD_NONE);

    SDL_Joystick* pad = attach_pad();
    settle();
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_X, 1);
    SDL_JoystickUpdate();
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_X, 0);
    settle();
    EXPECT_EQ(read_pad(), BTN_A);
    EXPECT_EQ(read_pad(), 0);
    SDL_JoystickClose(pad);
    SDL_JoystickDetachVirtual(0);
    settle();
}

// Escape in a game, then `answer` once the pause has begun; what the game reads next.
uint16_t pause_and_answer(SDL_Scancode answer) {
    push(key_event(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE));
    std::thread other([answer] {
        for (int i = 0; i < 500 && !sdl_paused(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        SDL_Event e = key_event(SDL_KEYDOWN, answer);
        SDL_PushEvent(&e);
    });
    platform_frame_end(); // the pause holds the game here
    other.join();
    EXPECT_FALSE(sdl_paused());
    return read_pad();
}

TEST_F(SdlRunning, EscapePausesAGameAndASecondEscapeLeavesIt) {
    display_show_game(1);
    EXPECT_EQ(pause_and_answer(SDL_SCANCODE_RIGHT), 0); // plays on; the key goes no further
    EXPECT_EQ(pause_and_answer(SDL_SCANCODE_ESCAPE), BTN_SELECT);
    EXPECT_EQ(read_pad(), 0);
    EXPECT_EQ(pause_and_answer(SDL_SCANCODE_BACKSPACE), BTN_SELECT);
    // Outside a game Escape does nothing.
    display_show_game(0);
    push(key_event(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE));
    platform_frame_end();
    EXPECT_EQ(read_pad(), 0);
}

TEST_F(SdlRunning, ADroppedCartridgeEndsTheGameAndIsOpenedWithItsBios) {
    char folder[] = "/tmp/velkoro-drop-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string cart = std::string(folder) + "/game.rom", bios = std::string(folder) + "/COLECO.ROM";
    for (const std::string& f : {cart, bios}) std::fclose(std::fopen(f.c_str(), "w"));

    std::snprintf(cartridge_path, sizeof cartridge_path, "/mnt/sd/roms/colecovision/pads.rom");
    display_show_game(1);
    EXPECT_EQ(sdl_window_title(), "Velkoro - pads.rom");
    SDL_Event e{};
    e.type = SDL_DROPFILE;
    e.drop.file = SDL_strdup(cart.c_str());
    push(e);
    EXPECT_EQ(read_pad(), BTN_SELECT);
    display_show_game(0);
    EXPECT_EQ(sdl_window_title(), "Velkoro");
    char got_cart[PATH_BUFFER_BYTES], got_bios[PATH_BUFFER_BYTES];
    ASSERT_TRUE(platform_take_cartridge(got_cart, got_bios, sizeof got_cart));
    EXPECT_EQ(std::string(got_cart), cart);
    EXPECT_EQ(std::string(got_bios), bios);
    EXPECT_FALSE(platform_take_cartridge(got_cart, got_bios, sizeof got_cart));
    for (const std::string& f : {cart, bios}) std::remove(f.c_str());
    rmdir(folder);
}

TEST_F(SdlRunning, ClosingTheWindowEndsTheProgramNormally) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SDL_Event e{};
            e.type = SDL_QUIT;
            SDL_PushEvent(&e);
            timer_ticks();
            std::exit(3); // not reached when the close was seen
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            SDL_Event e{};
            e.type = SDL_WINDOWEVENT;
            e.window.event = SDL_WINDOWEVENT_CLOSE;
            SDL_PushEvent(&e);
            read_pad();
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
