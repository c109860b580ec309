; Multicolour: a mosaic of 4 x 4 blocks (every name and pattern byte different) under one
; sprite, on a grey backdrop.
        include "header.asm"
regs:   db 0x00, 0xC8, 0x06, 0x00, 0x00, 0x36, 0x07, 0x0E
sprites:
        db 90, 120, 0, 0x0F
        db 0xD0
start:
        ld hl, regs
        call load_regs
        ld hl, 0x0000           ; patterns: 0, 1, 2, ... 255, eight times over
        ld d, 8
        call names_ramp
        ld hl, 0x1800
        ld d, 3
        call names_ramp
        ld hl, 0x3800
        ld bc, 8
        ld e, 0xFF
        call vfill
        ld hl, 0x1B00
        ld de, sprites
        ld bc, 5
        call vcopy
idle:   halt
        jr idle
        include "footer.asm"
