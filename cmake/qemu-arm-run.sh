#!/bin/sh
# Runs an ARM program of ours under qemu-arm as if it were a host program: qemu-arm-run.sh
# PROGRAM ARGS... The program sees this script as its argv[0], so when it starts itself again
# through argv[0] (googletest's death tests do) it comes back here without a program path, and
# the path it had travels in the environment.
if [ -f "$1" ]; then
    VELKORO_ARM_PROGRAM="$1"
    export VELKORO_ARM_PROGRAM
    shift
fi
exec qemu-arm -cpu arm926 -0 "$0" "$VELKORO_ARM_PROGRAM" "$@"
