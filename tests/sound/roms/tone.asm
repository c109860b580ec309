; Test cartridge for the sound chip: channel 0 plays period 254 (440 Hz) at full level with the
; other channels silent; after about 6.8 million cycles (some 110 frames) every channel is
; silenced; then it waits for ever.
        include "sound_macros.asm"
        include "tone_header.asm"
        ld hl, tone
        ld b, tone_end - tone
        call send
        long_wait
        ld hl, quiet
        ld b, quiet_end - quiet
        call send
wait:
        jr wait

; Sends B bytes from HL to the sound port.
send:
        ld c, 0xFF
        otir
        ret

tone:
        db 0x8E, 0x0F           ; tone 0 latch (low bits 0xE), data 0x0F: period 0xFE
        db 0x90                 ; tone 0 at attenuation 0
        db 0xBF, 0xDF           ; tones 1 and 2 off
        db 0xE1, 0xFF           ; noise at rate 1, off
tone_end:
quiet:
        db 0x9F, 0xBF, 0xDF, 0xFF
quiet_end:
        ds 0x9000 - $, 0xFF
