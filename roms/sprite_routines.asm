; The sprite routines our cartridges share.

; Moves B sprites whose records start at IX (Y, X, Y step, X step, colour, pattern name: six
; bytes each), X wrapping round the screen and Y bouncing between lines 8 and 168, then writes
; them to the sprite attribute table at 0x1B00, ended by 0xD0.
move_sprites:
        push bc
        push ix
        ld de, 6
sprite_move:
        ld a, (ix + 1)
        add a, (ix + 3)
        ld (ix + 1), a
        ld a, (ix + 0)
        add a, (ix + 2)
        ld (ix + 0), a
        cp 8
        jr c, sprite_bounce
        cp 168
        jr c, sprite_moved
sprite_bounce:
        ld a, (ix + 2)
        neg
        ld (ix + 2), a
sprite_moved:
        add ix, de
        djnz sprite_move
        ld hl, 0x1B00
        call set_write
        pop ix
        pop bc
sprite_put:
        ld a, (ix + 0)
        out (0xBE), a
        ld a, (ix + 1)
        out (0xBE), a
        ld a, (ix + 5)
        out (0xBE), a
        ld a, (ix + 4)
        out (0xBE), a
        add ix, de
        djnz sprite_put
        ld a, 0xD0
        out (0xBE), a
        ret
