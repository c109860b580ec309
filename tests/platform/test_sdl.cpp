// The PC back end on SDL's dummy drivers (no display): the keyboard's and the game controllers'
// mapping to both console controllers, the picture's place in the window, the audio device's
// pause, and leaving by closing the window.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "cpu/z80.h"
#include "machine/driver.h"
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

// --- The keyboard ---

struct Keys {
    uint8_t state[SDL_NUM_SCANCODES] = {};
    Keys(std::initializer_list<SDL_Scancode> held) {
        for (SDL_Scancode k : held) state[k] = 1;
    }
};

TEST(SdlKeyboard, FirstPlayerKeysGiveTheHandheldsButtons) {
    struct Case {
        SDL_Scancode key;
        uint16_t word;
    };
    const Case cases[] = {
        {SDL_SCANCODE_UP, BTN_UP},         {SDL_SCANCODE_DOWN, BTN_DOWN},
        {SDL_SCANCODE_LEFT, BTN_LEFT},     {SDL_SCANCODE_RIGHT, BTN_RIGHT},
        {SDL_SCANCODE_LCTRL, BTN_A},       {SDL_SCANCODE_Z, BTN_A},
        {SDL_SCANCODE_LALT, BTN_B},        {SDL_SCANCODE_X, BTN_B},
        {SDL_SCANCODE_LSHIFT, BTN_X},      {SDL_SCANCODE_C, BTN_X},
        {SDL_SCANCODE_SPACE, BTN_Y},       {SDL_SCANCODE_V, BTN_Y},
        {SDL_SCANCODE_Q, BTN_L},           {SDL_SCANCODE_W, BTN_R},
        {SDL_SCANCODE_RETURN, BTN_START},  {SDL_SCANCODE_BACKSPACE, BTN_SELECT},
        {SDL_SCANCODE_ESCAPE, BTN_SELECT},
    };
    for (const Case& c : cases) {
        Keys k{c.key};
        EXPECT_EQ(keyboard_buttons(k.state, 0), c.word) << SDL_GetScancodeName(c.key);
        // None of them is the second player's.
        EXPECT_EQ(keyboard_buttons(k.state, 1), 0) << SDL_GetScancodeName(c.key);
    }
    Keys chord{SDL_SCANCODE_UP, SDL_SCANCODE_LEFT, SDL_SCANCODE_Z, SDL_SCANCODE_X};
    EXPECT_EQ(keyboard_buttons(chord.state, 0), BTN_UP | BTN_LEFT | BTN_A | BTN_B);
    // Keys of no meaning give nothing.
    Keys other{SDL_SCANCODE_F, SDL_SCANCODE_RCTRL, SDL_SCANCODE_TAB, SDL_SCANCODE_F11};
    EXPECT_EQ(keyboard_buttons(other.state, 0), 0);
    EXPECT_EQ(keyboard_keypad(other.state, 0, true), KEYPAD_NONE);
}

TEST(SdlKeyboard, SecondPlayerOnTheRightHand) {
    Keys k{SDL_SCANCODE_I, SDL_SCANCODE_L, SDL_SCANCODE_U};
    EXPECT_EQ(keyboard_buttons(k.state, 1), BTN_UP | BTN_RIGHT | BTN_A);
    EXPECT_EQ(keyboard_buttons(k.state, 0), 0);
    Keys k2{SDL_SCANCODE_K, SDL_SCANCODE_J, SDL_SCANCODE_O};
    EXPECT_EQ(keyboard_buttons(k2.state, 1), BTN_DOWN | BTN_LEFT | BTN_B);
}

