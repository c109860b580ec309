; Test cartridge: records in RAM what a game finds right after its load.
;   0x7000, 0x7001  controllers 1 and 2, read before the first frame end
;   0x7002          turns of a 31-cycle loop until the first frame end (16 bits)
;   0x7004          controller 1 after the first frame end, as the buttons left it
;   0x7005          every byte of video memory read through the data port, ANDed together
;   0x7006          0x5A once all of this is recorded
; It then fills video memory with zeros, as a game that used it would leave it, and waits.
        include "cartridge_header.asm"

video_interrupt:
        retn

start:
        in a, (0xFC)
        ld (0x7000), a
        in a, (0xFF)
        ld (0x7001), a
        in a, (0xBF)            ; the status starts with the frame flag set: clear it
        ld hl, 0
first_frame:
        inc hl                  ; 6 cycles
        in a, (0xBF)            ; 11
        or a                    ; 4
        jp p, first_frame       ; 10: until the frame flag (bit 7) is set
        ld (0x7002), hl
        in a, (0xFC)
        ld (0x7004), a
        xor a                   ; read address 0
        out (0xBF), a
        out (0xBF), a
        ld bc, 0x4000
        ld d, 0xFF
vram_next:
        in a, (0xBE)
        and d
        ld d, a
        dec bc
        ld a, b
        or c
        jr nz, vram_next
        ld a, d
        ld (0x7005), a
        ld hl, 0
        ld bc, 0x4000
        ld e, 0
        call vfill
        ld a, 0x5A
        ld (0x7006), a
done:
        jr done

        include "vdp_routines.asm"
        ds 0x9000 - $, 0xFF
