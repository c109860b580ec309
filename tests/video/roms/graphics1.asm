; Graphics I with 8 x 8 sprites: the name in white over the backdrop, a checked band, a sprite
; wrapped over the top edge (Y = 0xFF), five sprites on one line of which the fifth is dropped,
; a sprite moved left by the early-clock bit and one clipped at the right edge.
        include "header.asm"
regs:   db 0x00, 0xC0, 0x06, 0x80, 0x00, 0x36, 0x07, 0x05
sprites:
        db 0xFF, 20, 0, 0x08
        db 100, 40, 0, 0x02
        db 100, 60, 0, 0x03
        db 100, 80, 0, 0x04
        db 100, 100, 0, 0x06
        db 100, 120, 0, 0x07
        db 140, 0x24, 0, 0x8F
        db 140, 250, 0, 0x09
        db 0xD0
checker:
        db 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55
colours:
        db 0xF0, 0x6B
start:
        ld hl, regs
        call load_regs
        ld hl, 0x0000
        ld de, glyphs
        ld bc, 64
        call vcopy
        ld hl, 0x0040           ; name 8: the checker
        ld de, checker
        ld bc, 8
        call vcopy
        ld hl, 0x2000
        ld de, colours
        ld bc, 2
        call vcopy
        ld hl, 0x1800
        ld bc, 768
        ld e, 0
        call vfill
        ld hl, 0x1800 + 3 * 32 + 12
        ld de, name_text
        ld bc, 7
        call vcopy
        ld hl, 0x1800 + 20 * 32
        ld bc, 128
        ld e, 8
        call vfill
        ld hl, 0x3800           ; sprite 0: solid
        ld bc, 8
        ld e, 0xFF
        call vfill
        ld hl, 0x1B00
        ld de, sprites
        ld bc, 33
        call vcopy
idle:   halt
        jr idle
        include "footer.asm"
