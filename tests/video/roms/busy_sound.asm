; The busy machine's sound, shared by busy.asm and busy_banks.asm: what busy_setup.asm sends to
; the two sound chips.
; 440, 554 and 659 Hz, white noise at rate 0, all at full level.
sound:  db 0x8E, 0x0F, 0xAA, 0x0C, 0xCA, 0x0A, 0xE4, 0x90, 0xB0, 0xD0, 0xF0
; The module's chip as register, value pairs: 220, 330 and 880 Hz at full level, no noise.
module: db 0, 0xFC, 1, 0x01, 2, 0x53, 3, 0x01, 4, 0x7F, 5, 0x00, 7, 0x38, 8, 15, 9, 15, 10, 15, 6, 0
