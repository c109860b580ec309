; Velkoro demo cartridge: the card that ships with the program.
        org 0x8000
        db 0xAA, 0x55           ; cartridge signature
        dw 0, 0, 0, 0           ; tables the boot ROM does not use
        dw start                ; start address
        ; RST 08h..38h and the video interrupt: return at once.
        ret
        nop
        nop
        ret
        nop
        nop
        ret
        nop
        nop
        ret
        nop
        nop
        ret
        nop
        nop
        ret
        nop
        nop
        ei
        reti
        nop
        retn
start:
        jr start

        ds 0x9000 - $, 0xFF
