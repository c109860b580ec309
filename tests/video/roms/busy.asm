; A busy machine for the benchmark: graphics II with patterns everywhere and 32 sprites of
; 16 x 16 that the processor moves without ever halting, copying the attribute table from RAM
; to video memory over and over.
        include "header.asm"
        include "busy_setup.asm"
loop:
        ld hl, 0x1B00
        call set_write
        ld hl, table
        ld bc, 128 * 256 + 0xBE
        otir
        ld hl, table + 1
        ld de, 4
        ld b, 32
move:
        inc (hl)
        add hl, de
        djnz move
        jr loop
        include "footer.asm"
