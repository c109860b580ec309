; Velkoro graphics demo. Two pages, switched with the keypad (1 the picture, 2 the colours, 0 the
; other page; on the handheld L is key 0):
;   - the picture, in graphics II: a night sky with stars, a striped setting sun, black mountains
;     and a magenta grid running to the horizon, all drawn by the program at start;
;   - the colours, in multicolour: diagonal rainbow bands that slide to the left.
; On both, four 16 x 16 sprites (two saucers and two stars) fly across; when sprites collide
; the border flashes white. A tune in C major plays on the three tone channels: melody, chords
; and bass. The program polls the frame flag; the video interrupt stays off.
        include "cartridge_header.asm"
        db "A VELKORO DEMO CARTRIDGE/GRAPHICS DEMO/2026"

; Work space while the picture is drawn: one row of tiles (eight lines of 32 tiles, tile by tile)
; of patterns and of colours, the mountains' height at every column, one line of the grid.
PAT_ROW equ 0x7000
COL_ROW equ 0x7100
HEIGHTS equ 0x7200
GRID    equ 0x7300
; Variables.
LINE_Y  equ 0x7320              ; the line being drawn
SKY     equ 0x7321              ; its sky colour
SUN_L   equ 0x7322              ; its sun's first and last column, or SUN_L > SUN_R
SUN_R   equ 0x7323
SUN_C   equ 0x7324              ; its sun's colour
HLINE   equ 0x7325              ; the next horizontal line of the grid (a pointer)
SEED    equ 0x7327              ; random stars
SPRITES equ 0x7330              ; four records: Y, X, Y step, X step, colour, pattern
PAGE    equ 0x7348              ; 0 the picture, 1 the colours
LAST_KEY equ 0x7349
SCROLL  equ 0x734A              ; the colours' name table offset, 0..31
FLASH   equ 0x734B              ; frames of white border still to show
TUNE_AT equ 0x734C              ; the next step of the tune (a pointer)
STEP_LEFT equ 0x734E            ; frames until that step
LEVELS  equ 0x734F              ; each channel's attenuation
DECAY   equ 0x7352              ; frames until the levels fall again
FRAME   equ 0x7353              ; frame counter

HORIZON equ 96
SUN_X   equ 128
SUN_Y   equ 48
SUN_RADIUS equ 24
PEAKS_TOP equ 72                ; no mountain rises above this line
MOUNTAIN equ 0x01               ; black
GRID_FG equ 0x0D                ; magenta
GROUND  equ 0x01
HORIZON_FG equ 0x09             ; light red
STAR    equ 0x0F                ; white
BORDER  equ 0x01
STEP_FRAMES equ 8               ; an eighth note
REST    equ 0xFF

start:
        ld a, 0x82              ; display off
        ld b, 1
        call set_reg
        ld hl, 0x2000           ; the picture's colours all black, no sprites
        ld bc, 0x1800
        ld e, 0x11
        call vfill
        ld hl, 0x1B00
        ld bc, 1
        ld e, 0xD0
        call vfill
        xor a
        ld (PAGE), a
        call show_page          ; display on: the picture appears as it is drawn, top down
        call draw_picture
        call draw_colours
        ld hl, 0x3800 + 0xC0 * 8 ; the sprites' patterns: names 0xC0 (saucer) and 0xC4 (star)
        ld de, sprite_patterns
        ld bc, 64
        call vcopy
        ld hl, sprite_start
        ld de, SPRITES
        ld bc, 4 * 6
        ldir
        xor a
        ld (SCROLL), a
        ld (FLASH), a
        ld (FRAME), a
        ld a, NO_KEY
        ld (LAST_KEY), a
        call tune_start
        call show_page
main_loop:
        call wait_frame
        bit 5, a                ; sprites collided in that frame
        jr z, no_collision
        ld a, 8
        ld (FLASH), a
no_collision:
        ld hl, FRAME
        inc (hl)
        ld ix, SPRITES
        ld b, 4
        call move_sprites
        call flash_border
        call tune_tick
        call read_keys
        call scroll_colours
        jr main_loop

video_interrupt:                ; never enabled
        in a, (0xBF)
        retn

; --- Pages ---

