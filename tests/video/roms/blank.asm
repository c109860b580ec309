; Display disabled: graphics I with tiles and a sprite set up, yet only the magenta backdrop
; shows, borders and all.
        include "header.asm"
regs:   db 0x00, 0x80, 0x06, 0x80, 0x00, 0x36, 0x07, 0x0D
sprites:
        db 50, 50, 0, 0x0F
        db 0xD0
start:
        ld hl, regs
        call load_regs
        ld hl, 0x0000
        ld bc, 0x800
        ld e, 0xFF
        call vfill
        ld hl, 0x2000
        ld bc, 32
        ld e, 0x4F
        call vfill
        ld hl, 0x1800
        ld bc, 768
        ld e, 1
        call vfill
        ld hl, 0x3800
        ld bc, 8
        ld e, 0xFF
        call vfill
        ld hl, 0x1B00
        ld de, sprites
        ld bc, 5
        call vcopy
idle:   halt
        jr idle
        include "footer.asm"
