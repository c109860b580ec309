; Graphics II with 16 x 16 sprites: each third of the screen with its own patterns and colours,
; two overlapping hollow squares (name 7 draws the patterns of name 4), one sprite with the
; early clock showing only its rightmost column, and one wrapped over the top edge.
        include "header.asm"
regs:   db 0x02, 0xC2, 0x06, 0xFF, 0x03, 0x36, 0x07, 0x01
sprites:
        db 50, 60, 7, 0x0F
        db 60, 70, 4, 0x08
        db 120, 0x11, 4, 0x8B
        db 0xF8, 200, 4, 0x0A
        db 0xD0
square:
        db 0xFF, 0xFF, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0
        db 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xFF, 0xFF
        db 0xFF, 0xFF, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03
        db 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0xFF, 0xFF
thirds: ; start, pattern byte, colour byte for each third
        dw 0x0000
        db 0xAA, 0x2C
        dw 0x0800
        db 0xF0, 0x96
        dw 0x1000
        db 0x3C, 0xF4
start:
        ld hl, regs
        call load_regs
        ld ix, thirds
        ld b, 3
fill_thirds:
        push bc
        ld l, (ix + 0)
        ld h, (ix + 1)
        ld e, (ix + 2)
        push hl
        ld bc, 0x800
        call vfill
        pop hl
        ld a, h
        add a, 0x20
        ld h, a
        ld e, (ix + 3)
        ld bc, 0x800
        call vfill
        ld de, 4
        add ix, de
        pop bc
        djnz fill_thirds
        ld hl, 0x1800
        ld d, 3
        call names_ramp
        ld hl, 0x3800 + 4 * 8
        ld de, square
        ld bc, 32
        call vcopy
        ld hl, 0x1B00
        ld de, sprites
        ld bc, 17
        call vcopy
idle:   halt
        jr idle
        include "footer.asm"