; Keypad 1 shows the picture, 2 the colours, 0 the other page; a key acts once per press.
read_keys:
        out (0x80), a
        in a, (0xFC)
        call key_index
        ld hl, LAST_KEY
        cp (hl)
        ret z
        ld (hl), a
        ld hl, PAGE
        cp 1
        jr z, page_1
        cp 2
        jr z, page_2
        or a
        ret nz
        ld a, (hl)
        xor 1
        jr set_page
page_1:
        xor a
        jr set_page
page_2:
        ld a, 1
set_page:
        ld (hl), a

; Registers and name table of the current page.
show_page:
        ld a, (PAGE)
        or a
        jr nz, show_colours
        ld hl, picture_regs
        call load_regs
        ld hl, 0x1800           ; every tile its own pattern: names 0..255 in each third
        ld d, 3
        call set_write
        xor a
picture_names:
        out (0xBE), a
        inc a
        jr nz, picture_names
        dec d
        jr nz, picture_names
        ret
show_colours:
        ld hl, colour_regs
        call load_regs
        jr colour_names

; Every other frame the colours move one name (eight pixels) to the left.
scroll_colours:
        ld a, (PAGE)
        or a
        ret z
        ld a, (FRAME)
        and 1
        ret nz
        ld a, (SCROLL)
        inc a
        and 31
        ld (SCROLL), a
; The multicolour name table: row r, column c shows name (r / 4) x 32 + (c + SCROLL) mod 32.
colour_names:
        ld hl, 0x1800
        call set_write
        ld d, 0                 ; name row
colour_row:
        ld a, d
        and 0x1C                ; (r / 4) x 32 = (r AND 0x1C) x 8
        add a, a
        add a, a
        add a, a
        ld e, a
        ld a, (SCROLL)
        ld c, a
        ld b, 32
colour_name:
        ld a, c
        and 31
        or e
        out (0xBE), a
        inc c
        djnz colour_name
        inc d
        ld a, d
        cp 24
        jr nz, colour_row
        ret

; The multicolour patterns at 0x3800, names 0..191: block (x, y) takes colour band
; ((x + y) / 4) mod 16, so that the bands run diagonally and repeat every 32 names.
draw_colours:
        ld hl, 0x3800
        call set_write
        ld d, 0                 ; block row of the byte: 8 x name group + byte
        ld e, 6                 ; name groups
colour_group:
        ld c, 0                 ; block column of the left half: 2 x name column
colour_column:
        ld b, 8
        push de
colour_byte:
        ld a, c
        add a, d
        call band_colour
        add a, a
        add a, a
        add a, a
        add a, a
        ld h, a
        ld a, c
        inc a
        add a, d
        call band_colour
        or h
        out (0xBE), a
        inc d
        djnz colour_byte
        pop de
        inc c
        inc c
        ld a, c
        cp 64
        jr nz, colour_column
        ld a, d
        add a, 8
        ld d, a
        dec e
        jr nz, colour_group
        ret

; A = the colour of band (A / 4) mod 16.
band_colour:
        push hl
        rrca
        rrca
        and 15
        ld l, a
        ld h, 0
        push de
        ld de, bands
        add hl, de
        pop de
        ld a, (hl)
        pop hl
        ret

; --- The picture ---

draw_picture:
        call mountain_heights
        ld hl, grid_lines
        ld (HLINE), hl
        ld a, 0x5A
        ld (SEED), a
        xor a
        ld (LINE_Y), a
picture_row:
        ld c, 0                 ; line within the row of tiles
picture_line:
        push bc
        call draw_line
        pop bc
        ld hl, LINE_Y
        inc (hl)
        inc c
        ld a, c
        cp 8
        jr nz, picture_line
        ld a, (LINE_Y)          ; row r of tiles: patterns at r x 256, colours 0x2000 above
        dec a
        and 0xF8
        rrca
        rrca
        rrca
        ld h, a
        ld l, 0
        push hl
        call set_write
        ld hl, PAT_ROW
        ld bc, 0x00BE           ; 256 bytes to the data port
        otir
        pop hl
        ld a, h
        add a, 0x20
        ld h, a
        call set_write
        ld hl, COL_ROW
        ld bc, 0x00BE
        otir
        ld a, (LINE_Y)
        cp 192
        jr nz, picture_row
        ret

