; The start of every cartridge of ours, at 0x8000: the signature, the table pointers the boot ROM
; does not use, the start address, restart entries RST 08h..38h that return at once, and the
; video interrupt's entry at 0x8021. The including program supplies `start` and `video_interrupt`.
        org 0x8000
        db 0xAA, 0x55
        dw 0, 0, 0, 0
        dw start
        rept 7
        ret
        nop
        nop
        endm
        jp video_interrupt
