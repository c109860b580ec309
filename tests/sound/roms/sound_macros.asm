; Macros of the sound test cartridges; including this file assembles nothing by itself. The video
; tests' busy cartridge takes send_module_pairs from here too.

; Waits some 6.8 million cycles (about 110 frames) with the processor busy: 4 x 65536 turns of
; 26 cycles. A, B, D and E are lost.
long_wait macro
        local delay, turn
        ld b, 4
delay:
        ld de, 0
turn:
        dec de
        ld a, d
        or e
        jr nz, turn
        djnz delay
        endm

; Sends B (register, value) pairs from HL to the Super Game Module's sound chip (port 0x50 selects
; the register, 0x51 writes it). HL ends past them; A and B are lost.
send_module_pairs macro
        local next
next:
        ld a, (hl)
        out (0x50), a
        inc hl
        ld a, (hl)
        out (0x51), a
        inc hl
        djnz next
        endm
