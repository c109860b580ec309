; The keypad routines our cartridges share.

NO_KEY  equ 12                  ; key index when no key is held (0..9 digits, 10 '*', 11 '#')

; A = key index 0..11 of the keypad read in A (in keypad mode), or NO_KEY. DE and HL are lost.
key_index:
        and 0x0F
        ld e, a
        ld d, 0
        ld hl, key_codes
        add hl, de
        ld a, (hl)
        ret

; Keypad code (the low four bits of a keypad read) -> key index.
key_codes:
        db NO_KEY, 8, 4, 5, NO_KEY, 7, 10, 2, NO_KEY, 11, 0, 9, 3, 1, 6, NO_KEY
