; Channel 0 at 440 Hz, switched on for one frame and off for the next, for ever.
        include "player.asm"
script:
        db 5, 0x8E, 0x0F, 0xBF, 0xDF, 0xFF, 1
script_loop:
        db 1, 0x90, 1
        db 1, 0x9F, 1
        db 0xFF
        ds 0x9000 - $, 0xFF
