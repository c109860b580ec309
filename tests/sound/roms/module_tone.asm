; Test cartridge for the Super Game Module's sound chip, reached through its ports 0x50 (register
; select) and 0x51 (write): channel A plays period 254 (440 Hz) at full level while the first
; chip is silent; after some 110 frames channel A's level goes to 0; then it waits for ever.
        include "sound_macros.asm"
        include "tone_header.asm"
        ld hl, first_quiet
        ld bc, 4 * 256 + 0xFF
        otir
        ld hl, tone
        ld b, (tone_end - tone) / 2
        call send
        long_wait
        ld hl, quiet
        ld b, 1
        call send
wait:
        jr wait

; Sends B (register, value) pairs from HL to the module's sound chip.
send:
        send_module_pairs
        ret

first_quiet:
        db 0x9F, 0xBF, 0xDF, 0xFF
tone:
        db 0, 254, 1, 0         ; channel A: period 254
        db 7, 0x3E              ; tone A on; B, C and the noise off
        db 8, 15                ; channel A at full level
tone_end:
quiet:
        db 8, 0
        ds 0x9000 - $, 0xFF
