; The noise channel alone at full level: first rate 0 chosen by 0xE4, the rate a fresh chip
; already has; then rates 1 and 2; then rate 3 with tone 2 (itself silent) at period 20. Each
; lasts 120 frames; then the noise is switched off.
        include "player.asm"
script:
        db 5, 0x9F, 0xBF, 0xDF, 0xE4, 0xF0, 120
        db 1, 0xE5, 120
        db 1, 0xE6, 120
        db 3, 0xC4, 0x01, 0xE7, 120
        db 1, 0xFF, 1
script_loop:
        db 0
        ds 0x9000 - $, 0xFF
