; Channel 0 at full level through periods across the whole range, 30 frames each, then silent.
        include "player.asm"
note    macro n
        db 2, 0x80 | ((n) & 15), (n) >> 4, 30
        endm
script:
        db 4, 0xBF, 0xDF, 0xFF, 0x90, 1
        note 1023
        note 700
        note 508
        note 254
        note 127
        note 64
        note 33
        note 17
        note 11
        note 8
        db 1, 0x9F, 1
script_loop:
        db 0
        ds 0x9000 - $, 0xFF
