; Test cartridge for the controllers: at every video interrupt it reads controller 1 and
; controller 2 in keypad mode and in joystick mode and shows the four bytes as four rows of
; eight blocks, bit 7 on the left: a full block is a bit at 1, a hollow one a bit at 0. A picture
; of the screen tells exactly what the console read, for both players.
        include "cartridge_header.asm"

reads   equ 0x7000              ; keypad 1, keypad 2, joystick 1, joystick 2

; Graphics I, display on, interrupt off while the screen is built; names 0x1800, colours
; 0x2000, patterns 0x0000, sprite attributes 0x1B00, black backdrop.
regs:   db 0x00, 0xC0, 0x06, 0x80, 0x00, 0x36, 0x07, 0x01

start:
        ld hl, regs
        call load_regs

        ld hl, 0x0000           ; patterns: blank, then a full block (1) and a hollow one (2)
        ld bc, 0x800
        ld e, 0
        call vfill
        ld hl, 0x0008
        ld bc, 8
        ld e, 0xFF
        call vfill
        ld hl, 0x0010
        ld de, hollow
        ld bc, 8
        call vcopy
        ld hl, 0x2000           ; names 0..7 white on black, the rest black
        ld bc, 1
        ld e, 0xF1
        call vfill
        ld hl, 0x2001
        ld bc, 31
        ld e, 0x11
        call vfill
        ld hl, 0x1800           ; an empty screen
        ld bc, 768
        ld e, 0
        call vfill
        ld hl, 0x1B00           ; no sprites
        ld bc, 1
        ld e, 0xD0
        call vfill
        ld a, 0xE0              ; interrupt on
        ld b, 1
        call set_reg
idle:
        halt
        jr idle

video_interrupt:
        push af
        push bc
        push de
        push hl
        in a, (0xBF)
        out (0x80), a           ; keypad mode
        in a, (0xFC)
        ld (reads), a
        in a, (0xFF)
        ld (reads + 1), a
        out (0xC0), a           ; joystick mode
        in a, (0xFC)
        ld (reads + 2), a
        in a, (0xFF)
        ld (reads + 3), a
        ld de, reads
        ld hl, 0x1800 + 8 * 32 + 12
        ld b, 4
rows:
        push bc
        ld a, (de)
        call show_byte
        inc de
        ld bc, 64               ; every other tile row
        add hl, bc
        pop bc
        djnz rows
        pop hl
        pop de
        pop bc
        pop af
        retn

; Writes the eight bits of A as names 1 (bit at 1) or 2 (bit at 0) from HL on.
show_byte:
        ld c, a
        call set_write
        ld b, 8
show_bit:
        ld a, 2
        sla c
        jr nc, show_zero
        ld a, 1
show_zero:
        out (0xBE), a
        djnz show_bit
        ret

        include "vdp_routines.asm"

hollow: db 0xFF, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0xFF

        ds 0x9000 - $, 0xFF
