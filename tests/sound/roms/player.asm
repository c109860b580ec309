; Shared by the sound test cartridges: the cartridge header and a player that sends the sound
; bytes of a script in step with the frames. The including file supplies `script` and
; `script_loop`. A script is a list of steps, each
;       db n, <n bytes for the sound port>, <frames to wait, 1..255>
; and ends with db 0 (keep the sound as it is, for ever) or db 0xFF (go on at `script_loop`).
; The bytes of a step are all written within one frame, so the chip delivers them together at
; that frame's end. Interrupts stay off: the player watches the video chip's frame flag.
        include "cartridge_header.asm"
        db "A VELKORO SOUND TEST/SCRIPT PLAYER/2026"

video_interrupt:
        retn

start:
        di
        ld sp, 0x7400
        ld hl, script
step:
        ld a, (hl)
        inc hl
        or a
        jr z, idle
        inc a
        jr nz, send
        ld hl, script_loop
        jr step
send:
        dec a
        ld b, a
        ld c, 0xFF
        otir
        ld b, (hl)
        inc hl
wait:
        in a, (0xBF)            ; bit 7: a frame ended since the last read
        rla
        jr nc, wait
        djnz wait
        jr step
idle:
        jr idle
