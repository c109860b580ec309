; Test cartridge for the Super Game Module, run on the tests' small BIOS. It tries the module's
; RAM on and off, the RAM over the BIOS and back, and its sound chip's registers, and sends what
; it reads, in order, to video memory from 0x0000 on (video memory is the one place every map
; leaves alone); 0x5A last. It runs no calls: its stack would be covered by the module's RAM.
; It leaves the module's RAM on and a sound register written, for the next game to find gone.
        include "cartridge_header.asm"

video_interrupt:
        retn

result  macro
        out (0xBE), a
        endm

peek    macro address
        ld a, (address)
        result
        endm

; Register `number`: 0xFF written, read back.
sound   macro number
        ld a, number
        out (0x50), a
        ld a, 0xFF
        out (0x51), a
        in a, (0x52)
        result
        endm

start:
        xor a                   ; video memory address 0
        out (0xBF), a
        ld a, 0x40
        out (0xBF), a
        in a, (0x52)            ; 0: the sound chip's register 0 as the game starts
        result
        peek 0x2000             ; 1: 0xFF, the expansion area
        ld a, 0x11
        ld (0x6000), a
        peek 0x7C00             ; 2: 0x11, the console's RAM mirrored
        ld a, 0x01
        out (0x53), a           ; the module's 24 KB on
        peek 0x2000             ; 3: 0x00
        peek 0x6000             ; 4: 0x00, the console's RAM covered
        ld a, 0x22
        ld (0x2000), a
        ld a, 0x33
        ld (0x6000), a
        peek 0x6400             ; 5: 0x00, not a mirror any more
        peek 0x6000             ; 6: 0x33
        xor a
        out (0x53), a           ; off
        peek 0x6000             ; 7: 0x11, the console's RAM back
        peek 0x2000             ; 8: 0xFF
        ld a, 0x44
        ld (0x2000), a          ; the expansion area keeps nothing
        ld a, 0xFE
        out (0x53), a           ; bit 0 clear: still off
        peek 0x2000             ; 9: 0xFF
        ld a, 0xFF
        out (0x53), a           ; on again
        peek 0x2000             ; 10: 0x22, kept while off
        peek 0x6000             ; 11: 0x33
        peek 0x0000             ; 12: 0x31, the BIOS
        ld a, 0xFD
        out (0x7F), a           ; bit 1 clear: RAM over the BIOS
        peek 0x0000             ; 13: 0x00
        ld a, 0x55
        ld (0x0000), a
        peek 0x0000             ; 14: 0x55
        ld a, 0x02
        out (0x7F), a           ; the BIOS back
        ld a, 0x77
        ld (0x0000), a          ; the BIOS keeps nothing
        peek 0x0000             ; 15: 0x31
        xor a
        out (0x7F), a
        peek 0x0000             ; 16: 0x55, the RAM kept
        ld a, 0xFF
        out (0x7F), a
        sound 1                 ; 17: 0x0F, a tone period's coarse half
        sound 6                 ; 18: 0x1F, the noise period
        sound 7                 ; 19: 0xFF, the mixer
        sound 8                 ; 20: 0x1F, a level
        sound 13                ; 21: 0x0F, the envelope's shape
        sound 16                ; 22: 0xFF, no such register
        sound 0                 ; 23: 0xFF, left for the next game
        ld a, 0x5A
        result                  ; 24
done:
        jr done
        ds 0x9000 - $, 0xFF
