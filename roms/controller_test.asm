; Velkoro controller and sound test: a graphics I screen in the boot ROM's font that names what is
; held on both controllers (stick, the two fire buttons, the keypad), a ring for each player that
; the stick moves inside a box, and sound: the left fire button plays a tone on channel 0 (440 Hz
; for player 1, 330 Hz for player 2), the right fire button one on channel 1 (658 Hz, 495 Hz), a
; digit key a note of a scale on channel 2, '*' a burst of noise that fades, and '#' puts the
; rings back in their places. The program polls the frame flag; the video interrupt stays off.
        include "cartridge_header.asm"
        db "A VELKORO TEST CARTRIDGE/CONTROLLER AND SOUND TEST/2026"

JOY1    equ 0x7000              ; the four controller reads of this frame: joystick mode
JOY2    equ 0x7001
KEY1    equ 0x7002              ; keypad mode
KEY2    equ 0x7003
RINGS   equ 0x7004              ; X, Y of ring 1, then of ring 2
BURST   equ 0x7008              ; frames of noise still to come
STAR_WAS equ 0x7009             ; '*' was held in the last frame

NAMES   equ 0x1800
YELLOW  equ 0x80                ; added to a character: its yellow copy
ROW_STICK equ 5                 ; the rows of the values
ROW_FIRE_L equ 6
ROW_FIRE_R equ 7
ROW_KEY equ 8
BOX     equ 10                  ; the top row of the box
COL1    equ 9                   ; the columns of player 1's and player 2's values
COL2    equ 20
TOP     equ 88                  ; the inside of the box, in pixels
BOTTOM  equ 128                 ; the lowest top edge of a ring
LEFT    equ 8
RIGHT   equ 232

start:
        ld hl, regs
        call load_regs
        call draw_screen
        call centre_rings
        xor a
        ld (BURST), a
        ld (STAR_WAS), a
        ld a, 0xC2              ; display on
        ld b, 1
        call set_reg
frame:
        call wait_frame
        call read_pads
        call show_pads
        call move_rings
        call play_sounds
        jr frame

video_interrupt:                ; never enabled
        in a, (0xBF)
        retn

; The four reads: both controllers in joystick mode, then in keypad mode.
read_pads:
        out (0xC0), a
        in a, (0xFC)
        ld (JOY1), a
        in a, (0xFF)
        ld (JOY2), a
        out (0x80), a
        in a, (0xFC)
        ld (KEY1), a
        in a, (0xFF)
        ld (KEY2), a
        ret

; --- The screen ---

draw_screen:
        ld hl, 0x0000           ; patterns: blank, the box pieces, the font twice
        ld bc, 0x0800
        ld e, 0
        call vfill
        ld hl, 0x0008
        ld de, box_pieces
        ld bc, 6 * 8
        call vcopy
        ld hl, (0x006C)         ; the boot ROM's font, 128 bytes before its '0'
        ld de, -128
        add hl, de
        push hl
        ex de, hl
        ld hl, 0x0100
        ld bc, 768
        call vcopy
        pop de
        ld hl, 0x0100 + YELLOW * 8
        ld bc, 768
        call vcopy
        ld hl, 0x2000
        ld de, colours
        ld bc, 32
        call vcopy
        ld hl, 0x3800           ; the ring
        ld de, ring
        ld bc, 32
        call vcopy
        ld hl, NAMES
        ld bc, 768
        ld e, ' '
        call vfill
        ld hl, texts            ; every fixed text: row, column, colour offset, characters, 0
draw_texts:
        ld a, (hl)
        cp 0xFF
        jr z, draw_box
        inc hl
        push hl
        ld l, a                 ; NAMES + row x 32 + column
        ld h, 0
        add hl, hl
        add hl, hl
        add hl, hl
        add hl, hl
        add hl, hl
        ld de, NAMES
        add hl, de
        pop de
        ld a, (de)
        inc de
        add a, l
        ld l, a
        ld a, (de)
        inc de
        ld c, a
        call set_write
text_char:
        ld a, (de)
        inc de
        or a
        jr z, draw_texts_next
        add a, c
        out (0xBE), a
        jr text_char
draw_texts_next:
        ex de, hl
        jr draw_texts
draw_box:
        ld hl, NAMES + BOX * 32
        ld de, box_top
        ld bc, 32
        call vcopy
        ld b, 7
        ld hl, NAMES + (BOX + 1) * 32
box_sides:
        push bc
        push hl
        ld bc, 1
        ld e, 0x02
        call vfill
        pop hl
        push hl
        ld de, 31
        add hl, de
        ld bc, 1
        ld e, 0x02
        call vfill
        pop hl
        ld de, 32
        add hl, de
        pop bc
        djnz box_sides
        ld de, box_bottom
        ld bc, 32
        jp vcopy

