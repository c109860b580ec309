; Test MegaCart that keeps every part of the machine busy at once, for the state record's
; exactness test; assembled once per bank (pasmo --equ BANK=n --equ BANKS=4). It runs on our
; boot ROM and at once turns on the Super Game Module's RAM, both the 24 KB (its stack lives
; there) and the 8 KB over the BIOS, where it writes its own interrupt entries. Every video
; interrupt it selects the next of banks 0-2 and calls that bank's routine, plays a tone on the
; module's sound chip whose pitch follows the frame count, and colours the screen from the
; bank's answer, the frame count and the spinners' steps, which the maskable interrupt (mode 1)
; counts. It keeps its counters in the module's RAM and a trail of colours at 0x2000 on.
FRAMES  equ 0x7E00              ; frames seen (the module's RAM)
STEPS   equ 0x7E01              ; spinner steps: right counts up, left down
SHOWN   equ 0x7E02              ; the bank the last frame chose, as the next one finds it
TRAIL   equ 0x2000              ; a colour per frame, 256 of them, in the module's RAM
LAST    equ BANKS - 1

        if BANK = LAST
        include "spinner_header.asm"
        jp frame                ; 0x8021: like 0x801E, the boot ROM's entry until the module's
                                ; RAM covers it and holds entries of its own

; Register `number` of the module's sound chip gets A.
ay      macro number
        push af
        ld a, number
        out (0x50), a
        pop af
        out (0x51), a
        endm

; Video register `number` gets `value`.
vreg    macro number, value
        ld a, value
        out (0xBF), a
        ld a, 0x80 + number
        out (0xBF), a
        endm

start:
        di
        vreg 1, 0x80            ; no video interrupt while the BIOS goes away
        ld a, 0x01
        out (0x53), a           ; the module's 24 KB over 0x2000-0x7FFF
        ld sp, 0x7FF0
        ld a, 0x0D
        out (0x7F), a           ; bit 1 clear: its 8 KB over the BIOS
        ld a, 0xC3              ; JP
        ld (0x0038), a
        ld hl, spin
        ld (0x0039), hl
        ld (0x0066), a
        ld hl, frame
        ld (0x0067), hl
        out (0xC0), a           ; joystick mode: the spinners' direction bits
        vreg 0, 0x00            ; graphics mode I
        vreg 2, 0x06            ; names at 0x1800
        vreg 3, 0x80            ; colours at 0x2000
        vreg 4, 0x00            ; patterns at 0x0000
        vreg 5, 0x36
        vreg 6, 0x07
        vreg 7, 0x04
        ld a, 0xD0              ; no sprites
        ld hl, 0x1B00
        call vram_at
        out (0xBE), a
        ld a, 0x3E              ; tone A only
        ay 7
        ld a, 0x0F
        ay 8
        ld a, 0x01
        ay 1
        im 1
        ei
        vreg 1, 0xE0            ; display and video interrupt on
idle:
        jr idle

; Sets the video chip's write address to HL.
vram_at:
        push af
        ld a, l
        out (0xBF), a
        ld a, h
        or 0x40
        out (0xBF), a
        pop af
        ret

; The maskable interrupt: a step of the first spinner.
spin:
        push af
        push hl
        ld hl, STEPS
        in a, (0xFC)
        bit 4, a
        jr nz, spin_done
        inc (hl)
        bit 5, a
        jr z, spin_done
        dec (hl)
        dec (hl)
spin_done:
        pop hl
        pop af
        ei
        reti

frame:
        push af
        push bc
        push hl
        in a, (0xBF)            ; the interrupt answered
        ld a, (0xC000)
        ld (SHOWN), a
        ld hl, FRAMES
        inc (hl)
        ld a, (hl)
        ay 0                    ; the tone's pitch follows the frames
        and 3
        cp 3
        jr nz, bank_ok
        xor a
bank_ok:
        add a, 0xC0             ; reading 0xFFC0 + n shows bank n
        ld l, a
        ld h, 0xFF
        ld a, (hl)
        call 0xC001
        ld b, a
        ld a, (FRAMES)
        rrca
        rrca
        rrca
        xor b
        ld b, a
        ld a, (STEPS)
        rlca
        rlca
        rlca
        rlca
        xor b
        ld b, a
        ld a, (SHOWN)
        xor b
        ld b, a
        ld a, (FRAMES)
        ld l, a
        ld h, TRAIL / 256
        ld (hl), b
        ld hl, 0x2000           ; the colour table, all 32 bytes
        call vram_at
        ld c, 32
paint:
        ld a, b
        out (0xBE), a
        inc b
        dec c
        jr nz, paint
        pop hl
        pop bc
        pop af
        retn

        ds 0xBFC0 - $, 0xFF     ; the bank-selecting addresses, should this bank be selected
        ds 64, 0xC9
        else

        org 0xC000
        db BANK
        ld a, BANK * 0x51 + 0x13 ; each bank answers its own colours
        ret
        ds 0xFFC0 - $, 0xFF
        ds 64, 0xC9
        endif
