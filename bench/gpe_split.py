#!/usr/bin/env python3
# The work per emulated frame of velkoro.gpe, from two runs' per-block instruction counts (see
# bench/gpe_instructions.sh): SYMBOLS (address<TAB>name, decimal, by address), the block counts
# of the shorter and the longer run, and their difference is split by function. The program
# paces itself against the handheld's timer, so both runs spend most of their instructions
# looking at the clock: the timer's arithmetic (a 64-bit division per look), the register poll,
# the front end's waits in main, and the pacing loop's blocks in cpu_hook (blocks run more than
# SPIN times a frame) are counted apart as waiting. Frames are counted by the graphics II line
# renderer's entries: 192 per drawn frame, and with frame skip 2 every second frame is drawn.
# The sound's share (the mixer and both chips' generators, which the audio thread runs) is
# summed apart from the functions of sound/ that the build kept.
import bisect
import sys

symbols_file, shorter, longer = sys.argv[1:4]
SPIN = 20000
SOUND = ("audio_fill", "mixer_", "ay_render", "ay_voices", "blep_", "(anonymous namespace)::render_square",
         "(anonymous namespace)::render_noise", "(anonymous namespace)::settle", "(anonymous namespace)::envelope_",
         "(anonymous namespace)::take_", "(anonymous namespace)::channel_output", "(anonymous namespace)::samples_per")
WAITING = ("__udivmoddi4", "__clzsi2", "__clzdi2", "__aeabi_uldivmod", "sys_register_poll", "main", "timer_delay")

addresses, names = [], []
for line in open(symbols_file):
    address, name = line.rstrip("\n").split("\t", 1)
    addresses.append(int(address))
    names.append(name)


def function(address):
    i = bisect.bisect_right(addresses, address) - 1
    return names[i] if i >= 0 else "(before the first function)"


def blocks(path):
    runs = {}
    for line in open(path):
        address, instructions, count = line.split()
        key = (int(address, 16), int(instructions))
        runs[key] = runs.get(key, 0) + int(count)
    return runs


a, b = blocks(shorter), blocks(longer)
keys = set(a) | set(b)
entry = next(x for x, n in zip(addresses, names) if n.startswith("render_graphics2_line"))
frames = 2 * sum(b.get(k, 0) - a.get(k, 0) for k in keys if k[0] == entry) / 192
if frames <= 0:
    sys.exit("gpe_split: the longer run drew no more frames than the shorter one")
work, waiting = {}, 0
for key in keys:
    runs = b.get(key, 0) - a.get(key, 0)
    name = function(key[0])
    if name.startswith(WAITING) or (name.startswith("cpu_hook") and runs / frames > SPIN):
        waiting += runs * key[1]
    elif runs:
        work[name] = work.get(name, 0) + runs * key[1]
total = sum(work.values())
budget = 200000000 / 60
print(f"  {frames:.0f} more frames in the longer run (frame skip 2)")
print(f"  work per emulated frame {total / frames:10.0f}  ({100 * total / frames / budget:.0f}% of the 200 MHz ARM920T's {budget:.0f} cycles)")
print(f"  waiting for the clock   {waiting / frames:10.0f}  (idle time, left out)")
sound = sum(count for name, count in work.items() if name.startswith(SOUND))
print(f"  of which the sound      {sound / frames:10.0f}  (the mixer and both chips' generators)")
print("    by function:")
for name, count in sorted(work.items(), key=lambda x: -x[1])[:12]:
    if count / frames >= 0.5:
        print(f"      {count / frames:10.0f}  {100 * count / total:5.1f}%  {name}")
