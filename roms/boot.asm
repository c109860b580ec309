; Velkoro boot ROM: the 8 KB image the console starts from, and what cartridges may rely on in it.
;
; Start-up: interrupts off, the stack below the ROM's own RAM (0x73B9-0x73FF), the sound chip
; silenced, the display blanked; then the cartridge header at 0x8000 decides. Bytes 0x55, 0xAA
; start the cartridge at once; bytes 0xAA, 0x55 first show our title screen for 180 frames (the
; cartridge's title text "LINE3/LINE2/YYYY" from 0x8024: its two lines and the year); anything
; else leaves a blank screen and a halted processor. A cartridge starts by a jump to the address
; held at 0x800A.
;
; Layout:
;   0x0000          start-up
;   0x0008..0x0030  RST 08h..30h: jumps to the cartridge's slots 0x800C, 0x800F, ... 0x801B
;   0x0038          RST 38h (the maskable interrupt in mode 1): jump to the slot at 0x801E
;   0x0066          video interrupt (NMI): jump to the slot at 0x8021
;   0x0069          the frame rate, 60
;   0x006A          address of the font's 'A'
;   0x006C          address of the font's '0' (the font holds 0x20..0x7F, 128 bytes before it)
;   0x00C9          silence: the four channels off, then RET
;   0x00DA          the boot code, the title screen and the font
;   0x1FD6          jump to silence
; Every byte not used is RET (0xC9): a program that calls an entry point we do not provide comes
; straight back. The jump at 0x1FD6 reads C3 C9 00, so that a call to any of its three bytes
; returns too.

STACK   equ 0x73B9
FILL    equ 0xC9                ; RET
HEADER  equ 0x8000
START   equ 0x800A              ; the cartridge's start address
TITLE   equ 0x8024              ; the cartridge's title text
FRAMES  equ 180                 ; about 3 s at 60 frames a second

NAMES   equ 0x1800              ; title screen tables: graphics I
COLOURS equ 0x2000
SPRITES equ 0x1B00
YELLOW  equ 0x80                ; added to a character: its yellow copy (names 0xA0..0xFF)

        org 0x0000
        di
        ld sp, STACK
        jp boot
        ds 0x0008 - $, FILL
        jp 0x800C
        ds 0x0010 - $, FILL
        jp 0x800F
        ds 0x0018 - $, FILL
        jp 0x8012
        ds 0x0020 - $, FILL
        jp 0x8015
        ds 0x0028 - $, FILL
        jp 0x8018
        ds 0x0030 - $, FILL
        jp 0x801B
        ds 0x0038 - $, FILL
        jp 0x801E
        ds 0x0066 - $, FILL
        jp 0x8021
        db 60
        dw font + ('A' - ' ') * 8
        dw font + ('0' - ' ') * 8
        ds 0x00C9 - $, FILL

; The four channels off (tones 0..2 and noise at attenuation 15). A is lost.
silence:
        ld a, 0x9F
        out (0xFF), a
        ld a, 0xBF
        out (0xFF), a
        ld a, 0xDF
        out (0xFF), a
        ld a, 0xFF
        out (0xFF), a
        ret

boot:
        im 1
        call silence
        in a, (0xBF)            ; forgets a half-written register pair
        call blank
        ld hl, (HEADER)         ; L = first byte, H = second byte
        ld de, 0xAA55
        or a
        sbc hl, de
        jp z, start_cartridge
        ld hl, (HEADER)
        ld de, 0x55AA
        or a
        sbc hl, de
        jr z, title_screen
halted:
        halt                    ; no interrupt can come: DI, and the video interrupt is off
        jr halted

title_screen:
        ld hl, title_regs
        call load_regs
        ld hl, 0x0000           ; patterns: blank, the rule at name 0x01, the font twice
        ld bc, 0x0800
        ld e, 0
        call vfill
        ld hl, 0x0008
        ld de, rule
        ld bc, 8
        call vcopy
        ld hl, 0x0100
        ld de, font
        ld bc, 768
        call vcopy
        ld hl, 0x0100 + YELLOW * 8
        ld de, font
        ld bc, 768
        call vcopy
        ld hl, COLOURS
        ld de, title_colours
        ld bc, 32
        call vcopy
        ld hl, SPRITES          ; no sprites
        ld bc, 1
        ld e, 0xD0
        call vfill
        ld hl, NAMES
        ld bc, 768
        ld e, ' '
        call vfill
        ld hl, NAMES + 1 * 32
        ld bc, 32
        ld e, 0x01
        call vfill
        ld hl, NAMES + 22 * 32
        ld bc, 32
        ld e, 0x01
        call vfill
        ld de, heading
        ld b, heading_end - heading
        ld c, 0
        ld hl, NAMES + 4 * 32
        call show_line

        ; The title text: line 3, '/', line 2, '/', the year.
        ld hl, TITLE
        ld c, 32
        call field
        push hl
        ld hl, NAMES + 12 * 32  ; line 3, white
        ld c, 0
        call show_line
        pop hl
        ld c, 32
        call field
        push hl
        ld hl, NAMES + 10 * 32  ; line 2, yellow
        ld c, YELLOW
        call show_line
        pop hl
        ld c, 4
        call field
        ld hl, NAMES + 15 * 32  ; the year, yellow
        ld c, YELLOW
        call show_line

        ld a, 0xC0              ; display on, video interrupt off
        ld b, 1
        call set_reg
        ld b, FRAMES
title_wait:
        call wait_frame
        djnz title_wait
        call blank

start_cartridge:
        ld sp, STACK
        ld hl, (START)
        jp (hl)

; Display off, video interrupt off, graphics I.
blank:
        xor a
        ld b, 0
        call set_reg
        ld a, 0x80
        ld b, 1
        jp set_reg

; One field of the title text from HL: at most C characters, ended early by '/'. Returns its
; start in DE and its length in B, and HL at the start of the next field.
field:
        ld d, h
        ld e, l
        ld b, 0
field_next:
        ld a, b
        cp c
        ret z
        ld a, (hl)
        inc hl
        cp '/'
        ret z
        inc b
        jr field_next

; Shows B characters from DE centred on the name table row that starts at HL, C added to each
; name (0 or YELLOW). Bytes that are not characters 0x20..0x7F show as spaces.
show_line:
        ld a, b
        or a
        ret z
        ld a, 32
        sub b
        srl a
        add a, l                ; a row starts at a multiple of 32: no carry
        ld l, a
        call set_write
show_next:
        ld a, (de)
        inc de
        cp 0x20
        jr c, show_space
        cp 0x80
        jr c, show_char
show_space:
        ld a, ' '
show_char:
        add a, c
        out (0xBE), a
        djnz show_next
        ret

        include "vdp_routines.asm"

; Graphics I, display off while the screen is built; names 0x1800, colours 0x2000, patterns
; 0x0000, sprites 0x1B00 and 0x3800, dark blue backdrop.
title_regs:
        db 0x00, 0x80, 0x06, 0x80, 0x00, 0x36, 0x07, 0x04
; Colour groups: the rule cyan, the font white, its copy yellow.
title_colours:
        db 0x70, 0x70, 0x70, 0x70
        db 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0
        db 0x00, 0x00, 0x00, 0x00
        db 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0
rule:
        db 0x00, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0x00, 0x00
heading:
        db "V E L K O R O"
heading_end:

        include "boot_font.asm"

        ds 0x1FD6 - $, FILL
        jp silence
        ds 0x2000 - $, FILL
