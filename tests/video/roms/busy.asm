; A busy machine for the benchmark: graphics II with patterns everywhere and 32 sprites of
; 16 x 16 that the processor moves without ever halting, copying the attribute table from RAM
; to video memory over and over; and all seven sound channels at full level for the mixer: the
; sound chip's three tones and its white noise, the Super Game Module's three tones.
        include "header.asm"
regs:   db 0x02, 0xC2, 0x06, 0xFF, 0x03, 0x36, 0x07, 0x01
table   equ 0x7000
start:
        ld hl, sound
        ld bc, 11 * 256 + 0xFF
        otir
        ld hl, module
        ld b, 11
module_next:
        ld a, (hl)
        out (0x50), a
        inc hl
        ld a, (hl)
        out (0x51), a
        inc hl
        djnz module_next
        ld hl, regs
        call load_regs
        ld hl, 0x0000           ; patterns and colours: the ramp 0..255 over and over
        ld d, 24
        call names_ramp
        ld hl, 0x1800
        ld d, 3
        call names_ramp
        ld hl, 0x3800
        ld d, 8
        call names_ramp
        ld hl, table            ; sprite i: Y = 5i, X = 8i, name 4i, colour 1 + i mod 15
        ld b, 0
init:
        ld a, b
        add a, a
        add a, a
        add a, b
        ld (hl), a
        inc hl
        ld a, b
        add a, a
        add a, a
        add a, a
        ld (hl), a
        inc hl
        ld a, b
        add a, a
        add a, a
        ld (hl), a
        inc hl
        ld a, b
        and 0x0F
        or 0x01
        ld (hl), a
        inc hl
        inc b
        ld a, b
        cp 32
        jr nz, init
loop:
        ld hl, 0x1B00
        call set_write
        ld hl, table
        ld bc, 128 * 256 + 0xBE
        otir
        ld hl, table + 1
        ld de, 4
        ld b, 32
move:
        inc (hl)
        add hl, de
        djnz move
        jr loop
; 440, 554 and 659 Hz, white noise at rate 0, all at full level.
sound:  db 0x8E, 0x0F, 0xAA, 0x0C, 0xCA, 0x0A, 0xE4, 0x90, 0xB0, 0xD0, 0xF0
; The module's chip as register, value pairs: 220, 330 and 880 Hz at full level, no noise.
module: db 0, 0xFC, 1, 0x01, 2, 0x53, 3, 0x01, 4, 0x7F, 5, 0x00, 7, 0x38, 8, 15, 9, 15, 10, 15, 6, 0
        include "footer.asm"
