#!/usr/bin/env python3
# The work per emulated frame of an ARM program, from two runs' per-block counts left by
# bench/insn_plugin.c (see bench/gpe_instructions.sh and bench/arm_cycles.sh): SYMBOLS
# (address<TAB>name, decimal, by address), the block counts of the shorter and the longer run,
# and their difference is split by function. With the ARM920T model's columns in the counts the
# split is in modelled cycles, with the cache misses beside them.
#
# velkoro.gpe paces itself against the handheld's timer, so both runs spend most of their
# instructions looking at the clock: the timer's arithmetic (a 64-bit division per look), the
# register poll, the front end's screens between games (the welcome screen and the cartridge
# manager, which poll the buttons and the clock for as long as qemu takes to reach the next
# press, a time that differs from run to run), and the pacing loop's blocks in cpu_hook (blocks
# run more than SPIN times a frame, or with the model those that read the clock's register at
# every run) are counted apart as waiting. Frames are counted by the
# frame hook's entries (193 a frame), drawn frames by the line renderers' (192 a drawn frame, in
# whichever display mode), unless --frames gives the frames of the difference. The sound's share
# (the mixer and both chips' generators, which the audio thread runs) is summed apart from the
# functions of sound/ that the build kept and the audio thread's loop, into which the handheld's
# build folds the mixer.
#
# Usage: gpe_split.py [--frames N] [--last-line] SYMBOLS SHORTER LONGER
import bisect
import sys

args = sys.argv[1:]
given_frames = None
last_line = False
while args and args[0].startswith("--"):
    if args[0] == "--frames":
        given_frames = float(args[1])
        args = args[2:]
    elif args[0] == "--last-line":
        last_line = True
        args = args[1:]
    else:
        sys.exit(f"gpe_split: unknown option {args[0]}")
symbols_file, shorter, longer = args
SPIN = 20000
SOUND = ("audio_fill", "(anonymous namespace)::audio_thread_main", "mixer_", "ay_render", "ay_voices", "blep_", "(anonymous namespace)::render_square",
         "(anonymous namespace)::render_noise", "(anonymous namespace)::settle", "(anonymous namespace)::envelope_",
         "(anonymous namespace)::take_", "(anonymous namespace)::channel_output", "(anonymous namespace)::samples_per")
WAITING = ("__udivmoddi4", "__clzsi2", "__clzdi2", "__aeabi_uldivmod", "sys_register_poll", "main", "timer_delay",
           "show_welcome", "cartridge_manager", "ui_wait_")
BUDGET = 200000000 / 60

addresses, names = [], []
for line in open(symbols_file):
    address, name = line.rstrip("\n").split("\t", 1)
    addresses.append(int(address))
    names.append(name)


def function(address):
    i = bisect.bisect_right(addresses, address) - 1
    return names[i] if i >= 0 else "(before the first function)"


# Per block (address, instructions): runs, then with the model cycles, instruction cache misses,
# data cache line fills, uncached accesses and uncached reads, all summed over the runs.
def blocks(path):
    counts = {}
    for line in open(path):
        fields = line.split()
        key = (int(fields[0], 16), int(fields[1]))
        values = [int(v) for v in fields[2:]]
        old = counts.get(key, [0] * len(values))
        counts[key] = [x + y for x, y in zip(old, values)]
    return counts


a, b = blocks(shorter), blocks(longer)
keys = set(a) | set(b)
model = any(len(v) > 1 for v in b.values())
width = 6 if model else 1


def difference(key):
    old, new = a.get(key, [0] * width), b.get(key, [0] * width)
    return [y - x for x, y in zip(old, new)]


def entries(*prefixes):
    starts = [x for x, n in zip(addresses, names) if n.startswith(prefixes)]
    return sum(difference(k)[0] for k in keys if k[0] in starts)


frames = given_frames if given_frames else entries("cpu_hook") / 193
drawn = entries("render_text_line", "render_graphics1_line", "render_graphics2_line", "render_multicolour_line") / 192
if frames <= 0:
    sys.exit("gpe_split: the longer run ran no more frames than the shorter one")

# Per function: instructions, then the model's figures.
work, waiting = {}, 0
for key in keys:
    d = difference(key)
    runs = d[0]
    name = function(key[0])
    figures = [runs * key[1]] + d[1:5]
    # With the model, the pacing loop is the frame hook's block that reads the clock's register
    # (uncached) on every run; the controls are read once a frame.
    looks_at_clock = model and runs / frames > 50 and d[5] >= runs
    if name.startswith(WAITING) or (name.startswith("cpu_hook") and (runs / frames > SPIN or looks_at_clock)):
        waiting += figures[1] if model else figures[0]
    elif runs:
        work[name] = [x + y for x, y in zip(work.get(name, [0] * len(figures)), figures)]
totals = [sum(v[i] for v in work.values()) for i in range(min(width, 5))]


# The sound's share and the costliest functions by the figure in `column` (instructions without
# the model, its cycles with it), `most` at the most; tiny ones would only be noise. `row` lays out
# a function's figures per frame and its share of the total.
def by_function(column, most, sound_label, heading, row):
    sound = sum(v[column] for name, v in work.items() if name.startswith(SOUND))
    print(f"  {sound_label}{sound / frames:10.0f}  (the mixer and both chips' generators)")
    print("    by function:" + heading)
    for name, v in sorted(work.items(), key=lambda x: -x[1][column])[:most]:
        if v[column] / frames >= 0.5:
            print(row([x / frames for x in v], 100 * v[column] / totals[column], name))


print(f"  {frames:.0f} more frames in the longer run, {drawn:.0f} of them drawn")
if not model:
    total = totals[0]
    print(f"  work per emulated frame {total / frames:10.0f}  ({100 * total / frames / BUDGET:.0f}% of the 200 MHz ARM920T's {BUDGET:.0f} cycles)")
    print(f"  waiting for the clock   {waiting / frames:10.0f}  (idle time, left out)")
    by_function(0, 12, "of which the sound      ", "",
                lambda f, share, name: f"      {f[0]:10.0f}  {share:5.1f}%  {name}")
    sys.exit(0)

instructions, cycles, imisses, fills, uncached = (t / frames for t in totals)
# Under a heavy load the two runs can differ by more than the frames between them (qemu falls
# behind the stand-in's clock in one and not the other): no figure rather than a wrong one.
if cycles <= 0 or instructions <= 0:
    sys.exit("gpe_split: the longer run did less work than the shorter one; the machine is too busy "
             "for the runs to be alike (try a larger SLOW, or a quieter machine)")
print(f"  modelled cycles per emulated frame      {cycles:10.0f}  ({100 * cycles / BUDGET:.1f}% of {BUDGET:,.0f})")
print(f"  instructions per emulated frame         {instructions:10.0f}  ({cycles / instructions:.2f} cycles each)")
print(f"  instruction cache misses per frame      {imisses:10.0f}")
print(f"  data cache line fills per frame         {fills:10.0f}")
print(f"  uncached accesses per frame             {uncached:10.0f}")
if waiting:
    print(f"  waiting for the clock, cycles per frame {waiting / frames:10.0f}  (idle time, left out)")
by_function(1, 14, "of which the sound, cycles per frame    ", "     cycles  share   instructions  I misses  D fills  uncached",
            lambda f, share, name: f"      {f[1]:18.0f}  {share:5.1f}%  {f[0]:12.0f}  {f[2]:8.0f}  {f[3]:7.0f}  {f[4]:8.0f}  {name}")
if last_line:
    print(f"cycles per frame: {cycles:.0f} ({100 * cycles / BUDGET:.1f} % of 3,333,333)")