; Writes the values of both players: stick, left fire, right fire, key.
show_pads:
        ld a, (JOY1)
        ld hl, NAMES + ROW_STICK * 32 + COL1
        call show_stick
        ld a, (JOY2)
        ld hl, NAMES + ROW_STICK * 32 + COL2
        call show_stick
        ld a, (JOY1)
        ld hl, NAMES + ROW_FIRE_L * 32 + COL1
        call show_fire
        ld a, (JOY2)
        ld hl, NAMES + ROW_FIRE_L * 32 + COL2
        call show_fire
        ld a, (KEY1)
        ld hl, NAMES + ROW_FIRE_R * 32 + COL1
        call show_fire
        ld a, (KEY2)
        ld hl, NAMES + ROW_FIRE_R * 32 + COL2
        call show_fire
        ld a, (KEY1)
        ld hl, NAMES + ROW_KEY * 32 + COL1
        call show_key
        ld a, (KEY2)
        ld hl, NAMES + ROW_KEY * 32 + COL2
        ; falls through for player 2's key

; Writes the name of the key held in keypad read A at HL.
show_key:
        push hl
        call key_index
        ld e, a
        ld d, 0
        ld hl, key_names
        add hl, de
        ex de, hl
        pop hl
        ld bc, 1
        jp vcopy

; Writes the stick of joystick read A (bits 0..3 up, right, down, left; 0 = held) at HL.
show_stick:
        cpl
        and 0x0F
        ld e, a                 ; x 10
        ld d, 0
        push hl
        ld h, d
        ld l, e
        add hl, hl
        add hl, hl
        add hl, de
        add hl, hl
        ld de, stick_names
        add hl, de
        ex de, hl
        pop hl
        ld bc, 10
        jp vcopy

; Writes PRESSED or '-' at HL for the fire button of read A (bit 6, 0 = held).
show_fire:
        ld de, released
        bit 6, a
        jr nz, show_fire_text
        ld de, pressed
show_fire_text:
        ld bc, 10
        jp vcopy

; --- The rings ---

centre_rings:
        ld hl, ring_start
        ld de, RINGS
        ld bc, 4
        ldir
        ret

; Moves each ring two pixels a frame by its stick, inside the box; '#' centres both.
move_rings:
        ld a, (KEY1)
        call key_index
        cp 11
        call z, centre_rings
        ld a, (KEY2)
        call key_index
        cp 11
        call z, centre_rings
        ld a, (JOY1)
        ld hl, RINGS
        call move_ring
        ld a, (JOY2)
        ld hl, RINGS + 2
        call move_ring
        ld hl, 0x1B00           ; the attribute table: Y, X, pattern, colour of each ring
        call set_write
        ld hl, RINGS
        ld a, 0x09
        call put_ring
        ld a, 0x03
        call put_ring
        ld a, 0xD0
        out (0xBE), a
        ret

; Writes the attributes of the ring at HL (X, Y) in colour A; HL moves to the next ring.
put_ring:
        ld c, a
        ld e, (hl)
        inc hl
        ld a, (hl)
        inc hl
        dec a                   ; a sprite shows from the line below its Y
        out (0xBE), a
        ld a, e
        out (0xBE), a
        xor a
        out (0xBE), a
        ld a, c
        out (0xBE), a
        ret

; Moves the ring at HL (X, Y) by joystick read A.
move_ring:
        ld c, a
        bit 3, c                ; left
        jr nz, not_left
        ld a, (hl)
        sub 2
        cp LEFT
        jr nc, set_x
        ld a, LEFT
        jr set_x
not_left:
        bit 1, c                ; right
        jr nz, vertical
        ld a, (hl)
        add a, 2
        cp RIGHT + 1
        jr c, set_x
        ld a, RIGHT
set_x:
        ld (hl), a
vertical:
        inc hl
        bit 0, c                ; up
        jr nz, not_up
        ld a, (hl)
        sub 2
        cp TOP
        jr nc, set_y
        ld a, TOP
        jr set_y
not_up:
        bit 2, c                ; down
        ret nz
        ld a, (hl)
        add a, 2
        cp BOTTOM + 1
        jr c, set_y
        ld a, BOTTOM
set_y:
        ld (hl), a
        ret

; --- The sound ---

play_sounds:
        ld a, (JOY1)            ; channel 0: the left fire buttons
        ld hl, 254
        bit 6, a
        jr z, left_tone
        ld a, (JOY2)
        ld hl, 339
        bit 6, a
        jr z, left_tone
        ld hl, 0
left_tone:
        xor a
        call tone
        ld a, (KEY1)            ; channel 1: the right fire buttons
        ld hl, 170
        bit 6, a
        jr z, right_tone
        ld a, (KEY2)
        ld hl, 226
        bit 6, a
        jr z, right_tone
        ld hl, 0
right_tone:
        ld a, 1
        call tone
        ld a, (KEY1)            ; channel 2: a digit of either keypad
        call key_index
        cp 10
        jr c, digit
        ld a, (KEY2)
        call key_index
        cp 10
        jr c, digit
        ld hl, 0
        jr digit_tone
