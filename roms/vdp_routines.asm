; The video chip routines our cartridges share: register writes and filling or copying video
; memory through the data port, loading all eight registers from a table.

; Writes A into register B.
set_reg:
        out (0xBF), a
        ld a, b
        or 0x80
        out (0xBF), a
        ret

; Sets the write address to HL.
set_write:
        ld a, l
        out (0xBF), a
        ld a, h
        or 0x40
        out (0xBF), a
        ret

; Fills BC bytes of video memory from HL with E.
vfill:
        call set_write
vfill_next:
        ld a, e
        out (0xBE), a
        dec bc
        ld a, b
        or c
        jr nz, vfill_next
        ret

; Copies BC bytes from DE to video memory at HL.
vcopy:
        call set_write
vcopy_next:
        ld a, (de)
        out (0xBE), a
        inc de
        dec bc
        ld a, b
        or c
        jr nz, vcopy_next
        ret

; Loads R0..R7 from the eight bytes at HL.
load_regs:
        ld b, 0
load_regs_next:
        ld a, (hl)
        call set_reg
        inc hl
        inc b
        ld a, b
        cp 8
        jr nz, load_regs_next
        ret

; Waits for the next frame end by the status register's frame flag; returns the status in A
; (bit 5: sprites collided in that frame).
wait_frame:
        in a, (0xBF)
        bit 7, a
        jr z, wait_frame
        ret
