; Test cartridge for the Super Game Module's sound chip, reached through its ports 0x50 (register
; select) and 0x51 (write): channel A plays period 254 (440 Hz) at full level while the first
; chip is silent; after some 110 frames channel A's level goes to 0; then it waits for ever.
        org 0x8000
        db 0x55, 0xAA           ; cartridge signature
        dw 0, 0, 0, 0
        dw start                ; start address
        ds 0x8021 - $, 0xC9     ; RST 08h..38h return at once
        retn                    ; the video interrupt, never enabled here
start:
        di
        ld sp, 0x7400
        ld hl, first_quiet
        ld bc, 4 * 256 + 0xFF
        otir
        ld hl, tone
        ld b, (tone_end - tone) / 2
        call send
        ld b, 4                 ; 4 x 65536 turns of 26 cycles
delay:
        ld de, 0
turn:
        dec de
        ld a, d
        or e
        jr nz, turn
        djnz delay
        ld hl, quiet
        ld b, 1
        call send
wait:
        jr wait

; Sends B (register, value) pairs from HL to the module's sound chip.
send:
        ld a, (hl)
        out (0x50), a
        inc hl
        ld a, (hl)
        out (0x51), a
        inc hl
        djnz send
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
