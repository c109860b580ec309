// The console's video display processor: 16 KB of video memory, eight write-only registers,
// the status register, the control-port protocol, display modes and table bases, the line
// renderers that build the VdpPicture, sprites, the palette and the presentation of a finished
// picture on the screen. The port dispatcher, the cartridge loader and the frame driver call it.
// It owns the one VdpState, the picture buffer pointer (allocated by the play cycle), the colour
// remap table and the screen palette.
#pragma once
#include <cstdint>

constexpr int VDP_PICTURE_WIDTH = 272;
constexpr int VDP_PICTURE_HEIGHT = 208;
constexpr int VDP_PICTURE_BYTES = VDP_PICTURE_WIDTH * VDP_PICTURE_HEIGHT; // 0xDD00
constexpr int VDP_VRAM_BYTES = 16384;
constexpr uint16_t VDP_ADDRESS_MASK = 0x3FFF; // every video memory address is 14 bits
constexpr int VDP_VISIBLE_LINES = 192;
constexpr int VDP_BORDER = 8; // border rows above and below, border columns left and right

struct VdpState {
    uint8_t* vram; // VDP_VRAM_BYTES, created per game by the loader
    uint8_t regs[8];
    uint8_t status; // bit 7 frame, bit 6 fifth sprite, bit 5 collision, bits 4..0 sprite number
    uint8_t awaiting_first_byte;
    uint8_t latched_byte;
    uint16_t write_address;
    uint16_t read_address;
    uint8_t mode;
    // Table starts, kept wrapped to 14 bits: a table that the registers place past the end of
    // video memory continues from its start, and no read ever leaves vram.
    uint16_t name_base, colour_base, pattern_base, sprite_attr_base, sprite_pattern_base;
    uint8_t text_colour;
    uint8_t backdrop_colour;
};

extern VdpState vdp;

// The 272 x 208 picture of colour indices, allocated once by the play cycle.
extern uint8_t* vdp_picture;

// Display modes (values of VdpState::mode).
constexpr uint8_t MODE_TEXT = 0;
constexpr uint8_t MODE_GRAPHICS1 = 1;
constexpr uint8_t MODE_GRAPHICS2 = 2;
constexpr uint8_t MODE_MULTICOLOUR = 3;

// Register bits the renderers and the frame end look at.
constexpr uint8_t R1_DISPLAY_ENABLE = 0x40;
constexpr uint8_t R1_INTERRUPT_ENABLE = 0x20;
constexpr uint8_t R1_SPRITE_16 = 0x02;
constexpr uint8_t R1_SPRITE_MAGNIFY = 0x01; // every sprite pixel shown as 2 x 2

// Status bits.
constexpr uint8_t STATUS_FRAME = 0x80;
constexpr uint8_t STATUS_FIFTH = 0x40;
constexpr uint8_t STATUS_COLLISION = 0x20;

using VdpLineRenderer = void (*)(uint8_t line);

// One row per display mode: its line renderer and the masks applied to R2..R5 before they are
// scaled into table bases.
struct VdpModeInfo {
    VdpLineRenderer render;
    uint8_t name_mask;
    uint8_t colour_mask;
    uint8_t pattern_mask;
    uint8_t sprite_attr_mask;
};

extern const VdpModeInfo vdp_modes[4];

void vdp_reset();
void vdp_write_data(uint8_t value);
void vdp_write_control(uint8_t value);
// `count` data bytes from `memory` at `address` on, stepping by `step` (wrapping at 64 KB): a
// block output instruction's run.
void vdp_write_data_run(const uint8_t* memory, uint16_t address, int step, uint32_t count);
uint8_t vdp_read_data();
uint8_t vdp_read_status();
void vdp_render_line(uint8_t line);
bool vdp_frame_end();

// The chip's part of the machine's state record (machine/state.h): registers, status, the port
// pair's phase, both addresses, the mode and the video memory. vdp_load reads and checks it,
// and only when `commit` is set also puts it in place (the state module reads a record twice:
// first to check every part, then to load it).
struct RecordWriter;
struct RecordReader;
void vdp_save(RecordWriter* w);
bool vdp_load(RecordReader* r, bool commit);

// --- Line renderers (one row of the picture each, borders included) ---

void render_text_line(uint8_t line);
void render_graphics1_line(uint8_t line);
void render_graphics2_line(uint8_t line);
void render_multicolour_line(uint8_t line);

// Draws the sprites of one visible line over the background the line renderer just drew.
void render_sprites_line(uint8_t line);
// Once per frame: sets the collision flag when two sprites' set pattern pixels meet. Only sprites
// that cover a visible line take part: the ones a game parks below the screen never collide.
void vdp_check_collisions();
// Once per frame, from the sprite table at the frame end as the collision check: the status
// bits of the fifth sprite. On the first line (with the display on) that has more sprites than
// the four drawn, STATUS_FIFTH and the number of the first sprite left out; otherwise the
// number of the last sprite the chip looks at on a line: the end of the list, or 31.
uint8_t vdp_fifth_sprite();

// --- Palette and presentation ---

// Colour index -> the index a renderer writes; entry 0 follows the backdrop colour.
alignas(4) extern uint8_t colour_map[16]; // word aligned: compared a word at a time
// Colour index -> RGB565 screen colour.
extern uint16_t palette[16];
// The console's sixteen colours: red, green, blue and a zero byte each.
extern const uint8_t VDP_PALETTE_RGB[16][4];

void palette_set(uint8_t index, uint8_t red, uint8_t green, uint8_t blue);

// Due time of the previous frame end on the millisecond clock, and the part of a millisecond (in
// sixtieths) that the 60 Hz frame period adds beyond it.
extern uint32_t last_present_ms;
extern uint32_t last_present_sixtieths;
// A frame end that finds itself this far past its due time starts the pacing afresh.
constexpr uint32_t PRESENT_LATE_LIMIT_MS = 100;

// Copies the picture to the top-left corner of the screen (on the frames the driver draws).
void present_frame();

// The wait at the end of every emulated frame, drawn or not, that paces the emulation to the
// console's 60 frames per second: the frame driver calls it once the frame's sound is delivered,
// so that every frame's sound changes are heard for a frame's time. Answers how many
// milliseconds past its due time the frame ended (0 when it had to wait).
uint32_t pace_frame();