; The height of the mountains at every column: the lowest of the peaks' slopes (one line down
; every two columns), HORIZON where none reaches.
mountain_heights:
        ld hl, HEIGHTS
        ld c, 0
height_column:
        ld b, HORIZON
        ld de, peaks
height_peak:
        ld a, (de)
        or a
        jr z, height_done
        ld a, c                 ; |column - peak's column| / 2 + peak's top
        ex de, hl
        sub (hl)
        jr nc, height_right
        neg
height_right:
        inc hl
        srl a
        add a, (hl)
        inc hl
        ex de, hl
        cp b
        jr nc, height_peak
        ld b, a
        jr height_peak
height_done:
        ld (hl), b
        inc hl
        inc c
        jr nz, height_column
        ret

; Draws line LINE_Y (with C its line within the tile row) into PAT_ROW and COL_ROW.
draw_line:
        ld hl, PAT_ROW          ; the line's first byte: tile 0, line C
        ld b, 0
        add hl, bc
        ld a, (LINE_Y)
        cp HORIZON
        jp nc, ground_line

        rrca                    ; the sky's colour by rows of tiles
        rrca
        rrca
        and 0x0F
        ld e, a
        ld d, 0
        push hl
        ld hl, sky_colours
        add hl, de
        ld a, (hl)
        ld (SKY), a
        ld a, 1                 ; no sun on this line unless the table says so
        ld (SUN_L), a
        xor a
        ld (SUN_R), a
        ld a, (LINE_Y)
        sub SUN_Y - SUN_RADIUS
        jr c, sun_done
        cp 2 * SUN_RADIUS + 1
        jr nc, sun_done
        ld e, a
        rrca                    ; the sun's colour by bands of eight lines
        rrca
        rrca
        and 7
        ld hl, sun_colours
        add a, l
        ld l, a
        jr nc, sun_colour
        inc h
sun_colour:
        ld a, (hl)
        ld (SUN_C), a
        ld hl, sun_widths
        add hl, de
        ld a, (hl)
        cp 0xFF                 ; a gap between the sun's stripes
        jr z, sun_done
        ld e, a
        ld a, SUN_X
        sub e
        ld (SUN_L), a
        ld a, SUN_X
        add a, e
        ld (SUN_R), a
sun_done:
        pop hl

        ld c, 0                 ; the tile's first column
sky_tile:
        push hl
        call mountain_bits
        ld d, MOUNTAIN
        or a
        jr nz, sky_put
        call sun_bits
        ld a, (SUN_C)
        ld d, a
        ld a, e
        or a
        jr nz, sky_put
        call star_bits
        ld d, STAR
sky_put:
        pop hl
        ld (hl), a              ; the pattern byte
        inc h
        ld a, d                 ; the colour byte: the ink over the sky
        add a, a
        add a, a
        add a, a
        add a, a
        ld d, a
        ld a, (SKY)
        or d
        ld (hl), a
        dec h
        ld a, l
        add a, 8
        ld l, a
        ld a, c
        add a, 8
        ld c, a
        jr nz, sky_tile
        ret

; A = the mountain's pixels among the eight from column C on this line.
mountain_bits:
        ld a, (LINE_Y)
        cp PEAKS_TOP
        ld a, 0
        ret c
        ld a, (LINE_Y)
        ld e, a
        ld hl, HEIGHTS
        ld l, c
        ld b, 8
        ld d, 0
mountain_pixel:
        ld a, e                 ; a pixel is mountain when the line is at or below its height
        cp (hl)
        ccf
        rl d
        inc l
        djnz mountain_pixel
        ld a, d
        ret

; E = the sun's pixels among the eight from column C on this line.
sun_bits:
        ld e, 0
        ld a, (SUN_L)
        ld b, a
        ld a, (SUN_R)
        cp b
        ret c                   ; no sun on this line
        cp c
        ret c                   ; ends before this tile
        ld a, c
        add a, 7
        cp b
        ret c                   ; starts after it
        ld a, b                 ; first pixel within the tile
        sub c
        jr nc, sun_first
        xor a
sun_first:
        ld hl, masks_from
        add a, l
        ld l, a
        jr nc, sun_from
        inc h
sun_from:
        ld e, (hl)
        ld a, (SUN_R)           ; last pixel within the tile
        sub c
        cp 8
        jr c, sun_last
        ld a, 7
