; Text mode: the name in white on dark blue, a row of blocks, border in the backdrop colour.
        include "header.asm"
regs:   db 0x00, 0xD0, 0x02, 0x00, 0x00, 0x00, 0x00, 0xF4
start:
        ld hl, regs
        call load_regs
        ld hl, 0x0000           ; patterns
        ld de, glyphs
        ld bc, 64
        call vcopy
        ld hl, 0x0800           ; names: 40 x 24, all blank
        ld bc, 960
        ld e, 0
        call vfill
        ld hl, 0x0800 + 2 * 40 + 5
        ld de, name_text
        ld bc, 7
        call vcopy
        ld hl, 0x0800 + 10 * 40
        ld bc, 40
        ld e, 7
        call vfill
        ld hl, 0x0800 + 23 * 40 + 33
        ld de, name_text
        ld bc, 7
        call vcopy
idle:   halt
        jr idle
        include "footer.asm"
