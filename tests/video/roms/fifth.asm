; Graphics I with 8 x 8 sprites: the status register at the frame end after each arrangement of
; the sprite table, recorded in RAM from 0x7000 on (0x7006 is 0x5A once all are there):
;   0  six sprites on one line, the list ending at entry 6: the fifth, entry 4, reported
;   1  entry 4 moved down on its own: entry 5 is now the fifth on that line
;   2  entries 5..9 on a line above entries 0..4: the first crowded line counts, entry 9
;   3  the list ending at entry 2: no fifth sprite, the number of the end
;   4  32 entries, no two lines crowded and no end: no fifth sprite, number 31
;   5  the first arrangement with the display off: no fifth sprite
        include "header.asm"
regs:   db 0x00, 0xC0, 0x06, 0x80, 0x00, 0x36, 0x07, 0x05
six:    db 100, 0, 0, 0x0F, 100, 20, 0, 0x0F, 100, 40, 0, 0x0F
        db 100, 60, 0, 0x0F, 100, 80, 0, 0x0F, 100, 100, 0, 0x0F, 0xD0
moved:  db 100, 0, 0, 0x0F, 100, 20, 0, 0x0F, 100, 40, 0, 0x0F
        db 100, 60, 0, 0x0F, 150, 80, 0, 0x0F, 100, 100, 0, 0x0F, 0xD0
two:    db 100, 0, 0, 0x0F, 100, 20, 0, 0x0F, 100, 40, 0, 0x0F, 100, 60, 0, 0x0F, 100, 80, 0, 0x0F
        db 50, 0, 0, 0x0F, 50, 20, 0, 0x0F, 50, 40, 0, 0x0F, 50, 60, 0, 0x0F, 50, 80, 0, 0x0F, 0xD0
ended:  db 100, 0, 0, 0x0F, 100, 20, 0, 0x0F, 0xD0, 40, 0, 0x0F
        db 100, 60, 0, 0x0F, 100, 80, 0, 0x0F, 100, 100, 0, 0x0F, 0xD0

; Copies the BC-byte sprite table at DE, lets a whole frame pass and records its status at HL.
try:
        push hl
        ld hl, 0x1B00
        call vcopy
        in a, (0xBF)            ; the frame flag of an earlier frame end
        call wait_frame
        pop hl
        ld (hl), a
        inc hl
        ret

start:
        ld hl, regs
        call load_regs
        ld hl, 0x7000
        ld de, six
        ld bc, 25
        call try
        ld de, moved
        ld bc, 25
        call try
        ld de, two
        ld bc, 41
        call try
        ld de, ended
        ld bc, 25
        call try
        push hl
        ld hl, 0x1B00           ; entry i: Y = 6i, X = 8i
        call set_write
        ld b, 32
        xor a
spread:
        ld c, a
        add a, a
        add a, c
        add a, a
        out (0xBE), a
        ld a, c
        add a, a
        add a, a
        add a, a
        out (0xBE), a
        xor a
        out (0xBE), a
        ld a, 0x0F
        out (0xBE), a
        ld a, c
        inc a
        djnz spread
        pop hl
        in a, (0xBF)
        call wait_frame
        ld (hl), a
        inc hl
        ld a, 0x80              ; the display off
        ld b, 1
        call set_reg
        ld de, six
        ld bc, 25
        call try
        ld a, 0x5A
        ld (hl), a
done:
        jr done
        include "footer.asm"