sun_last:
        ld hl, masks_to
        add a, l
        ld l, a
        jr nc, sun_to
        inc h
sun_to:
        ld a, e
        and (hl)
        ld e, a
        ret

; A = a star now and then in the top three rows of tiles, else 0.
star_bits:
        ld a, (LINE_Y)
        cp 24
        ld a, 0
        ret nc
        call random
        cp 10
        ld a, 0
        ret nc
        call random
        and 7
        ld b, a
        ld a, 0x80
        ret z
star_shift:
        rrca
        djnz star_shift
        ret

; A = the next of a 255-long sequence of random bytes.
random:
        ld a, (SEED)
        add a, a
        jr nc, random_done
        xor 0x1D
random_done:
        ld (SEED), a
        ret

; The ground: a magenta grid on black. HL points at the line's first byte.
ground_line:
        ld de, (HLINE)          ; a horizontal line of the grid: every pixel
        ld a, (de)
        ld b, a
        ld a, (LINE_Y)
        cp b
        jr nz, ground_verticals
        inc de
        ld (HLINE), de
        ld d, 0xFF
        ld e, GRID_FG * 16 + GROUND
        cp HORIZON
        jr nz, ground_fill
        ld e, HORIZON_FG * 16 + GROUND
ground_fill:
        ld b, 32
ground_fill_tile:
        ld (hl), d
        inc h
        ld (hl), e
        dec h
        ld a, l
        add a, 8
        ld l, a
        djnz ground_fill_tile
        ret
ground_verticals:
        push hl                 ; the lines running to the middle of the horizon
        ld hl, GRID
        ld bc, 32 * 256
ground_clear:
        ld (hl), c
        inc l
        djnz ground_clear
        ld a, (LINE_Y)          ; their spacing: 8 pixels at the horizon, 7/16 more a line
        sub HORIZON
        ld l, a
        ld h, 0
        add hl, hl
        add hl, hl
        add hl, hl
        add hl, hl
        ld d, h
        ld e, l                 ; 16 d
        add hl, hl
        add hl, hl
        add hl, hl              ; 128 d
        or a
        sbc hl, de              ; 112 d
        ld de, 0x0800
        add hl, de
        ex de, hl               ; DE = spacing, 8.8 fixed point
        ld hl, SUN_X * 256
ground_right:
        call grid_dot
        add hl, de
        jr nc, ground_right
        ld hl, SUN_X * 256
ground_left:
        or a
        sbc hl, de
        jr c, ground_copy
        call grid_dot
        jr ground_left
ground_copy:
        pop hl
        ld de, GRID
        ld b, 32
ground_tile:
        ld a, (de)
        inc e
        ld (hl), a
        inc h
        ld (hl), GRID_FG * 16 + GROUND
        dec h
        ld a, l
        add a, 8
        ld l, a
        djnz ground_tile
        ret

; Sets the grid's pixel at column H (HL in 8.8 fixed point).
grid_dot:
        push de
        push hl
        ld a, h
        and 7
        ld b, a
        ld a, 0x80
        jr z, grid_bit
grid_shift:
        rrca
        djnz grid_shift
grid_bit:
        ld e, a
        ld a, h
        rrca
        rrca
        rrca
        and 31
        ld l, a
        ld h, GRID / 256
        ld a, (hl)
        or e
        ld (hl), a
        pop hl
        pop de
        ret

; --- Sprites ---

; The border is white for eight frames after a collision.
flash_border:
        ld hl, FLASH
        ld a, (hl)
        or a
        ld a, BORDER
        jr z, border_set
        dec (hl)
        ld a, 0x0F
border_set:
        ld b, 7
        jp set_reg

; --- The tune ---

tune_start:
        ld hl, tune_steps
        ld (TUNE_AT), hl
        ld a, 1
        ld (STEP_LEFT), a
        ld (DECAY), a
        ld a, 15
        ld (LEVELS), a
        ld (LEVELS + 1), a
        ld (LEVELS + 2), a
        ret

; Every frame: a new step when it is due, then the three levels, which fall every third frame.
tune_tick:
        ld hl, STEP_LEFT
        dec (hl)
        jr nz, tune_decay
        ld (hl), STEP_FRAMES
        ld hl, (TUNE_AT)
        ld c, 0                 ; channel
