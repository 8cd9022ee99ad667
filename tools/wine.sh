#!/usr/bin/env bash
# `wine`, with the same address-space layout at every start, for the program
# and every Windows program it starts (the setting is inherited).
#
# Debian's Wine has no preloader to reserve the Windows part of the address
# space before anything else is mapped. Its loader sits at a fixed address
# (0x7d000000), and Linux on x86_64 starts a process's heap at a random place
# in the gigabyte above the program. About one start in a thousand, the heap
# then covers 0x7ffe0000, where every Windows process maps its shared user
# data page: the new process exits at once, before it has spoken to the Wine
# server, and whoever started it sees CreateProcess fail with "Internal error"
# (1359), or a test program end with status 1 and no output. Without
# randomization the heap starts right after the loader, far below that page.
exec setarch "$(uname -m)" --addr-no-randomize wine "$@"
