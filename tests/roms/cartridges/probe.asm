; A cartridge that tries what cartridges may rely on in the boot ROM and leaves its findings in
; RAM for the tests:
;   0x7000        incremented at every start (RAM starts as 0xFF: 0x00 after one start)
;   0x7001..0x7002 the stack pointer it was started with
;   0x7003..0x7004 calls into the ROM's unused space that came back
;   0x7005        1 once a call to 0x1FD6 came back (after the sound was turned on)
;   0x7006..0x7007 video interrupts taken
;   0x7008        1 once the screen is set up
;   0x700E..0x700F where the next restart number goes; 0x7010.. restart numbers as their slots
;                 were reached (1 for RST 08h .. 7 for RST 38h)
; The screen: the ROM's font copied through the word at 0x006C (characters 0x20..0x7F at names
; 0x20..0x7F, white), the capitals copied through the word at 0x006A (names 0x80..0x99, yellow),
; every character and a sentence shown in graphics I, and the video interrupt on.
; The header says 0x55, 0xAA (start at once); the tests change it to 0xAA, 0x55 to see the title
; screen, and may overwrite the 128 bytes of the title area.

STARTS  equ 0x7000
ENTRY_SP equ 0x7001
RETURNS equ 0x7003
SILENCED equ 0x7005
NMIS    equ 0x7006
READY   equ 0x7008
RST_PTR equ 0x700E
RST_LIST equ 0x7010
CALLER  equ 0x7020              ; CALL nn, RET: the sweep's trampoline

        org 0x8000
        db 0x55, 0xAA
        dw 0, 0, 0, 0
        dw start
        jp rst08
        jp rst10
        jp rst18
        jp rst20
        jp rst28
        jp rst30
        jp rst38
        jp video_interrupt
        db "BOOT ROM PROBE/VELKORO TESTS/2026"
        ds 0x80A4 - $, ' '

start:
        ld (ENTRY_SP), sp
        ld hl, STARTS
        inc (hl)

        ld hl, RST_LIST         ; every restart, in order
        ld (RST_PTR), hl
        rst 0x08
        rst 0x10
        rst 0x18
        rst 0x20
        rst 0x28
        rst 0x30
        rst 0x38

        ld hl, 0                ; every unused address of the ROM, called in turn
        ld (RETURNS), hl
        ld a, 0xC9
        ld (CALLER + 3), a
        ld a, 0xCD
        ld (CALLER), a
        ld hl, ranges
next_range:
        ld e, (hl)
        inc hl
        ld d, (hl)
        inc hl
        ld c, (hl)
        inc hl
        ld b, (hl)
        inc hl
        push hl
        ld a, d
        or e
        jr z, last_range
        call sweep
        pop hl
        jr next_range
last_range:
        ld hl, (0x006C)         ; from the end of the font to the top
        ld de, 0x0280
        add hl, de
        ex de, hl
        ld bc, 0x1FFF
        call sweep
        pop hl

        ld hl, sound_on         ; all four channels on, then the ROM's silence routine
        ld b, sound_on_end - sound_on
        ld c, 0xFF
        otir
        call 0x1FD6
        ld a, 1
        ld (SILENCED), a

        ld hl, regs
        call load_regs
        ld hl, 0x0000           ; patterns: blank, then the ROM's font at names 0x20..0x7F
        ld bc, 0x0800
        ld e, 0
        call vfill
        ld hl, (0x006C)
        ld de, -128
        add hl, de
        ex de, hl
        ld hl, 0x0100
        ld bc, 768
        call vcopy
        ld de, (0x006A)         ; and its capitals at names 0x80..0x99
        ld hl, 0x0400
        ld bc, 26 * 8
        call vcopy
        ld hl, 0x2000           ; colours: white, the capitals' copy yellow
        ld bc, 16
        ld e, 0xF0
        call vfill
        ld hl, 0x2010
        ld bc, 16
        ld e, 0xB0
        call vfill
        ld hl, 0x1B00
        ld bc, 1
        ld e, 0xD0
        call vfill
        ld hl, 0x1800
        ld bc, 768
        ld e, ' '
        call vfill
        ld hl, 0x1800 + 3 * 32  ; every character, 32 a row
        call set_write
        ld a, 0x20
all_chars:
        out (0xBE), a
        inc a
        cp 0x80
        jr nz, all_chars
        ld hl, 0x1800 + 8 * 32
        call set_write
        ld a, 0x80
capitals:
        out (0xBE), a
        inc a
        cp 0x80 + 26
        jr nz, capitals
        ld hl, 0x1800 + 11 * 32
        ld de, sentence
        ld bc, sentence_end - sentence
        call vcopy
        ld hl, 0x1800 + 13 * 32
        ld de, sentence2
        ld bc, sentence2_end - sentence2
        call vcopy
        ld a, 0xE0              ; display and video interrupt on
        ld b, 1
        call set_reg
        ld a, 1
        ld (READY), a
idle:
        halt
        jr idle

; Calls every address from DE to BC and counts those that come back.
sweep:
        ld (CALLER + 1), de
        push bc
        push de
        call CALLER
        pop de
        pop bc
        ld hl, (RETURNS)
        inc hl
        ld (RETURNS), hl
        ld a, d
        cp b
        jr nz, sweep_on
        ld a, e
        cp c
        ret z
sweep_on:
        inc de
        jr sweep

rst08:  ld a, 1
        jr rst_seen
rst10:  ld a, 2
        jr rst_seen
rst18:  ld a, 3
        jr rst_seen
rst20:  ld a, 4
        jr rst_seen
rst28:  ld a, 5
        jr rst_seen
rst30:  ld a, 6
        jr rst_seen
rst38:  ld a, 7
rst_seen:
        push hl
        ld hl, (RST_PTR)
        ld (hl), a
        inc hl
        ld (RST_PTR), hl
        pop hl
        ret

video_interrupt:
        push af
        push hl
        in a, (0xBF)
        ld hl, (NMIS)
        inc hl
        ld (NMIS), hl
        pop hl
        pop af
        retn

        include "vdp_routines.asm"

; The unused space below the font: the byte after the start-up code, the gaps after each restart
; entry, and the fill before the silence routine; a first address of 0 stands for the space from
; the end of the font to the top of the ROM, and ends the table.
ranges:
        dw 0x0007, 0x0007
        dw 0x000B, 0x000F, 0x0013, 0x0017, 0x001B, 0x001F, 0x0023, 0x0027
        dw 0x002B, 0x002F, 0x0033, 0x0037, 0x003B, 0x0065
        dw 0x006E, 0x00C8
        dw 0, 0
sound_on:
        db 0x8E, 0x0F, 0x90, 0xAE, 0x0F, 0xB0, 0xCE, 0x0F, 0xD0, 0xE5, 0xF0
sound_on_end:
; Graphics I, display off; names 0x1800, colours 0x2000, patterns 0x0000, sprites 0x1B00 and
; 0x3800; dark blue backdrop.
regs:   db 0x00, 0x80, 0x06, 0x80, 0x00, 0x36, 0x07, 0x04
sentence:
        db "The quick brown fox jumps over"
sentence_end:
sentence2:
        db "the lazy dog: 0123456789 (ok?)"
sentence2_end:
        ds 0x9000 - $, 0xFF
