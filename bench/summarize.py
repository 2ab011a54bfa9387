#!/usr/bin/env python3
"""Turns a Google Benchmark JSON report (run with repetitions) into the table
of medians, ratios and targets kept in bench/README.md.

Usage: summarize.py REPORT.json
"""
import json
import re
import sys

# (benchmark name pattern, counter, comparison, bound)
TARGETS = [
    (r"BM_TakeThenRelease/.*", "x_floor", "<=", 1.10),
    (r"BM_AddrStatus/.*", "x_floor", "<=", 1.10),
    (r"BM_Batch/count:1/used:.*", "x_floor", "<=", 1.10),
    (r"BM_PoolStatus/.*", "x_status_floor", "<=", 1.15),
    (r"BM_Batch/count:1024/used:0/.*", "x_floor", "<=", 4.0),
    (r"BM_Threads/pool_per_thread/2/.*", "throughput_vs_1_thread", ">=", 1.8),
    (r"BM_Threads/shared_pool/2/.*", "throughput_vs_1_thread", ">=", 0.7),
    (r"BM_Crc32ForBuf_vs_PlainLoop/1048576/.*", "speedup_vs_plain_loop", ">=", 0.95),
    (r"BM_BitSerial_vs_BoostBasic/.*", "speedup_vs_boost_basic", ">=", 2.0),
    (r"BM_Hex(Format_vs_Sprintf|Parse_vs_Strtoul)/65536/.*", "speedup_vs_", ">=", 20.0),
]


def fmt_time(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


def fmt_rate(row):
    if "bytes_per_second" in row:
        return f"{row['bytes_per_second'] / 2**20:,.0f} MiB/s"
    if "items_per_second" in row:
        return f"{row['items_per_second'] / 1e6:.3g} M/s"
    return ""


def main(path):
    report = json.load(open(path))
    medians = [b for b in report["benchmarks"] if b.get("aggregate_name", "median") == "median"
               and b.get("run_type") != "iteration" or "aggregate_name" not in b]
    ctx = report["context"]
    print(f"Machine: {ctx.get('num_cpus')} × {ctx.get('mhz_per_cpu')} MHz, {ctx.get('host_name', '')}; "
          f"date {ctx.get('date', '')}\n")
    print("| benchmark | median time | throughput | ratio (median) | target | met |")
    print("|---|---|---|---|---|---|")
    missed = 0
    for row in medians:
        name = row["run_name"] if "run_name" in row else row["name"]
        label = f" ({row['label']})" if row.get("label") else ""
        ratios = {k: v for k, v in row.items() if k.startswith(("x_", "speedup_", "throughput_vs"))}
        ratio_text = ", ".join(f"{k} {v:.3g}" for k, v in ratios.items())
        target_text, met = "", ""
        for pattern, counter, op, bound in TARGETS:
            if re.fullmatch(pattern, name):
                value = next((v for k, v in ratios.items() if k.startswith(counter)), None)
                if value is None:
                    continue
                ok = value <= bound if op == "<=" else value >= bound
                target_text, met = f"{op} {bound}", "yes" if ok else "**no**"
                missed += not ok
        print(f"| {name}{label} | {fmt_time(row['real_time'] * {'ns': 1, 'us': 1e3, 'ms': 1e6, 's': 1e9}[row['time_unit']])}"
              f" | {fmt_rate(row)} | {ratio_text} | {target_text} | {met} |")
    print(f"\nTargets missed: {missed}")


if __name__ == "__main__":
    main(sys.argv[1])