digit:
        add a, a
        ld e, a
        ld d, 0
        ld hl, scale
        add hl, de
        ld e, (hl)
        inc hl
        ld d, (hl)
        ex de, hl
digit_tone:
        ld a, 2
        call tone

        ld a, (KEY1)            ; noise: a new press of '*' on either keypad
        call key_index
        ld b, a
        ld a, (KEY2)
        call key_index
        cp 10
        ld a, b
        jr nz, star_checked
        ld a, 10
star_checked:
        sub 10                  ; 0 when '*' is held
        ld hl, STAR_WAS
        jr z, star_held
        ld (hl), 0
        jr noise
star_held:
        ld a, (hl)
        ld (hl), 1
        or a
        jr nz, noise
        ld a, 0xE5              ; white noise, the middle rate
        out (0xFF), a
        ld a, 32
        ld (BURST), a
noise:
        ld a, (BURST)
        ld e, 15
        or a
        jr z, noise_level
        dec a
        ld (BURST), a
        cpl                     ; louder at first: attenuation (31 - frames left) / 2
        and 31
        srl a
        ld e, a
noise_level:
        ld a, 3
        jp set_level

; Tone channel A plays period HL at attenuation 1, or is silent when HL is 0.
tone:
        ld b, a
        ld e, 15
        ld a, h
        or l
        jr z, tone_level
        ld a, b
        call set_period
        ld e, 1
tone_level:
        ld a, b
        jp set_level

        include "vdp_routines.asm"
        include "sound_routines.asm"
        include "keypad_routines.asm"

; Graphics I, display off while the screen is built, 16 x 16 sprites; names 0x1800, colours
; 0x2000, patterns 0x0000, sprite attributes 0x1B00, sprite patterns 0x3800; dark blue backdrop.
regs:   db 0x00, 0x82, 0x06, 0x80, 0x00, 0x36, 0x07, 0x04
; Colour groups: the box cyan, the font white, its copy yellow.
colours:
        db 0x70, 0x70, 0x70, 0x70
        db 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0
        db 0x00, 0x00, 0x00, 0x00
        db 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0, 0xA0
; Names 0x01..0x06: the box's horizontal and vertical lines and its four corners.
box_pieces:
        db 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00
        db 0x18, 0x18, 0x18, 0x18, 0x18, 0x18, 0x18, 0x18
        db 0x00, 0x00, 0x00, 0x1F, 0x1F, 0x18, 0x18, 0x18
        db 0x00, 0x00, 0x00, 0xF8, 0xF8, 0x18, 0x18, 0x18
        db 0x18, 0x18, 0x18, 0x1F, 0x1F, 0x00, 0x00, 0x00
        db 0x18, 0x18, 0x18, 0xF8, 0xF8, 0x00, 0x00, 0x00
box_top:
        db 0x03
        ds 30, 0x01
        db 0x04
box_bottom:
        db 0x05
        ds 30, 0x01
        db 0x06
ring:   db 0x07, 0x1F, 0x38, 0x70, 0x60, 0xE1, 0xC3, 0xC7, 0xC7, 0xC3, 0xE1, 0x60, 0x70, 0x38, 0x1F, 0x07
        db 0xE0, 0xF8, 0x1C, 0x0E, 0x06, 0x87, 0xC3, 0xE3, 0xE3, 0xC3, 0x87, 0x06, 0x0E, 0x1C, 0xF8, 0xE0
ring_start:
        db 64, 100, 176, 100
key_names:
        db "0123456789*#-"
; Stick bits (1 up, 2 right, 4 down, 8 left) -> its name, ten characters.
stick_names:
        db "-         UP        RIGHT     UP RIGHT  DOWN      UP DOWN   DOWN RIGHTUP DN RT  "
        db "LEFT      UP LEFT   LEFT RIGHTUP LT RT  DOWN LEFT UP DN LT  DN LT RT  ALL FOUR  "
pressed:
        db "PRESSED   "
released:
        db "-         "
; The periods of the digits' notes: 0 is E6, 1..9 are C5 D5 E5 F5 G5 A5 B5 C6 D6.
scale:
        dw 85, 214, 190, 170, 160, 143, 127, 113, 107, 95
; The fixed texts: row, column, colour offset, characters, 0; 0xFF ends the list.
texts:
        db 1, 3, YELLOW, "CONTROLLER AND SOUND TEST", 0
        db 3, COL1, YELLOW, "PLAYER 1", 0
        db 3, COL2, YELLOW, "PLAYER 2", 0
        db ROW_STICK, 1, 0, "STICK", 0
        db ROW_FIRE_L, 1, 0, "FIRE L", 0
        db ROW_FIRE_R, 1, 0, "FIRE R", 0
        db ROW_KEY, 1, 0, "KEYPAD", 0
        db 20, 1, 0, "FIRE BUTTONS: TONES", 0
        db 21, 1, 0, "DIGITS: NOTES   *: NOISE", 0
        db 22, 1, 0, "#: RINGS BACK TO START", 0
        db 0xFF

        ds 0xA000 - $, 0xFF
