; The busy machine of busy.asm as a MegaCart of four banks (64 KB), for the benchmark: graphics II
; with patterns everywhere and 32 sprites of 16 x 16, the attribute table copied from RAM to
; video memory over and over, and each sprite moved by a routine of its own bank, selected by a
; read of 0xFFC0-0xFFC3 just before: some 380 bank switches a frame, the processor never idle.
; Assembled once per bank (pasmo --equ BANK=n --equ BANKS=4); the last bank is the fixed one.
        if BANK = BANKS - 1
        include "header.asm"
regs:   db 0x02, 0xC2, 0x06, 0xFF, 0x03, 0x36, 0x07, 0x01
table   equ 0x7000
start:
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
