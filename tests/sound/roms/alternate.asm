; Channel 0 at full level, its period changed every frame: 254 (440 Hz), then 160 (699 Hz).
        include "player.asm"
script:
        db 6, 0xBF, 0xDF, 0xFF, 0x8E, 0x0F, 0x90, 1
script_loop:
        db 2, 0x80, 0x0A, 1
        db 2, 0x8E, 0x0F, 1
        db 0xFF
        ds 0x9000 - $, 0xFF
