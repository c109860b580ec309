; Velkoro demo cartridge: the card that ships with the program. A graphics I screen: the name
; VELKORO in large letters made of quarter-block tiles over a dotted dark blue field, and six
; balls (16 x 16 sprites) that drift across it and bounce between the top and the bottom. The
; video interrupt moves the balls; the main program only waits for it.
        include "cartridge_header.asm"
        db "A VELKORO DEMO CARTRIDGE/BOUNCING BALLS/2026"

balls   equ 0x7000              ; six records: Y, X, Y step, X step, colour, pattern
BALLS   equ 6

; Registers: graphics I, display on, interrupt off while the screen is built, 16 x 16 sprites;
; names 0x1800, colours 0x2000, patterns 0x0000, sprite attributes 0x1B00, sprite patterns
; 0x3800, dark blue backdrop.
regs:   db 0x00, 0xC2, 0x06, 0x80, 0x00, 0x36, 0x07, 0x04

start:
        ld hl, regs
        call load_regs

        ld hl, 0x2000           ; every colour group: light blue on transparent ...
        ld bc, 32
        ld e, 0x50
        call vfill
        ld hl, 0x2010           ; ... the letters (names 0x80..0x8F) light yellow
        ld bc, 2
        ld e, 0xB0
        call vfill
        ld hl, 0x2005           ; the underline (names 0x28..0x2F) cyan
        ld bc, 1
        ld e, 0x70
        call vfill

        ld hl, 0x0000           ; patterns: all blank, then the quarter blocks at 0x80..0x8F
        ld bc, 0x800
        ld e, 0
        call vfill
        ld hl, 0x0400
        call set_write
        ld d, 0
quarters:
        ld a, d                 ; top half from bits 0 and 1, bottom half from bits 2 and 3
        call quarter_byte
        ld b, 4
        call out_b_times
        ld a, d
        rrca
        rrca
        call quarter_byte
        ld b, 4
        call out_b_times
        inc d
        ld a, d
        cp 16
        jr nz, quarters
        ld hl, 0x0100           ; name 0x20: a dot
        ld de, dot
        ld bc, 8
        call vcopy
        ld hl, 0x0140           ; name 0x28: a thick line
        ld de, line
        ld bc, 8
        call vcopy

        ld hl, 0x1800           ; the field, the name, its underline
        ld bc, 768
        ld e, 0x20
        call vfill
        ld hl, 0x1800 + 9 * 32 + 5
        ld de, letters
        ld c, 4
letter_rows:
        push bc
        push hl
        ld bc, 21
        call vcopy
        pop hl
        ld bc, 32
        add hl, bc
        pop bc
        dec c
        jr nz, letter_rows
        ld hl, 0x1800 + 14 * 32 + 4
        ld bc, 23
        ld e, 0x28
        call vfill

        ld hl, 0x3800           ; sprite pattern 0: the ball
        ld de, ball
        ld bc, 32
        call vcopy
        ld hl, ball_start
        ld de, balls
        ld bc, BALLS * 6
        ldir
        ld a, 0xE2              ; interrupt on
        ld b, 1
        call set_reg
idle:
        halt
        jr idle

; Video interrupt: move every ball and show it where it is.
video_interrupt:
        push af
        push bc
        push de
        push hl
        push ix
        in a, (0xBF)
        ld ix, balls
        ld b, BALLS
        call move_sprites
        pop ix
        pop hl
        pop de
        pop bc
        pop af
        retn

; A = pattern byte of a quarter-block row: bit 0 lights the left half, bit 1 the right half.
quarter_byte:
        ld c, 0
        bit 0, a
        jr z, no_left
        ld c, 0xF0
no_left:
        bit 1, a
        jr z, no_right
        ld e, a
        ld a, c
        or 0x0F
        ld c, a
        ld a, e
no_right:
        ld a, c
        ret

; Writes A to the data port B times.
out_b_times:
        out (0xBE), a
        djnz out_b_times
        ret

        include "vdp_routines.asm"
        include "sprite_routines.asm"

dot:    db 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00
line:   db 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00
ball:   db 0x01, 0x0F, 0x1F, 0x3F, 0x7F, 0x7F, 0x7F, 0xFF
        db 0xFF, 0x7F, 0x7F, 0x7F, 0x3F, 0x1F, 0x0F, 0x01
        db 0x80, 0xF0, 0xF8, 0xFC, 0xFE, 0xFE, 0xFE, 0xFF
        db 0xFF, 0xFE, 0xFE, 0xFE, 0xFC, 0xF8, 0xF0, 0x80
; Y, X, Y step, X step, colour, pattern of each ball.
ball_start:
        db 20, 10, 1, 1, 0x08, 0
        db 60, 70, 0xFF, 2, 0x0A, 0
        db 100, 130, 2, 0xFF, 0x02, 0
        db 140, 190, 0xFE, 1, 0x0D, 0
        db 40, 230, 1, 0xFE, 0x0F, 0
        db 120, 40, 0xFF, 3, 0x07, 0
; The name in quarter-block tiles, 21 x 4 (0x20 is the plain field).
letters:
        db 0x85, 0x20, 0x85, 0x87, 0x83, 0x81, 0x85, 0x20, 0x20, 0x85, 0x88, 0x81, 0x86, 0x83, 0x84, 0x87, 0x83, 0x84, 0x86, 0x83, 0x84
        db 0x85, 0x20, 0x85, 0x8D, 0x8C, 0x20, 0x85, 0x20, 0x20, 0x8D, 0x81, 0x20, 0x85, 0x20, 0x85, 0x8D, 0x8C, 0x81, 0x85, 0x20, 0x85
        db 0x8A, 0x8A, 0x20, 0x85, 0x20, 0x20, 0x85, 0x20, 0x20, 0x85, 0x89, 0x20, 0x85, 0x20, 0x85, 0x85, 0x89, 0x20, 0x85, 0x20, 0x85
        db 0x20, 0x81, 0x20, 0x83, 0x83, 0x81, 0x83, 0x83, 0x81, 0x81, 0x20, 0x81, 0x82, 0x83, 0x20, 0x81, 0x20, 0x81, 0x82, 0x83, 0x20

        ds 0x9000 - $, 0xFF