TEST(SdlKeyboard, KeypadsOfBothControllers) {
    // The number row, '*' on minus and '#' on equals: the first controller's keypad only.
    const SDL_Scancode row[12] = {SDL_SCANCODE_0, SDL_SCANCODE_1, SDL_SCANCODE_2,     SDL_SCANCODE_3,
                                  SDL_SCANCODE_4, SDL_SCANCODE_5, SDL_SCANCODE_6,     SDL_SCANCODE_7,
                                  SDL_SCANCODE_8, SDL_SCANCODE_9, SDL_SCANCODE_MINUS, SDL_SCANCODE_EQUALS};
    const SDL_Scancode pad[12] = {SDL_SCANCODE_KP_0, SDL_SCANCODE_KP_1,        SDL_SCANCODE_KP_2,
                                  SDL_SCANCODE_KP_3, SDL_SCANCODE_KP_4,        SDL_SCANCODE_KP_5,
                                  SDL_SCANCODE_KP_6, SDL_SCANCODE_KP_7,        SDL_SCANCODE_KP_8,
                                  SDL_SCANCODE_KP_9, SDL_SCANCODE_KP_MULTIPLY, SDL_SCANCODE_KP_DIVIDE};
    for (uint8_t i = 0; i < 12; ++i) {
        Keys r{row[i]};
        EXPECT_EQ(keyboard_keypad(r.state, 0, true), i);
        EXPECT_EQ(keyboard_keypad(r.state, 1, true), KEYPAD_NONE);
        EXPECT_EQ(keyboard_buttons(r.state, 0), 0);
        // The numeric keypad: the first controller's, and the second's while no second game
        // controller is there.
        Keys p{pad[i]};
        EXPECT_EQ(keyboard_keypad(p.state, 0, true), i);
        EXPECT_EQ(keyboard_keypad(p.state, 1, true), i);
        EXPECT_EQ(keyboard_keypad(p.state, 0, false), i);
        EXPECT_EQ(keyboard_keypad(p.state, 1, false), KEYPAD_NONE);
    }
    // The number row wins over the numeric keypad for the first controller.
    Keys both{SDL_SCANCODE_3, SDL_SCANCODE_KP_8};
    EXPECT_EQ(keyboard_keypad(both.state, 0, true), 3);
    EXPECT_EQ(keyboard_keypad(both.state, 1, true), 8);
}

TEST(SdlGamepad, ButtonsByPlaceAndTheStick) {
    GamepadState s{};
    EXPECT_EQ(gamepad_buttons(s), 0);
    auto with = [](SDL_GameControllerButton b) {
        GamepadState p{};
        p.buttons[b] = true;
        return gamepad_buttons(p);
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
    EXPECT_EQ(gamepad_buttons(s), BTN_LEFT | BTN_DOWN);
    s.stick_x = 32767;
    s.stick_y = -32768;
    EXPECT_EQ(gamepad_buttons(s), BTN_RIGHT | BTN_UP);
    s.stick_x = 16000;
    s.stick_y = -16000;
    EXPECT_EQ(gamepad_buttons(s), 0);
}

TEST(SdlWindow, PictureFillsTheWindowWithItsShapeCentred) {
    auto rect = [](int w, int h, bool game) {
        SdlRect r = sdl_picture_rect(w, h, game);
        return std::vector<int>{r.x, r.y, r.w, r.h};
    };
    // The whole screen at whole scales, and in windows of other shapes with black bars.
    EXPECT_EQ(rect(960, 720, false), (std::vector<int>{0, 0, 960, 720}));
    EXPECT_EQ(rect(1280, 720, false), (std::vector<int>{160, 0, 960, 720}));
    EXPECT_EQ(rect(400, 600, false), (std::vector<int>{0, 150, 400, 300}));
    // A game's 272 x 208 picture fills as much of the window as its shape allows.
    EXPECT_EQ(rect(544, 416, true), (std::vector<int>{0, 0, 544, 416}));
    EXPECT_EQ(rect(640, 480, true), (std::vector<int>{6, 0, 628, 480}));
    EXPECT_EQ(rect(1920, 1080, true), (std::vector<int>{254, 0, 1412, 1080}));
    EXPECT_EQ(rect(0, 0, true).size(), 4u);
}

// --- The back end running, on the dummy drivers ---

struct SdlRunning : ::testing::Test {
    static void SetUpTestSuite() {
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

TEST_F(SdlRunning, F11AndAltEnterSwitchFullscreen) {
    auto press = [](SDL_Scancode key, uint16_t mod, uint8_t repeat = 0) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.keysym.scancode = key;
        e.key.keysym.mod = mod;
        e.key.repeat = repeat;
        SDL_PushEvent(&e);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        sdl_service();
        return sdl_window_fullscreen();
    };
    ASSERT_FALSE(sdl_window_fullscreen());
    EXPECT_TRUE(press(SDL_SCANCODE_F11, 0));
    EXPECT_TRUE(press(SDL_SCANCODE_F11, 0, 1)); // a held key's repeats do nothing
    EXPECT_FALSE(press(SDL_SCANCODE_F11, 0));
    EXPECT_FALSE(press(SDL_SCANCODE_RETURN, 0)); // Enter alone is START
    EXPECT_TRUE(press(SDL_SCANCODE_RETURN, KMOD_LALT));
    EXPECT_FALSE(press(SDL_SCANCODE_RETURN, KMOD_RALT));
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
