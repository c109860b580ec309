; The busy machine's start, shared by busy.asm and busy_banks.asm: all seven sound channels at
; full level (the including file supplies their `sound` and `module` tables), graphics II with
; patterns everywhere, and 32 sprites of 16 x 16 set up in a table in RAM (sprite i: Y = 5i,
; X = 8i, name 4i, colour 1 + i mod 15). The including file goes on with its loop.
regs:   db 0x02, 0xC2, 0x06, 0xFF, 0x03, 0x36, 0x07, 0x01
table   equ 0x7000
start:
        ld hl, sound
        ld bc, 11 * 256 + 0xFF
        otir
        ld hl, module
        ld b, 11
module_next:
        ld a, (hl)
        out (0x50), a
        inc hl
        ld a, (hl)
        out (0x51), a
        inc hl
        djnz module_next
        ld hl, regs
        call load_regs
        ld hl, 0x0000           ; patterns and colours: the ramp 0..255 over and over
        ld d, 24
        call names_ramp
        ld hl, 0x1800
        ld d, 3
        call names_ramp
        ld hl, 0x3800
        ld d, 8
        call names_ramp
        ld hl, table            ; sprite i: Y = 5i, X = 8i, name 4i, colour 1 + i mod 15
        ld b, 0
init:
        ld a, b
        add a, a
        add a, a
        add a, b
        ld (hl), a
        inc hl
        ld a, b
        add a, a
        add a, a
        add a, a
        ld (hl), a
        inc hl
        ld a, b
        add a, a
        add a, a
        ld (hl), a
        inc hl
        ld a, b
        and 0x0F
        or 0x01
        ld (hl), a
        inc hl
        inc b
        ld a, b
        cp 32
        jr nz, init
