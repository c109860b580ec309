; Velkoro boot ROM: the 8 KB image the console starts from. It does the least a cartridge needs:
; interrupts off, a stack in RAM, the restart and interrupt entries forwarded to the cartridge's
; own jump table, then a jump to the cartridge's start address.
;
; Cartridge header, from 0x8000: 0x55 0xAA or 0xAA 0x55, then four table pointers, the start
; address at 0x800A, jump instructions for RST 08h..30h at 0x800C, 0x800F, ... 0x801B, for RST
; 38h (the maskable interrupt) at 0x801E and for the video interrupt (NMI) at 0x8021.

        org 0x0000
        di
        jp start

        org 0x0008
        jp 0x800C
        org 0x0010
        jp 0x800F
        org 0x0018
        jp 0x8012
        org 0x0020
        jp 0x8015
        org 0x0028
        jp 0x8018
        org 0x0030
        jp 0x801B
        org 0x0038
        jp 0x801E
        org 0x0066
        jp 0x8021

start:
        ld sp, 0x7400
        im 1
        ld hl, (0x800A)
        jp (hl)

        ; The rest of the image reads as empty.
        ds 0x2000 - $, 0xFF
