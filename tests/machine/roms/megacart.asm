; Test MegaCart of BANKS banks of 16 KB, assembled once per bank (pasmo --equ BANK=n --equ
; BANKS=count). Every bank but the last shows its number at 0xC000 and a routine at 0xC001 that
; returns it with bit 7 set; the last bank is the fixed one at 0x8000 (its first byte, the
; signature 0x55, is what 0xC000 shows when it is selected there too). In every bank the
; bank-selecting addresses hold RET. The program records, in RAM, the bank shown at 0xC000:
;   0x7000  when the game starts
;   0x7001  after a data read of 0xFFC1
;   0x7002  after a call to 0xFFC2 (the instruction fetch there)
;   0x7003  after a stack pop from 0xFFC3 and 0xFFC4
;   0x7004  after LDIR copied 0xFFC5 and 0xFFC6
;   0x7005  after a data read of 0xFFFD (the bank number is the address AND the banks less one)
;   0x7006  after a data read of 0xFFC3 and a write to 0xFFC6 (writes select nothing)
;   0x7007  what the routine at 0xC001 of that bank returned
;   0x7008  after a write to 0xC000 (cartridge space stays as it is)
;   0x7009  0x5A once done
LAST    equ BANKS - 1

        if BANK = LAST
        include "cartridge_header.asm"

video_interrupt:
        retn

record  macro slot
        ld a, (0xC000)
        ld (slot), a
        endm

start:
        record 0x7000
        ld a, (0xFFC1)
        record 0x7001
        call 0xFFC2
        record 0x7002
        ld (0x7100), sp
        ld sp, 0xFFC3
        pop hl
        ld sp, (0x7100)
        record 0x7003
        ld hl, 0xFFC5
        ld de, 0x7102
        ld bc, 2
        ldir
        record 0x7004
        ld a, (0xFFFD)
        record 0x7005
        ld a, (0xFFC3)
        ld (0xFFC6), a
        record 0x7006
        call 0xC001
        ld (0x7007), a
        ld a, 0x42
        ld (0xC000), a
        record 0x7008
        ld a, 0x5A
        ld (0x7009), a
done:
        jr done

        ds 0xBFC0 - $, 0xFF     ; the bank-selecting addresses, should this bank be selected
        ds 64, 0xC9
        else

        org 0xC000
        db BANK
        ld a, BANK + 0x80
        ret
        ds 0xFFC0 - $, 0xFF
        ds 64, 0xC9
        endif