tune_note:
        ld a, (hl)
        inc hl
        or a
        jr z, tune_next         ; 0: the note goes on
        push hl
        cp REST
        jr nz, tune_play
        ld hl, LEVELS
        ld b, 0
        add hl, bc
        ld (hl), 15
        jr tune_played
tune_play:
        dec a                   ; note n: period n - 1 of the table, the channel's first level
        add a, a
        ld e, a
        ld d, 0
        ld hl, notes
        add hl, de
        ld e, (hl)
        inc hl
        ld d, (hl)
        ex de, hl
        push bc
        ld a, c
        call set_period
        pop bc
        ld hl, first_levels
        ld b, 0
        add hl, bc
        ld a, (hl)
        ld hl, LEVELS
        add hl, bc
        ld (hl), a
tune_played:
        pop hl
tune_next:
        inc c
        ld a, c
        cp 3
        jr nz, tune_note
        ld de, tune_end         ; the tune starts again after its last step
        or a
        push hl
        sbc hl, de
        pop hl
        jr nz, tune_stored
        ld hl, tune_steps
tune_stored:
        ld (TUNE_AT), hl
tune_decay:
        ld hl, DECAY
        dec (hl)
        jr nz, tune_levels
        ld (hl), 3
        ld hl, LEVELS
        ld b, 3
tune_fall:
        ld a, (hl)
        cp 13
        jr nc, tune_low
        inc (hl)
tune_low:
        inc hl
        djnz tune_fall
tune_levels:
        ld hl, LEVELS
        ld c, 0
tune_level:
        ld e, (hl)
        ld a, c
        call set_level
        inc hl
        inc c
        ld a, c
        cp 3
        jr nz, tune_level
        ret

        include "vdp_routines.asm"
        include "sound_routines.asm"
        include "keypad_routines.asm"
        include "sprite_routines.asm"

; Graphics II, display on, 16 x 16 sprites; names 0x1800, colours 0x2000, patterns 0x0000,
; sprite attributes 0x1B00, sprite patterns 0x3800; black border.
picture_regs:
        db 0x02, 0xC2, 0x06, 0xFF, 0x03, 0x36, 0x07, BORDER
; Multicolour, display on, 16 x 16 sprites; names 0x1800, patterns 0x3800, the same sprites.
colour_regs:
        db 0x00, 0xCA, 0x06, 0xFF, 0x07, 0x36, 0x07, BORDER
; The colours' sixteen bands (no transparent colour, so the border never shows through).
bands:
        db 0x08, 0x09, 0x0A, 0x0B, 0x0F, 0x0B, 0x03, 0x02, 0x0C, 0x07, 0x05, 0x04, 0x01, 0x04, 0x0D, 0x06
; The sky by rows of tiles, top down to the horizon.
sky_colours:
        db 0x01, 0x01, 0x01, 0x04, 0x04, 0x04, 0x05, 0x05, 0x0D, 0x0D, 0x0D, 0x0D
; The sun by bands of eight lines, top down.
sun_colours:
        db 0x0B, 0x0B, 0x0A, 0x0A, 0x09, 0x09, 0x08
; Half the sun's width on each of its lines, top down; 0xFF for the gaps between its stripes.
sun_widths:
        db 0, 6, 9, 11, 13, 14, 15, 16, 17, 18, 19, 20, 20, 21, 21, 22, 22, 22, 23, 23, 23, 23
        db 23, 23, 24, 23, 23, 23, 0xFF, 23, 23, 22, 22, 22, 0xFF, 21, 20, 0xFF, 0xFF, 19
        db 17, 16, 0xFF, 0xFF, 0xFF, 11, 9, 6, 0
; Pixels from column n of a tile to its end, and from its start to column n.
masks_from:
        db 0xFF, 0x7F, 0x3F, 0x1F, 0x0F, 0x07, 0x03, 0x01
masks_to:
        db 0x80, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE, 0xFF
; The mountains' peaks: column, top line; 0 ends the list (no peak stands at column 0).
peaks:
        db 16, 78, 54, 86, 92, 74, 150, 82, 196, 75, 236, 84, 0
; The grid's horizontal lines, ever further apart towards the viewer; 0 ends the list.
grid_lines:
        db 96, 98, 101, 105, 110, 116, 123, 131, 140, 150, 161, 173, 186, 0
