; Test cartridge for the spinners, run on our boot ROM: joystick mode, interrupt mode 1 (the
; boot ROM's) with interrupts on, and a handler at the maskable interrupt's slot that reads both
; controllers and counts their steps in RAM:
;   0x7000, 0x7001  controller 1's steps to the right, to the left
;   0x7002, 0x7003  controller 2's steps to the right, to the left
;   0x7004, 0x7005  what controllers 1 and 2 last read with a step
;   0x7006          maskable interrupts taken
;   0x7007, 0x7008  controllers 1 and 2 as the game starts, with no step
        include "spinner_header.asm"
        retn                    ; 0x8021: the video interrupt

; Counts a step of the controller read in A into the pair of counters at HL.
count:
        bit 4, a
        ret nz
        ld (ix), a
        bit 5, a
        jr z, count_right
        inc hl
count_right:
        inc (hl)
        ret

spin:
        push af
        push hl
        push ix
        ld hl, 0x7006
        inc (hl)
        in a, (0xFC)
        ld hl, 0x7000
        ld ix, 0x7004
        call count
        in a, (0xFF)
        ld hl, 0x7002
        ld ix, 0x7005
        call count
        pop ix
        pop hl
        pop af
        ei
        reti

start:
        out (0xC0), a           ; joystick mode
        ld hl, 0x7000
        ld b, 7
clear:
        ld (hl), 0
        inc hl
        djnz clear
        in a, (0xFC)
        ld (0x7007), a
        in a, (0xFF)
        ld (0x7008), a
        ei
idle:
        jr idle
        ds 0x9000 - $, 0xFF
