#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpus (tests/fuzz/corpus/<target>/seed-*) from our own tools
and tests: the font generator's PCX, ImageMagick's PCX and TGA files of a small test picture,
the boot ROM and the cartridges the build assembles (a MegaCart among them), port streams that
set up every display mode, the sound chip and the Super Game Module, and button scripts. Findings of fuzzing runs live beside the seeds as
finding-* files and are not touched.

    tests/fuzz/make_corpus.py BUILD-FOLDER
"""
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def put(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(data)


def clear_seeds():
    for target in os.listdir(CORPUS) if os.path.isdir(CORPUS) else []:
        folder = os.path.join(CORPUS, target)
        for name in os.listdir(folder):
            if name.startswith("seed-"):
                os.remove(os.path.join(folder, name))


def images(build, work):
    # A 13 x 7 picture of colour runs, among them the front end's two colour keys, with alpha.
    w, h = 13, 7
    colours = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (123, 123, 123), (0xDE, 0x6F, 0xDE), (250, 250, 250)]
    ppm = "P3\n%d %d\n255\n" % (w, h)
    pam = b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (w, h)
    for y in range(h):
        for x in range(w):
            r, g, b = colours[(x // 3 + y) % len(colours)]
            ppm += "%d %d %d\n" % (r, g, b)
            pam += bytes([r, g, b, (x * 19 + y * 40) % 256])
    open(os.path.join(work, "src.ppm"), "w").write(ppm)
    open(os.path.join(work, "src.pam"), "wb").write(pam)
    jobs = [
        ("src.ppm", "-type Palette", "PCX", "pcx", "palette.pcx"),
        ("src.ppm", "-type TrueColor", "PCX", "pcx", "truecolour.pcx"),
        ("src.ppm", "-type TrueColor -compress None", "TGA", "tga", "raw24.tga"),
        ("src.ppm", "-type TrueColor -compress RLE", "TGA", "tga", "rle24.tga"),
        ("src.ppm", "-orient TopRight -type TrueColor -compress RLE", "TGA", "tga", "right24.tga"),
        ("src.pam", "-type TrueColorAlpha -compress None", "TGA", "tga", "raw32.tga"),
        ("src.pam", "-orient TopLeft -type TrueColorAlpha -compress RLE", "TGA", "tga", "rle32.tga"),
        ("src.ppm", "-type Grayscale -compress None", "TGA", "tga", "grey.tga"),
        ("src.ppm", "-type Palette -compress None", "TGA", "tga", "mapped.tga"),
        ("src.ppm", "-type Palette -compress RLE", "TGA", "tga", "mapped-rle.tga"),
    ]
    made = {}
    for src, options, fmt, target, name in jobs:
        out = os.path.join(work, name)
        subprocess.run(["convert", os.path.join(work, src)] + options.split() + ["%s:%s" % (fmt, out)], check=True)
        made[name] = (target, open(out, "rb").read())
    font = os.path.join(work, "font.pcx")
    subprocess.run([os.path.join(build, "tools", "velkoro-fontgen"), "pcx", font], check=True)
    made["font.pcx"] = ("pcx", open(font, "rb").read())
    # A version 3 file (header palette only) with runs: 4 x 2, one plane.
    v3 = bytearray(128)
    v3[0:4] = bytes([0x0A, 3, 1, 8])
    struct.pack_into("<HHHH", v3, 4, 0, 0, 3, 1)
    v3[16:64] = bytes(range(1, 49))
    v3[65] = 1
    struct.pack_into("<H", v3, 66, 4)
    made["v3.pcx"] = ("pcx", bytes(v3) + bytes([0xC3, 0x41, 0x05, 0xC4, 0x02]))
    # A 16-bit true-colour TGA of 2 x 2, top row first.
    t16 = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, 2, 2, 16, 0x20) + struct.pack("<4H", 0x801F, 0x03E0, 0x7C00, 0xFFFF)
    made["rgb16.tga"] = ("tga", t16)
    for name, (target, data) in sorted(made.items()):
        put(target, name.replace(".", "-"), data)
    # load_image through files: the first byte picks the name's extension (low nibble: .pcx,
    # .PCX, .tga, .TGA, .gif, .GIF, .png, .PNG, .bin, none) and the flags (high nibble).
    put("image_file", "font-pcx", bytes([0x00]) + made["font.pcx"][1])
    put("image_file", "palette-PCX-swapped", bytes([0x11]) + made["palette.pcx"][1])
    put("image_file", "rle32-tga", bytes([0x02]) + made["rle32.tga"][1])
    put("image_file", "mapped-TGA", bytes([0x03]) + made["mapped.tga"][1])
    put("image_file", "gif", bytes([0x04]) + made["palette.pcx"][1])
    put("image_file", "png", bytes([0x07]) + made["raw24.tga"][1])
    put("image_file", "bin-as-pcx", bytes([0x48]) + made["v3.pcx"][1])
    put("image_file", "none-as-tga", bytes([0x89]) + made["grey.tga"][1])


def machine(build):
    card = os.path.join(build, "card", "roms", "colecovision")
    boot = open(os.path.join(card, "coleco.rom"), "rb").read()
    bundled = {name[:-4].replace(" ", "-").lower(): open(os.path.join(card, name), "rb").read()
               for name in sorted(os.listdir(card)) if name.endswith(".rom") and name != "coleco.rom"}
    demo = bundled["bouncing-balls"]

    def cartridge_input(bios, cart, split=None):
        return struct.pack("<H", len(bios) if split is None else split) + bios + cart

    put("cartridge", "boot-demo", cartridge_input(boot, demo))
    put("cartridge", "short-bios", cartridge_input(boot[:8191], demo))
    put("cartridge", "short-cartridge", cartridge_input(boot, demo[:4095]))
    put("cartridge", "bad-signature", cartridge_input(boot, b"\x55\x55" + demo[2:]))
    put("cartridge", "no-bios", cartridge_input(b"", demo, 0xFFFF))
    megacart = open(os.path.join(build, "tests", "machine", "roms", "megacart.rom"), "rb").read()
    put("cartridge", "megacart", cartridge_input(boot, megacart))
    put("cartridge", "megacart-truncated", cartridge_input(boot, megacart[:-1]))
    put("cartridge", "megacart-unsigned", cartridge_input(boot, megacart[:-0x4000] + b"\xff\xff" + megacart[-0x3FFE:]))

    # Emulation: the controllers (nothing pressed, then the stick right and fire), the kind (a
    # plain cartridge), then a cartridge of ours from its start address on. The spinner test
    # turns both spinners; MegaCarts start with their fixed bank, then banks 0 and 1 as far as an
    # input may reach.
    controls = bytes([0x00, 0x00, 0x40, 0x10, 0xFF, 0x00])
    kinds = {"spinner": 0x90}
    carts = dict(bundled)
    for folder in ("tests/video/roms", "tests/sound/roms", "tests/roms/cartridges", "tests/machine/roms"):
        path = os.path.join(build, folder)
        for name in sorted(os.listdir(path)) if os.path.isdir(path) else []:
            if name.endswith(".rom") and name != "tiny_bios.rom":
                carts[name[:-4]] = open(os.path.join(path, name), "rb").read()
    for name, cart in sorted(carts.items()):
        if len(cart) <= 0x8000:
            put("emulation", name, controls + bytes([kinds.get(name, 0)]) + cart[0x0A:])
        else:
            # A MegaCart of 64 KB << n has the kind 1 + 2n.
            kind = 1 + 2 * (len(cart).bit_length() - 17)
            put("emulation", name, (controls + bytes([kind]) + cart[-0x4000 + 0x0A:] + cart)[:32768])


def ports():
    out = bytearray()

    def write(port, value):
        out.extend([0, port, value])

    def read(port):
        out.extend([1, port, 0])

    def lines(*numbers):
        for n in numbers:
            out.extend([2, 0, n])

    def frame():
        out.extend([3, 0, 0])

    def reg(n, v):
        write(0xBF, v)
        write(0xBF, 0x80 | n)

    def vram(address, data):
        write(0xBF, address & 0xFF)
        write(0xBF, 0x40 | (address >> 8))
        for b in data:
            write(0xBE, b)

    def scene(name, registers, tables):
        out.clear()
        for n, v in enumerate(registers):
            reg(n, v)
        for address, data in tables:
            vram(address, data)
        read(0xBF)
        frame()
        lines(0, 1, 7, 8, 64, 100, 150, 191)
        frame()
        put("ports", name, bytes(out))

    sprites = bytes([40, 50, 0, 0x0F, 60, 56, 4, 0x06, 61, 57, 4, 0x0A, 0xD0])
    glyph = bytes([0x3C, 0x42, 0x81, 0xFF, 0x81, 0x81, 0x42, 0x00] * 8)
    scene("graphics1", [0x00, 0xE2, 0x06, 0x80, 0x00, 0x36, 0x07, 0x14],
          [(0x1800, bytes(range(64))), (0x0000, glyph), (0x2000, bytes([0xF4] * 8)), (0x1B00, sprites), (0x3800, glyph[:32])])
    scene("graphics2", [0x02, 0xC2, 0x06, 0xFF, 0x03, 0x36, 0x07, 0x01],
          [(0x1800, bytes(range(256))), (0x0000, glyph), (0x2000, bytes(range(0x10, 0x50))), (0x1B00, sprites)])
    scene("multicolour", [0x00, 0xCB, 0x06, 0x00, 0x00, 0x36, 0x07, 0x05],
          [(0x1800, bytes(range(32)) * 2), (0x0000, bytes(range(0, 256, 7))), (0x1B00, sprites)])
    scene("text", [0x00, 0xD0, 0x02, 0x00, 0x00, 0x00, 0x00, 0xF4],
          [(0x0800, bytes(range(32, 100))), (0x0000, glyph * 2)])
    # The sound chip: tones on all channels, the noise at each rate, attenuations, a data byte
    # before any latch; the controllers in both modes.
    out.clear()
    for b in (0x05, 0x8F, 0x3F, 0x90, 0xA8, 0x01, 0xB4, 0xC0, 0x00, 0xD2, 0xE3, 0xF0, 0xE1, 0xE4, 0x9F):
        write(0xFF, b)
    frame()
    write(0x80, 0)
    read(0xFC)
    write(0xC0, 0)
    read(0xFC)
    read(0xFF)
    read(0xA0)
    frame()
    put("ports", "sound-controllers", bytes(out))
    # The Super Game Module: its RAM on and off and over the BIOS, its sound registers written
    # and read back.
    out.clear()
    for port, value in ((0x53, 1), (0x7F, 0xFD), (0x50, 7), (0x51, 0xF8), (0x50, 13), (0x51, 0xFF)):
        write(port, value)
    read(0x52)
    frame()
    write(0x53, 0)
    write(0x7F, 0x02)
    write(0x50, 16)
    read(0x52)
    put("ports", "module", bytes(out))


def scripts():
    for name, text in [
        ("readme", "B:300-400, B:800-900, RIGHT:2000-2100, A:2500-3000"),
        ("file", "# a comment\nUP+A:0-100\nKEY5:100-200; P2B:0-10\n\nP2KEYHASH:1-2, KEYSTAR:3-4\n"),
        ("diagonals", "upleft:1-2,DOWNRIGHT:3-999999999,L+R+X+Y+START+SELECT:5-6"),
        ("no-range", "B:500"),
        ("empty-range", "A:5-5"),
        ("two-keys", "KEY1+KEY2:0-1"),
        ("spinners", "SPINR:0-100, P2SPINL+P2A:50-150, spinl+SPINR:200-300"),
    ]:
        put("script", name, text.encode())


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    clear_seeds()
    with tempfile.TemporaryDirectory() as work:
        images(build, work)
    machine(build)
    ports()
    scripts()


if __name__ == "__main__":
    main()
