; Test cartridge: silent for its first 15 frames, then the tone of `period` (the word at 0x8024,
; 254 = 440 Hz; a test may patch it) on channel 0 at full level until the game ends.
        include "cartridge_header.asm"

period:
        dw 254

video_interrupt:
        retn

start:
        ld hl, silence
        ld bc, 4 * 256 + 0xFF
        otir
        in a, (0xBF)            ; the status starts with the frame flag set: clear it
        ld b, 15
pause:
        in a, (0xBF)
        or a
        jp p, pause             ; until the frame flag (bit 7) is set
        djnz pause
        ld hl, (period)
        ld a, l
        and 0x0F
        or 0x80                 ; channel 0 latch with the low four bits
        out (0xFF), a
        ld b, 4
shift:
        srl h
        rr l
        djnz shift
        ld a, l                 ; the high six bits
        out (0xFF), a
        ld a, 0x90              ; channel 0 at full level
        out (0xFF), a
hold:
        jr hold

silence:
        db 0x9F, 0xBF, 0xDF, 0xFF

        ds 0x9000 - $, 0xFF
