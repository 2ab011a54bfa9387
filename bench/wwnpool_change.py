#!/usr/bin/env python3
"""What one wwnpool change costs beside its floor: `take` then `release` of one
name against change_floor run twice (the same lock, read, write, fsync and
rename in a minimal C process), interleaved, medians of one run.
Usage: wwnpool_change.py WWNPOOL CHANGE_FLOOR [FOLDER] [ROUNDS]
FOLDER defaults to /dev/shm, where no fsync waits for a disk, so that what is
left is the processes' own work."""
import os, statistics, subprocess, sys, tempfile, time

tool, floor = sys.argv[1], sys.argv[2]
folder = sys.argv[3] if len(sys.argv) > 3 else "/dev/shm"
rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 300
env = dict(os.environ, WWNPOOL_LOCAL="10:00:00:1b:21:aa:bb:cc", WWNPOOL_SYSFS="/nonexistent")
with tempfile.TemporaryDirectory(dir=folder) as work:
    state = os.path.join(work, "pools")
    run = lambda *args: subprocess.run(args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    run(tool, "--state", state, "alloc", "--pair", "8")
    name = "20:10:00:1b:21:aa:bb:cc"

    def timed(*commands):
        start = time.perf_counter()
        for command in commands:
            run(*command)
        return time.perf_counter() - start

    tool_times, floor_times = [], []
    for _ in range(rounds):
        tool_times.append(timed((tool, "--state", state, "take", name),
                                (tool, "--state", state, "release", name)))
        floor_times.append(timed((floor, state), (floor, state)))
    t, f = statistics.median(tool_times), statistics.median(floor_times)
    print(f"take+release: median {t * 1e3:.2f} ms; floor (2 minimal changes): median {f * 1e3:.2f} ms; "
          f"ratio {t / f:.2f} ({rounds} rounds in {folder})")
