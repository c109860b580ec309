; A busy machine for the benchmark: graphics II with patterns everywhere and 32 sprites of
; 16 x 16 that the processor moves without ever halting, copying the attribute table from RAM
; to video memory over and over; and all seven sound channels at full level for the mixer: the
; sound chip's three tones and its white noise, the Super Game Module's three tones.
        include "header.asm"
        include "busy_setup.asm"
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
