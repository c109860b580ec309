; The sound chip routines our cartridges share.

; Sets tone channel A (0..2) to period HL (1..1023: 3579545 / (32 x period) Hz). A is lost.
set_period:
        rrca
        rrca
        rrca
        or 0x80
        ld c, a
        ld a, l                 ; latch: the channel and the low four bits
        and 0x0F
        or c
        out (0xFF), a
        ld a, l                 ; data: the upper six bits
        rrca
        rrca
        rrca
        rrca
        and 0x0F
        ld c, a
        ld a, h
        add a, a
        add a, a
        add a, a
        add a, a
        and 0x30
        or c
        out (0xFF), a
        ret

; Sets channel A (0..2 tones, 3 noise) to attenuation E (0 loudest, 15 silent). A is lost.
set_level:
        rrca
        rrca
        rrca
        or 0x90
        or e
        out (0xFF), a
        ret
