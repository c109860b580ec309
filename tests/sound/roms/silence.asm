; Test cartridge: starts a loud tone and noise, then silences every channel within the same
; frame; then it waits for ever.
        org 0x8000
        db 0x55, 0xAA           ; cartridge signature
        dw 0, 0, 0, 0
        dw start                ; start address
        ds 0x8021 - $, 0xC9     ; RST 08h..38h return at once
        retn                    ; the video interrupt, never enabled here
start:
        di
        ld hl, sound
        ld b, sound_end - sound
        ld c, 0xFF              ; the sound port
        otir
wait:
        jr wait
sound:
        db 0x8E, 0x0F, 0x90     ; tone 0 at 440 Hz, full level
        db 0xE1, 0xF0           ; noise at rate 1, full level
        db 0x9F, 0xBF, 0xDF, 0xFF
sound_end:
        ds 0x9000 - $, 0xFF
