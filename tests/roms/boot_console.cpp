#include "tests/roms/boot_console.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "cpu/z80.h"
#include "frontend/surface.h"
#include "machine/driver.h"
#include "machine/loader.h"
#include "machine/memory.h"
#include "machine/ports.h"
#include "platform/platform.h"
#include "video/vdp.h"

std::vector<uint8_t> boot_rom_image() { return read_file(built_rom("coleco.rom")); }

std::vector<uint8_t> test_cartridge_image(const std::string& name) {
    return read_file(std::string(VELKORO_ROM_TEST_CARTRIDGES) + "/" + name + ".rom");
}

std::vector<uint8_t> generated_boot_font() {
    // ctest runs tests side by side: each process writes a file of its own.
    std::string out =
        std::string(VELKORO_BUILD_DIR) + "/bootfontgen-check-" + std::to_string(getpid()) + ".bin";
    std::string command = std::string(VELKORO_BOOTFONTGEN) + " bin " + out;
    if (std::system(command.c_str()) != 0) return {};
    std::vector<uint8_t> font = read_file(out);
    std::remove(out.c_str());
    return font;
}

BootConsole::BootConsole() : picture(VDP_PICTURE_BYTES, 0), saved_frame_skip(frame_skip) {}

BootConsole::~BootConsole() {
    release_machine();
    vdp_picture = nullptr;
    screen_surface.pixels = nullptr;
    frame_skip = saved_frame_skip;
}

bool BootConsole::boot(const std::vector<uint8_t>& bios, const std::vector<uint8_t>& cartridge) {
    std::string roms = card.rom_folder();
    write_file(roms + "/coleco.rom", bios);
    write_file(roms + "/game.rom", cartridge);
    std::snprintf(bios_path, sizeof bios_path, "%s", "/mnt/sd/roms/colecovision/coleco.rom");
    // SELECT held throughout: the driver hands control back at every frame end.
    HeadlessConfig c = test_config(card.path);
    c.presses.push_back({BTN_SELECT, 0, 0xFFFFFFFFu});
    headless_reset(c);
    vdp_picture = picture.data();
    screen_surface = Surface{display_drawing_pointer(), 0, 16, DISPLAY_WIDTH, DISPLAY_WIDTH, DISPLAY_HEIGHT};
    frame_skip = 1; // every frame presented, so that the screen is always the last frame
    skip_countdown = 0;
    frames = 0;
    if (run_cartridge("/mnt/sd/roms/colecovision/game.rom") != 1) return false;
    frames = 1;
    return true;
}

void BootConsole::frame(uint16_t pad1, uint16_t pad2) {
    // The driver gave up the interrupt of the last frame end for SELECT; take it as the frame
    // end decided (the interrupt enable on and no register pair half written).
    if ((vdp.regs[1] & 0x20) && vdp.awaiting_first_byte) cpu_interrupt(&cpu_state, HOOK_NMI);
    controller_words[0] = pad1;
    controller_words[1] = pad2;
    cpu_run(&cpu_state);
    ++frames;
}

void BootConsole::run(uint32_t n, uint16_t pad1, uint16_t pad2) {
    for (uint32_t i = 0; i < n; ++i) frame(pad1, pad2);
}

void BootConsole::reset() {
    std::memset(cpu_memory + RAM_START, 0xFF, RAM_END - RAM_START + 1);
    cpu_reset(&cpu_state);
}

uint8_t BootConsole::ram(uint16_t address) const { return cpu_memory[address]; }

uint16_t BootConsole::ram_word(uint16_t address) const {
    return uint16_t(cpu_memory[address] | cpu_memory[uint16_t(address + 1)] << 8);
}
