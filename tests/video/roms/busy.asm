; A busy machine for the benchmark: graphics II with patterns everywhere and 32 sprites of
; 16 x 16 that the processor moves without ever halting, copying the attribute table from RAM
; to video memory over and over; and all seven sound channels at full level for the mixer: the
; sound chip's three tones and its white noise, the Super Game Module's three tones.
        include "header.asm"
        include "busy_setup.asm"
        ld de, 4
        ld b, 32
move:
        inc (hl)
        add hl, de
        djnz move
        jr loop
        include "busy_sound.asm"
        include "footer.asm"
