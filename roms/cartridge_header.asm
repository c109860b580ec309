; The start of every cartridge of ours, at 0x8000: the signature 0xAA, 0x55 (the boot ROM shows
; its title screen first), the table pointers the boot ROM does not use, the start address,
; restart entries RST 08h..38h that return at once, and the video interrupt's entry at 0x8021.
; The including program supplies `start` and `video_interrupt`, and follows the header with its
; title text, "LINE3/LINE2/YYYY" (line 2 is shown above line 3).
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
