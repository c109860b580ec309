; Shared start of the video test cartridges: the cartridge header, a video interrupt handler that
; only reads the status, and the shared video chip routines (registers, filling and copying video
; memory). The including file supplies `start`.
        include "cartridge_header.asm"

; The video interrupt only acknowledges the frame.
video_interrupt:
        in a, (0xBF)
        retn

        include "vdp_routines.asm"

; Writes the names 0..255 D times from HL (one per third of the screen).
names_ramp:
        call set_write
        xor a
names_ramp_next:
        out (0xBE), a
        inc a
        jr nz, names_ramp_next
        dec d
        jr nz, names_ramp_next
        ret

; The letters of the console's name, 8 x 8, drawn in the left six columns: blank, V, E, L, K,
; O, R, and a solid block.
glyphs:
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00
        db 0x88, 0x88, 0x88, 0x88, 0x50, 0x50, 0x20, 0x00
        db 0xF8, 0x80, 0x80, 0xF0, 0x80, 0x80, 0xF8, 0x00
        db 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0xF8, 0x00
        db 0x88, 0x90, 0xA0, 0xC0, 0xA0, 0x90, 0x88, 0x00
        db 0x70, 0x88, 0x88, 0x88, 0x88, 0x88, 0x70, 0x00
        db 0xF0, 0x88, 0x88, 0xF0, 0xA0, 0x90, 0x88, 0x00
        db 0xFC, 0xFC, 0xFC, 0xFC, 0xFC, 0xFC, 0xFC, 0xFC
; "VELKORO" in those names.
name_text:
        db 1, 2, 3, 4, 5, 6, 5
