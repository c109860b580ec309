; Channel 0 at period 508 (220 Hz) through attenuations 0 to 15, 12 frames each.
        include "player.asm"
script:
        db 5, 0xBF, 0xDF, 0xFF, 0x8C, 0x1F, 1
        db 1, 0x90, 12
        db 1, 0x91, 12
        db 1, 0x92, 12
        db 1, 0x93, 12
        db 1, 0x94, 12
        db 1, 0x95, 12
        db 1, 0x96, 12
        db 1, 0x97, 12
        db 1, 0x98, 12
        db 1, 0x99, 12
        db 1, 0x9A, 12
        db 1, 0x9B, 12
        db 1, 0x9C, 12
        db 1, 0x9D, 12
        db 1, 0x9E, 12
        db 1, 0x9F, 12
script_loop:
        db 0
        ds 0x9000 - $, 0xFF