; Saucer (name 0xC0) and star (name 0xC4): 16 x 16, left half then right half.
sprite_patterns:
        db 0x00, 0x00, 0x00, 0x03, 0x07, 0x0D, 0x1F, 0x7F, 0xDB, 0x7F, 0x1F, 0x06, 0x0C, 0x18, 0x00, 0x00
        db 0x00, 0x00, 0x00, 0xC0, 0xE0, 0xB0, 0xF8, 0xFE, 0x6B, 0xFE, 0xF8, 0x60, 0x30, 0x18, 0x00, 0x00
        db 0x01, 0x01, 0x03, 0x03, 0x07, 0xFF, 0x7F, 0x3F, 0x1F, 0x0F, 0x1F, 0x1E, 0x3C, 0x38, 0x70, 0x60
        db 0x00, 0x00, 0x80, 0x80, 0xC0, 0xFE, 0xFC, 0xF8, 0xF0, 0xE0, 0xF0, 0xF0, 0x78, 0x38, 0x1C, 0x0C
; Y, X, Y step, X step, colour, pattern of each sprite: two saucers that fly at each other at the
; same height, two stars that bounce up and down on their way across.
sprite_start:
        db 36, 8, 0, 2, 0x07, 0xC0
        db 36, 200, 0, 0xFF, 0x03, 0xC0
        db 60, 30, 1, 1, 0x0F, 0xC4
        db 140, 180, 0xFF, 0xFF, 0x0B, 0xC4

; --- Tune data ---
; Tone periods: 3579545 / (32 x period) Hz.
notes:
        dw 1017, 855, 762, 679, 641, 571, 508, 453 ; A2 C3 D3 E3 F3 G3 A3 B3
        dw 428, 381, 339, 320, 285, 254, 226     ; C4 D4 E4 F4 G4 A4 B4
        dw 214, 190, 170, 160, 143, 127, 113, 107 ; C5 D5 E5 F5 G5 A5 B5 C6
A2      equ 1
C3      equ 2
D3      equ 3
E3      equ 4
F3      equ 5
G3      equ 6
A3      equ 7
B3      equ 8
C4      equ 9
D4      equ 10
E4      equ 11
F4      equ 12
G4      equ 13
A4      equ 14
B4      equ 15
C5      equ 16
D5      equ 17
E5      equ 18
F5      equ 19
G5      equ 20
A5      equ 21
B5      equ 22
C6      equ 23
; Melody, chords and bass start at these attenuations and fade; together they stay within the
; mixer's range.
first_levels:
        db 3, 6, 5
; One step per eighth note: melody, chord, bass; 0 holds the note, REST silences the channel.
tune_steps:
        db C5, E4, C3,  E5, 0, 0,  G5, 0, G3,  E5, 0, 0,  C6, G4, C3,  0, 0, 0,  G5, 0, G3,  0, 0, 0
        db A4, C4, A2,  C5, 0, 0,  E5, 0, E3,  C5, 0, 0,  A5, E4, A2,  0, 0, 0,  E5, 0, E3,  0, 0, 0
        db F4, A3, F3,  A4, 0, 0,  C5, 0, C4,  A4, 0, 0,  F5, C4, F3,  0, 0, 0,  C5, 0, C4,  0, 0, 0
        db G4, B3, G3,  B4, 0, 0,  D5, 0, D4,  B4, 0, 0,  G5, D4, G3,  0, 0, 0,  F5, 0, D4,  D5, 0, 0
        db E5, E4, C3,  0, 0, 0,  D5, 0, G3,  C5, 0, 0,  E5, G4, C3,  0, 0, 0,  G5, 0, G3,  0, 0, 0
        db A5, C4, A2,  0, 0, 0,  G5, 0, E3,  E5, 0, 0,  C5, E4, A2,  0, 0, 0,  E5, 0, E3,  0, 0, 0
        db F5, A3, F3,  0, 0, 0,  E5, 0, C4,  D5, 0, 0,  C5, C4, F3,  0, 0, 0,  A4, 0, C4,  0, 0, 0
        db B4, B3, G3,  0, 0, 0,  D5, 0, D4,  0, 0, 0,  G4, D4, G3,  0, 0, 0,  0, 0, D4,  REST, REST, REST
tune_end:

        ds 0xA000 - $, 0xFF
