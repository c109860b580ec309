; A BIOS of the tests' own, as small as a cartridge needs: a stack in RAM, the jump to the
; cartridge's start address, and the video interrupt forwarded to the cartridge's handler.
        org 0x0000
        ld sp, 0x7400
        ld hl, (0x800A)
        jp (hl)
        ds 0x0066 - $, 0xFF
        jp 0x8021
        ds 0x2000 - $, 0xFF
