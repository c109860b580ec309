; The busy machine's start, shared by busy.asm and busy_banks.asm: all seven sound channels at
; full level (their `sound` and `module` tables come from busy_sound.asm, which the including file
; places after its loop), graphics II with patterns everywhere, and 32 sprites of 16 x 16 set up
; in a table in RAM (sprite i: Y = 5i, X = 8i, name 4i, colour 1 + i mod 15); then the start of
; the loop, which copies that table to video memory. The including file goes on with the loop's
; sprite moves, from HL at sprite 0's X, and ends it with `jr loop`.
        include "sound_macros.asm"
regs:   db 0x02, 0xC2, 0x06, 0xFF, 0x03, 0x36, 0x07, 0x01
table   equ 0x7000
start:
        ld hl, sound
        ld bc, 11 * 256 + 0xFF
        otir
        ld hl, module
        ld b, 11
        send_module_pairs
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
