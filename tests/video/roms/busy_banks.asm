; The busy machine of busy.asm as a MegaCart of eight banks (128 KB), for the benchmark: graphics
; II with patterns everywhere and 32 sprites of 16 x 16, the attribute table copied from RAM to
; video memory over and over, and each sprite moved by a routine of one of banks 0-3, selected by
; a read of 0xFFC0-0xFFC3 just before: some 250 bank switches a frame, the processor never idle;
; all seven sound channels at full level.
; Assembled once per bank (pasmo --equ BANK=n --equ BANKS=8); the last bank is the fixed one.
        if BANK = BANKS - 1
        include "header.asm"
        include "busy_setup.asm"
loop:
        ld hl, 0x1B00
        call set_write
        ld hl, table
        ld bc, 128 * 256 + 0xBE
        otir
        ld hl, table + 1
        ld b, 32
        ld d, 0xFF
move:
        ld a, b                 ; bank B mod 4 at 0xC000
        and 3
        or 0xC0
        ld e, a
        ld a, (de)
        call 0xC000             ; moves the sprite whose X is at HL
        inc hl
        inc hl
        inc hl
        inc hl
        djnz move
        jr loop
; 440, 554 and 659 Hz, white noise at rate 0, all at full level.
sound:  db 0x8E, 0x0F, 0xAA, 0x0C, 0xCA, 0x0A, 0xE4, 0x90, 0xB0, 0xD0, 0xF0
; The module's chip as register, value pairs: 220, 330 and 880 Hz at full level, no noise.
module: db 0, 0xFC, 1, 0x01, 2, 0x53, 3, 0x01, 4, 0x7F, 5, 0x00, 7, 0x38, 8, 15, 9, 15, 10, 15, 6, 0
        ds 0xC000 - $, 0xFF
        else

; Bank n's step: X += n + 1.
        org 0xC000
        ld a, (hl)
        add a, BANK + 1
        ld (hl), a
        ret
        ds 0x10000 - $, 0xFF
        endif
