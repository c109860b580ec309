; The start of the machine's test cartridges that take the spinners' interrupt, run on our boot
; ROM: straight to the game (no title screen), restart entries RST 08h..30h that return at once,
; and at 0x801E, where the boot ROM sends RST 38h (the maskable interrupt in interrupt mode 1), a
; jump to `spin`. The including file supplies `start` and `spin`, and follows at once with the
; video interrupt's entry at 0x8021.
        org 0x8000
        db 0x55, 0xAA
        dw 0, 0, 0, 0
        dw start
        rept 6
        ret
        nop
        nop
        endm
        jp spin
