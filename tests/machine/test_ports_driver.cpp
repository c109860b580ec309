// The port map, the controllers in both modes, and the frame driver: slices and cycles of a
// frame, frame skip, the interrupt decision and SELECT ending the game.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "cpu/z80.h"
#include "frontend/surface.h"
#include "machine/driver.h"
#include "machine/ports.h"
#include "platform/platform.h"
#include "sound/ay.h"
#include "sound/psg.h"
#include "tests/support/test_support.h"
#include "tests/support/video_memories.h"
#include "video/vdp.h"

namespace {

struct Machine : ::testing::Test {
    std::vector<uint8_t> vram = std::vector<uint8_t>(VDP_VRAM_BYTES, 0);
    std::vector<uint8_t> picture = std::vector<uint8_t>(VDP_PICTURE_BYTES, 0xEE);
    Z80State z{};
    uint8_t saved_skip = frame_skip;
    void SetUp() override {
        hold(0);
        attach_video_memories(vram.data(), picture.data());
        controller_mode = 0;
        controller_words[0] = controller_words[1] = 0xFFFF;
        scanline = 0;
        skip_countdown = 0;
        quit_request = 0;
    }
    void TearDown() override {
        frame_skip = saved_skip;
        detach_video_memories();
    }
    // Resets the headless back end with `mask` held throughout (and what a PC adds: the second
    // player's buttons, keypad keys of either controller).
    void hold(uint16_t mask, uint16_t second = 0, uint8_t key = KEYPAD_NONE,
              uint8_t second_key = KEYPAD_NONE) {
        HeadlessConfig c = test_config("");
        c.presses.push_back({mask, 0, 0xFFFFFFFFu, second, key, second_key});
        headless_reset(c);
    }
    uint8_t read_with(uint16_t mask, uint16_t port) {
        hold(mask);
        poll_controllers();
        return cpu_in(port);
    }
    // Both controllers' reads after a poll with the given controls held.
    std::pair<uint8_t, uint8_t> read_both(uint16_t mask, uint16_t second, uint8_t key = KEYPAD_NONE,
                                          uint8_t second_key = KEYPAD_NONE) {
        hold(mask, second, key, second_key);
        poll_controllers();
        return {cpu_in(0xFC), cpu_in(0xFF)};
    }
    // Runs hooks up to and including the next frame end; returns its result and the cycles.
    uint16_t run_frame(int32_t* cycles = nullptr, int* slices = nullptr) {
        int32_t total = 0;
        int n = 0;
        for (;;) {
            uint16_t r = cpu_hook(&z);
            total += z.cycle_period;
            ++n;
            if (scanline == 192) {
                if (cycles) *cycles = total;
                if (slices) *slices = n;
                return r;
            }
            EXPECT_EQ(r, HOOK_NONE);
        }
    }
};

TEST_F(Machine, PortMapAndControllerReads) {
    EXPECT_EQ(cpu_in(0xFC), 0x7F); // keypad mode, nothing pressed
    cpu_out(0xC0, 0x00);
    EXPECT_EQ(controller_mode, 1);
    EXPECT_EQ(read_with(BTN_UP | BTN_A, 0xFC), 0x3E);
    EXPECT_EQ(cpu_in(0xFF), 0x7F); // controller 2 is never driven
    EXPECT_EQ(cpu_in(0xE0), 0x3E); // bit 1 clear: controller 1
    EXPECT_EQ(cpu_in(0xFE), 0x7F);
    // Opposite directions: left and up win.
    EXPECT_EQ(read_with(BTN_LEFT | BTN_RIGHT | BTN_UP | BTN_DOWN, 0xFC), 0x76);

    cpu_out(0x9F, 0x12); // any port of the block selects keypad mode
    EXPECT_EQ(controller_mode, 0);
    EXPECT_EQ(read_with(BTN_L, 0xFC), 0x7A);
    EXPECT_EQ(read_with(BTN_R, 0xFC), 0x7D);
    EXPECT_EQ(read_with(BTN_L | BTN_R, 0xFC), 0x7A);
    EXPECT_EQ(read_with(BTN_B, 0xFC), 0x3F);
    EXPECT_EQ(read_with(BTN_START | BTN_X | BTN_Y, 0xFC), 0x7F);
    // Every keypad index reads as the console's code for its key: 0 to 9, *, #, the two further
    // codes, then no key.
    const uint8_t codes[16] = {0x0A, 0x0D, 0x07, 0x0C, 0x02, 0x03, 0x0E, 0x05,
                               0x01, 0x0B, 0x06, 0x09, 0x08, 0x04, 0x0F, 0x0F};
    for (uint16_t i = 0; i < 16; ++i) {
        controller_words[1] = uint16_t(0xFFF0 | i);
        EXPECT_EQ(cpu_in(0xFF), 0x70 | codes[i]) << "keypad index " << i;
    }
    cpu_out(0xDF, 0x00);
    EXPECT_EQ(controller_mode, 1);
    EXPECT_EQ(quit_request, 0);
    read_with(BTN_SELECT, 0xFC);
    EXPECT_EQ(quit_request, 1);

    // Unused blocks read 0xFF; the video chip answers on 0xA0-0xBF by port bit 0.
    EXPECT_EQ(cpu_in(0x00), 0xFF);
    EXPECT_EQ(cpu_in(0xC0), 0xFF);
    EXPECT_EQ(cpu_in(0x80), 0xFF);
    cpu_out(0xA1, 0x00);
    cpu_out(0xBF, 0x40);
    cpu_out(0xA0, 0x5A);
    cpu_out(0xA3, 0x00);
    cpu_out(0xA3, 0x00);
    EXPECT_EQ(vram[0], 0x5A);
    EXPECT_EQ(cpu_in(0xBE), 0x5A);
    EXPECT_EQ(cpu_in(0xBF), 0x9F);
    cpu_out(0x20, 0x00); // ignored
    EXPECT_EQ(controller_mode, 1);
}

TEST_F(Machine, BlockOutputRuns) {
    // A block output instruction's run lands in video memory as its single writes would: the
    // source and the video address wrap, a downward run reads downwards but writes upwards,
    // and a run between the two halves of a control pair is lost.
    std::vector<uint8_t> memory(0x10000);
    for (size_t i = 0; i < memory.size(); ++i) memory[i] = uint8_t(i * 3 + 1);
    uint8_t* saved = cpu_memory;
    cpu_memory = memory.data();
    cpu_out(0xBF, 0xFE);
    cpu_out(0xBF, 0x7F);
    cpu_out_run(0xBE, 0xFFFE, 1, 4);
    cpu_out(0xBE, 0xAA);
    EXPECT_EQ(vram[0x3FFE], memory[0xFFFE]);
    EXPECT_EQ(vram[0x3FFF], memory[0xFFFF]);
    EXPECT_EQ(vram[0x0000], memory[0x0000]);
    EXPECT_EQ(vram[0x0001], memory[0x0001]);
    EXPECT_EQ(vram[0x0002], 0xAA);
    cpu_out_run(0xA0, 0x0010, -1, 3);
    EXPECT_EQ(vram[0x0003], memory[0x0010]);
    EXPECT_EQ(vram[0x0005], memory[0x000E]);
    cpu_out(0xBF, 0x00);
    cpu_out_run(0xBE, 0x0100, 1, 200);
    EXPECT_EQ(vram[0x0006], 0);
    cpu_out(0xBF, 0x40); // the latched half still stands: the address becomes 0
    cpu_out(0xBE, 0x55);
    EXPECT_EQ(vram[0x0000], 0x55);
    // Other ports take the bytes one by one.
    cpu_out_run(0xC0, 0x0000, 1, 2);
    EXPECT_EQ(controller_mode, 1);
    cpu_memory = saved;
}

TEST_F(Machine, PcKeypadKeysAndTheSecondPlayer) {
    using P = std::pair<uint8_t, uint8_t>;
    cpu_out(0x80, 0x00); // keypad mode
    // Every key of a PC's keypad reaches the console with its own code; a keypad key wins over
    // the shoulder buttons' keys 0 and 1.
    const uint8_t codes[12] = {0x0A, 0x0D, 0x07, 0x0C, 0x02, 0x03, 0x0E, 0x05, 0x01, 0x0B, 0x06, 0x09};
    for (uint8_t k = 0; k < 12; ++k) EXPECT_EQ(read_both(0, 0, k), P(0x70 | codes[k], 0x7F)) << int(k);
    EXPECT_EQ(read_both(BTN_L, 0, 5), P(0x73, 0x7F));
    EXPECT_EQ(read_both(BTN_B, 0, 9), P(0x3B, 0x7F));
    // The second player's keypad and buttons reach controller 2 only.
    EXPECT_EQ(read_both(0, 0, KEYPAD_NONE, 10), P(0x7F, 0x76));
    EXPECT_EQ(read_both(0, BTN_R | BTN_B), P(0x7F, 0x3D));
    cpu_out(0xC0, 0x00); // joystick mode
    EXPECT_EQ(read_both(0, BTN_DOWN | BTN_RIGHT | BTN_A), P(0x7F, 0x39));
    EXPECT_EQ(read_both(BTN_LEFT, BTN_UP | BTN_LEFT | BTN_RIGHT), P(0x77, 0x76));
    // Keys out of the keypad's range are no key.
    EXPECT_EQ(read_both(0, 0, 12, 14), P(0x7F, 0x7F));
    // The second player's SELECT does not end the game; the first player's does.
    read_both(0, BTN_SELECT);
    EXPECT_EQ(quit_request, 0);
    read_both(BTN_SELECT, 0);
    EXPECT_EQ(quit_request, 1);
}

TEST_F(Machine, FrameSlicesCyclesAndFirstFrame) {
    frame_skip = 1;
    int32_t cycles = 0;
    int slices = 0;
    // The first frame after a load starts at line 1: line 0 is not drawn.
    run_frame(&cycles, &slices);
    EXPECT_EQ(slices, 192);
    EXPECT_EQ(picture[8 * VDP_PICTURE_WIDTH], 0xEE);
    EXPECT_EQ(picture[9 * VDP_PICTURE_WIDTH], 0x00);
    run_frame(&cycles, &slices);
    EXPECT_EQ(slices, 193);
    EXPECT_EQ(cycles, 60000);
    EXPECT_EQ(z.cycle_period, 18720);
    EXPECT_EQ(picture[8 * VDP_PICTURE_WIDTH], 0x00);
    EXPECT_EQ(headless_frames(), 2u);
}

TEST_F(Machine, TheModulesSoundReachesTheMixerAtTheFrameEnd) {
    mixer_reset();
    ay_reset(&ay);
    for (auto [reg, value] : {std::pair{AY_TONE_A_FINE, 254}, {AY_MIXER, 0x3E}, {AY_LEVEL_A, 15}}) {
        ay_select(&ay, reg);
        ay_write(&ay, uint8_t(value));
    }
    auto loudest = [] {
        mixer_generate(1024);
        int32_t top = 0;
        for (int16_t s : mixer.mix_buffer) top = std::max(top, int32_t(s));
        return top;
    };
    EXPECT_EQ(loudest(), 0); // written, not yet delivered
    run_frame();
    EXPECT_GT(loudest(), AY_LEVEL[15] * 9 / 10);
    mixer_reset();
    ay_reset(&ay);
}

TEST_F(Machine, FrameSkipDrawsAndPresentsOneFrameInN) {
    frame_skip = 3;
    skip_countdown = 0;
    run_frame(); // drawn and presented
    std::vector<int> drawn, presented;
    for (int f = 0; f < 6; ++f) {
        std::fill(picture.begin(), picture.end(), uint8_t(0xEE));
        std::fill(screen_surface.pixels, screen_surface.pixels + DISPLAY_WIDTH * DISPLAY_HEIGHT,
                  uint16_t(0x1234));
        run_frame();
        drawn.push_back(picture[100 * VDP_PICTURE_WIDTH] != 0xEE);
        presented.push_back(headless_shown_buffer()[100 * DISPLAY_WIDTH + 100] != 0x1234);
    }
    EXPECT_EQ(drawn, (std::vector<int>{0, 0, 1, 0, 0, 1}));
    EXPECT_EQ(presented, drawn);
    // The phase carries over to the next game (the loader's tests play one after another).
    EXPECT_EQ(skip_countdown, 2);
}

TEST_F(Machine, InterruptDecisionAndSelect) {
    frame_skip = 1;
    // Interrupt enable clear: no NMI, but the frame flag is set every frame.
    EXPECT_EQ(run_frame(), HOOK_NONE);
    EXPECT_EQ(vdp_read_status() & STATUS_FRAME, STATUS_FRAME);
    cpu_out(0xBF, 0x60);
    cpu_out(0xBF, 0x81);
    EXPECT_EQ(run_frame(), HOOK_NMI);
    // A frame that ends inside a control pair raises none, and none comes later.
    cpu_out(0xBF, 0x00);
    EXPECT_EQ(run_frame(), HOOK_NONE);
    cpu_out(0xBF, 0x40);
    EXPECT_EQ(run_frame(), HOOK_NMI);
    // SELECT at a frame end stops the game, whatever the interrupt would have been.
    hold(BTN_SELECT);
    EXPECT_EQ(run_frame(), HOOK_STOP);
}

} // namespace
