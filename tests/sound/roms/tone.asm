; Test cartridge: channel 0 plays period 254 (440 Hz) at full level, the other channels are
; silent; then it waits for ever.
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
        db 0x8E, 0x0F           ; tone 0 latch (low bits 0xE), data 0x0F: period 0xFE
        db 0x90                 ; tone 0 at attenuation 0
        db 0xBF, 0xDF, 0xFF     ; tones 1, 2 and the noise off
sound_end:
        ds 0x9000 - $, 0xFF
