#!/usr/bin/env python3
"""Counts each benchmarked program's wineserver requests in a debug log.

    count_requests.py LOG

LOG is the output of `wineserver -f -d2` while `morvane_bench --count` ran:
before each counted start the bench opens an event named "bench-count LABEL",
so the process whose first thread starts next is that program. Its requests,
from all its threads, are counted from its first one up to the reply that
shows its main window visible (a top-level window whose new style has
WS_VISIBLE), and up to the first time its main thread then finds no message
waiting (every paint done). Prints one line per program and the ratios of
morvane.exe to each floor.
"""

import re
import sys

WS_VISIBLE = 0x10000000
WS_CHILD = 0x40000000

REPLY = re.compile(r"^([0-9a-f]{4,8}): (\w+)\(\) = (\w+)(.*)$")
REQUEST = re.compile(r"^([0-9a-f]{4,8}): (\w+)\((.*)$")
MARKER = re.compile(r'bench-count ([^"]+)"')


class Program:
    def __init__(self, label, main_thread):
        self.label = label
        self.main_thread = main_thread
        self.threads = {main_thread}
        self.requests = 0
        self.visible = None
        self.painted = None


def count(lines):
    programs = []
    pending = None  # the label of the next program to start
    by_thread = {}
    for line in lines:
        reply = REPLY.match(line)
        if reply:
            thread, name, status, rest = reply.groups()
            p = by_thread.get(thread)
            if not p or p.painted is not None:
                continue
            if name == "new_thread":
                tid = re.search(r"tid=([0-9a-f]+)", rest)
                if tid:
                    p.threads.add(tid.group(1))
                    by_thread[tid.group(1)] = p
            elif name == "set_window_pos" and p.visible is None:
                style = re.search(r"new_style=([0-9a-f]+)", rest)
                if style:
                    s = int(style.group(1), 16)
                    if s & WS_VISIBLE and not s & WS_CHILD:
                        p.visible = p.requests
            elif (name == "get_message" and status == "PENDING" and p.visible is not None
                  and thread == p.main_thread):
                p.painted = p.requests
            continue
        request = REQUEST.match(line)
        if not request:
            continue
        thread, name, args = request.groups()
        if name == "open_event":
            marker = MARKER.search(args)
            if marker:
                pending = marker.group(1)
                continue
        if name == "init_first_thread" and pending and thread not in by_thread:
            p = Program(pending, thread)
            programs.append(p)
            by_thread[thread] = p
            pending = None
        p = by_thread.get(thread)
        if p and p.painted is None:
            p.requests += 1
    return programs


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], errors="replace") as f:
        programs = count(f)
    if not programs:
        print("   (no counted start found in the log)")
        return 1
    print("   %-44s %-26s %s" % ("", "to visible", "to first paint done"))
    for p in programs:
        print("   %-44s %-26s %s" % (p.label, p.visible if p.visible is not None else "not seen",
                                      p.painted if p.painted is not None else "not seen"))
    program = next((p for p in programs if p.label == "morvane.exe"), None)
    if program and program.visible:
        for f in programs:
            if f is program or not f.visible:
                continue
            painted = ("%.2fx" % (program.painted / f.painted)
                       if program.painted and f.painted else "")
            print("   %-44s %-26s %s" % ("  morvane.exe / " + f.label.split(": ", 1)[-1],
                                          "%.2fx" % (program.visible / f.visible), painted))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
