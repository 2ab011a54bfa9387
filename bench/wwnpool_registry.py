#!/usr/bin/env python3
"""What the fleet registry costs and carries, on a PostgreSQL server of its own
(started here in FOLDER, Unix socket only, as nobody when run as root):
1. `alloc --pair` of one pair with the registry against the same without it,
   interleaved, medians of one run;
2. 8 processes, two on each of 4 simulated hosts (a state file, a local WWN
   and a machine id each), allocating PAIRS pairs each, one command a pair,
   through one registry: throughput, then every name counted across the state
   files and the registry (zero duplicates, every name claimed).
Usage: wwnpool_registry.py WWNPOOL [FOLDER] [ROUNDS] [PAIRS]"""
import collections, glob, os, shutil, statistics, subprocess, sys, tempfile, time

tool = sys.argv[1]
folder = sys.argv[2] if len(sys.argv) > 2 else "/dev/shm"
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 200
pairs = int(sys.argv[4]) if len(sys.argv) > 4 else 1000
bindir = sorted(glob.glob("/usr/lib/postgresql/*/bin"))[-1]
as_server = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] if os.getuid() == 0 else []


def run(*args, env=None):
    return subprocess.run(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True, text=True).stdout


with tempfile.TemporaryDirectory(dir=folder) as work:
    os.chmod(work, 0o711)
    pg = os.path.join(work, "pg")
    os.mkdir(pg)
    if as_server:
        shutil.chown(pg, "nobody", "nogroup")
    run(*as_server, f"{bindir}/initdb", "-D", f"{pg}/data", "-A", "trust", "-U", "wwnpool", "-E", "UTF8",
        "--locale=C", "--no-sync")
    # The server as shipped (fsync and synchronous commit on), on its socket only.
    run(*as_server, f"{bindir}/pg_ctl", "-D", f"{pg}/data", "-l", f"{pg}/log", "-w", "start", "-o",
        f"-c listen_addresses= -k {pg} -c max_connections=50")
    try:
        registry = f"host={pg} dbname=postgres user=wwnpool"
        base = dict(os.environ, WWNPOOL_SYSFS="/nonexistent", WWNPOOL_CONFIG="/nonexistent/wwnpool.conf")
        base.pop("WWNPOOL_REGISTRY", None)
        run(tool, "--registry", registry, "registry", "init", env=base)

        def host(n, with_registry=True):
            env = dict(base, WWNPOOL_LOCAL=f"10:00:00:1b:21:00:00:{n:02x}", WWNPOOL_MACHINE_ID=f"machine-{n}")
            if with_registry:
                env["WWNPOOL_REGISTRY"] = registry
            return env

        # 1. One pair, with and without the registry, alternating.
        solo, fleet = host(0x10, False), host(0x11)
        with_times, without_times = [], []
        for _ in range(rounds):
            for env, times, state in ((fleet, with_times, "with"), (solo, without_times, "without")):
                start = time.perf_counter()
                run(tool, "--state", os.path.join(work, state), "alloc", "--pair", env=env)
                times.append(time.perf_counter() - start)
        w, wo = statistics.median(with_times), statistics.median(without_times)
        print(f"alloc --pair: with the registry median {w * 1e3:.2f} ms, without {wo * 1e3:.2f} ms, "
              f"ratio {w / wo:.2f} ({rounds} rounds each, in {folder})")

        # 2. 8 processes, 4 hosts, PAIRS pairs each.
        script = 'for i in $(seq "$1"); do "$0" --state "$2" alloc --pair --page "$3" >/dev/null || exit 1; done'
        start = time.perf_counter()
        workers = [subprocess.Popen(["sh", "-c", script, tool, str(pairs), os.path.join(work, f"host{n}"), str(page)],
                                    env=host(n)) for n in range(1, 5) for page in (0, 2)]
        failed = sum(worker.wait() != 0 for worker in workers)
        elapsed = time.perf_counter() - start
        held = collections.Counter()
        for n in range(1, 5):
            for page in range(4):
                held.update(run(tool, "--state", os.path.join(work, f"host{n}"), "list", "--page", str(page),
                                env=host(n, False)).split())
        claims = run(f"{bindir}/psql", "-X", "-A", "-t", "-c", "select wwn from names where host <> "
                     "'10:00:00:1b:21:00:00:11'", registry).split()
        duplicates = sum(count > 1 for count in held.values())
        print(f"8 processes on 4 hosts, {pairs} pairs each: {8 * pairs / elapsed:.0f} pairs/s "
              f"({elapsed:.1f} s); {len(held)} names held, {duplicates} held twice, {len(claims)} claims, "
              f"{len(set(held) - set(claims))} held without a claim, {failed} processes failed")
    finally:
        run(*as_server, f"{bindir}/pg_ctl", "-D", f"{pg}/data", "-m", "fast", "stop")
