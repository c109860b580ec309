; The start of the sound test cartridges that play a tone of their own without the script player:
; straight to the game (no title screen, so the tone starts at a known time), restart entries
; that return at once, and interrupts off for good. The including file goes on from `start`.
        org 0x8000
        db 0x55, 0xAA           ; cartridge signature
        dw 0, 0, 0, 0
        dw start                ; start address
        ds 0x8021 - $, 0xC9     ; RST 08h..38h return at once
        retn                    ; the video interrupt, never enabled here
start:
        di
        ld sp, 0x7400
