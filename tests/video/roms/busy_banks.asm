; The busy machine of busy.asm as a MegaCart of eight banks (128 KB), for the benchmark: graphics
; II with patterns everywhere and 32 sprites of 16 x 16, the attribute table copied from RAM to
; video memory over and over, and each sprite moved by a routine of one of banks 0-3, selected by
; a read of 0xFFC0-0xFFC3 just before: some 250 bank switches a frame, the processor never idle;
; all seven sound channels at full level.
; Assembled once per bank (pasmo --equ BANK=n --equ BANKS=8); the last bank is the fixed one.
        if BANK = BANKS - 1
        include "header.asm"
        include "busy_setup.asm"
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
        include "busy_sound.asm"
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
