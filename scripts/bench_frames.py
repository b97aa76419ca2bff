#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""End-to-end frame rate: each real program on a virtual X display.

Starts a private Xvfb, runs each native program for a few seconds with
LUMO_PRESENT_LOG=1 (the native layer then prints how many frames it has
presented about once a second), and measures in the same run:

- the present-only ceiling: lumo_present_ceiling, an SDL window of the same
  size showing an unchanged surface, on the same display;
- the same ceiling with fresh pixels: the window writes its whole surface
  anew (one memset) before each present, the least any new frame costs to
  put on screen this way;
- the kernel: the program's frame kernel in its Google Benchmark
  (BM_FumesFastFree, BM_TwistFastBilinear), wall time.

Ratio = frame time / (kernel + ceiling). The rounds alternate program,
ceilings and kernel, and each round's ratio is formed from that round's own
figures; a program's row is its median round (the round whose ratio is the
median), and every round's ratio is kept beside it. Quantities are never
taken from different rounds. To keep other work on a shared machine from
setting the pace, the script raises its priority (and so that of Xvfb and
the programs) when allowed, unless --no-priority.

Placement (where two processors are allowed): the X server is pinned to one
processor and each program, then the fresh-pixels ceiling, runs pinned to
that same processor and to another one. Every new frame crosses from the
writer's caches to the server's; how much that costs depends on how far
apart the two processors are, which on a virtual machine can change from
minute to minute and is what makes the unpinned rounds differ.

Windows rows (optional): with --windows-build-dir the x86-64 Windows programs
run under Wine on the same display; their frames are counted from Wine's
relay trace of gdi32.BitBlt (timestamps on). A program that cannot run is
listed with the reason.

Screensavers (--screensavers, instead of all the above): each program as a
screensaver at its defaults on the whole 1280 x 1024 display, natively as
the hack (-root, no daemon: the root window) and, with --windows-build-dir,
the x86-64 .scr under Wine (/s), measured in processor seconds per second
of the program's own process (all its threads) and of the X server, after
a settling second.

Usage: scripts/bench_frames.py [--build-dir build/native] [--seconds 5]
           [--rounds 3] [--windows-build-dir build/windows64] [--json-out F]
           [--no-placement] [--no-priority] [--screensavers]
"""
import argparse
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
from xvfb import Display  # noqa: E402  (the one way to start a display)

# Program, client size, kernel benchmark program and case.
PROGRAMS = [
    ("fumes", 800, 500, "lumo_bench_fumes", "BM_FumesFastFree"),
    ("twistview", 768, 536, "lumo_bench_twistview", "BM_TwistFastBilinear"),
]

# Seconds of a program's run left out at the start (window, first picture).
SETTLE_MS = 1000.0


def private_display(cpu=None):
    """A private Xvfb, its server pinned to cpu when one is given."""
    if shutil.which("Xvfb") is None:
        sys.exit("bench_frames: Xvfb is not installed")
    return Display(preexec_fn=pinned(cpu))


def pinned(cpu):
    """A preexec_fn that keeps the child (and all it starts) on one processor."""
    if cpu is None:
        return None
    return lambda: os.sched_setaffinity(0, {cpu})


def stop(proc):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def program_fps(display, path, seconds, cpu=None):
    """Frames per second a native program presented after it settled."""
    with tempfile.TemporaryFile(mode="w+") as log:
        proc = subprocess.Popen([path], env=display.env(LUMO_PRESENT_LOG="1"), stdout=subprocess.DEVNULL,
                                stderr=log, cwd=ROOT, preexec_fn=pinned(cpu))
        time.sleep(seconds)
        stop(proc)
        log.seek(0)
        points = [(float(m.group(2)), int(m.group(1)))
                  for m in re.finditer(r"lumo-present: presents=(\d+) ms=([0-9.]+)", log.read())]
    points = [p for p in points if p[0] >= SETTLE_MS]
    if len(points) < 2:
        return None
    (t0, n0), (t1, n1) = points[0], points[-1]
    return (n1 - n0) * 1000.0 / (t1 - t0)


def ceiling_ms(display, build_dir, width, height, seconds, fill=False, cpu=None):
    """Milliseconds per present of lumo_present_ceiling (with --fill: per
    fill and present, and the fill's share)."""
    out = subprocess.run([os.path.join(build_dir, "bin", "lumo_present_ceiling")] + (["--fill"] if fill else []) +
                         [str(width), str(height), str(seconds)], env=display.env(), capture_output=True, text=True,
                         timeout=seconds + 30, preexec_fn=pinned(cpu))
    m = re.search(r"presents=(\d+) seconds=([0-9.]+) fill_seconds=([0-9.]+)", out.stdout)
    if out.returncode != 0 or not m:
        sys.exit(f"bench_frames: the ceiling did not run: {out.stderr.strip()}")
    presents = int(m.group(1))
    return 1000.0 * float(m.group(2)) / presents, 1000.0 * float(m.group(3)) / presents


def kernel_ms(build_dir, program, case):
    out = subprocess.run([os.path.join(build_dir, "bin", program), f"--benchmark_filter=^{case}$",
                          "--benchmark_format=json", "--benchmark_min_time=0.5"],
                         capture_output=True, text=True, check=True, cwd=ROOT)
    b = json.loads(out.stdout)["benchmarks"][0]
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
    return b["real_time"] * scale


def wine_fps(display, exe, seconds):
    """Frames per second of a Windows program under Wine, from BitBlt's relay
    trace; (None, reason) when it does not run."""
    loader = shutil.which("wine64") or next(
        (p for p in ("/usr/lib/wine/wine64", "/usr/lib/x86_64-linux-gnu/wine/wine64") if os.path.exists(p)), None)
    if loader is None:
        return None, "64-bit Wine (wine64) is not installed"
    if not os.path.exists(exe):
        return None, f"{exe} is not built"
    server = shutil.which("wineserver") or os.path.join(os.path.dirname(loader), "wineserver")
    prefix = tempfile.mkdtemp(prefix="lumo-wine-")
    env = display.env(WINEPREFIX=prefix, WINEARCH="win64", WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    try:
        subprocess.run([loader, "reg", "add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude", "/d",
                        "gdi32.BitBlt", "/f"], env=env, capture_output=True, timeout=300)
        env["WINEDEBUG"] = "+timestamp,+relay"
        with tempfile.TemporaryFile(mode="w+", errors="replace") as log:
            proc = subprocess.Popen([loader, exe], env=env, stdout=subprocess.DEVNULL, stderr=log,
                                    cwd=os.path.dirname(exe))
            time.sleep(seconds + 3)  # Wine's own start-up first
            stop(proc)
            subprocess.run([server, "-k"], env=env, capture_output=True, timeout=30)
            log.seek(0)
            text = log.read()
    finally:
        shutil.rmtree(prefix, ignore_errors=True)
    stamps = [float(m.group(1)) for m in re.finditer(r"^([0-9]+\.[0-9]+):.*Call gdi32\.BitBlt", text, re.M)]
    if len(stamps) < 2:
        reason = "did not run under Wine" if not stamps else "presented only one frame"
        first = next((l for l in text.splitlines() if "err:" in l or "wine:" in l), "")
        return None, reason + (f" ({first.strip()[:120]})" if first else "")
    stamps = [s for s in stamps if s - stamps[0] >= SETTLE_MS / 1000.0] or stamps
    if len(stamps) < 2 or stamps[-1] <= stamps[0]:
        return None, "too few frames to time"
    return (len(stamps) - 1) / (stamps[-1] - stamps[0]), None


def cpu_seconds(pid):
    """Processor seconds (user and system, all threads) of a running process."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def busy(proc, server, seconds):
    """Processor seconds per second of proc and of the X server, over
    `seconds` after a settling second; None when proc ended."""
    time.sleep(SETTLE_MS / 1000.0)
    if proc.poll() is not None:
        return None
    start = time.monotonic(), cpu_seconds(proc.pid), cpu_seconds(server.pid)
    time.sleep(seconds)
    if proc.poll() is not None:
        return None
    wall = time.monotonic() - start[0]
    return (cpu_seconds(proc.pid) - start[1]) / wall, (cpu_seconds(server.pid) - start[2]) / wall


def measure_screensavers(build_dir, seconds, rounds, windows_dir):
    rows = []
    for name in ("fumes", "twistview"):
        runs = [("native hack (-root, -delay 10000)", [os.path.join(build_dir, "bin", name), "-root"], False)]
        if windows_dir:
            loader = shutil.which("wine64") or "/usr/lib/wine/wine64"
            runs.append(("x86-64 .scr under Wine (/s, 60 a second)",
                         [loader, os.path.join(windows_dir, "bin", name + ".scr"), "/s"], True))
        for build, command, wine in runs:
            prefix = tempfile.mkdtemp(prefix="lumo-wine-") if wine else None
            samples = []
            with private_display() as display:
                env = display.env()
                if prefix:
                    env.update(WINEPREFIX=prefix, WINEARCH="win64", WINEDEBUG="-all",
                               WINEDLLOVERRIDES="mscoree,mshtml=")
                    subprocess.run([command[0], "wineboot", "-i"], env=env, capture_output=True, timeout=300)
                for _ in range(rounds):
                    proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                    # Under Wine the first second is its own start-up.
                    time.sleep(3 if prefix else 0)
                    samples.append(busy(proc, display.proc, seconds))
                    stop(proc)
                if prefix:
                    subprocess.run(["wineserver", "-k"], env=env, capture_output=True, timeout=30)
                    shutil.rmtree(prefix, ignore_errors=True)
            good = [x for x in samples if x is not None]
            if not good:
                rows.append({"program": name, "build": build, "skipped": "it did not keep running"})
                continue
            program, server = sorted(good)[len(good) // 2]
            rows.append({"program": name, "build": build, "program_cpu": program, "server_cpu": server,
                         "rounds": [round(x[0], 3) for x in good]})
    return rows


def screensaver_table(rows):
    lines = ["| Screensaver (1280 x 1024, defaults) | Build | Program: processor s/s | X server: processor s/s |",
             "|---|---|---:|---:|"]
    for r in rows:
        if "skipped" in r:
            lines.append(f"| {r['program']} | {r['build']} | skipped: {r['skipped']} | - |")
        else:
            lines.append(f"| {r['program']} | {r['build']} | **{r['program_cpu']:.3f}** | {r['server_cpu']:.3f} |")
    return "\n".join(lines)


def measure(build_dir, seconds, rounds, windows_dir):
    rows = []
    with private_display() as display:
        for name, width, height, bench, case in PROGRAMS:
            path = os.path.join(build_dir, "bin", name)
            if not os.path.exists(path):
                sys.exit(f"bench_frames: missing {path}: build the native preset first")
            rounds_of = []
            for _ in range(rounds):
                value = program_fps(display, path, seconds)
                if value is None:
                    sys.exit(f"bench_frames: {name} printed no presentation counts")
                rounds_of.append(row(name, "native", width, height, value,
                                     ceiling_ms(display, build_dir, width, height, seconds),
                                     ceiling_ms(display, build_dir, width, height, seconds, fill=True),
                                     kernel_ms(build_dir, bench, case), case))
            rows.append(median_row(rounds_of))
        for name, width, height, bench, case in PROGRAMS:
            if not windows_dir:
                rows.append({"program": name, "build": "Windows x86-64 under Wine",
                             "skipped": "no Windows build given (--windows-build-dir); this host runs no 32-bit "
                                        "code, so only the x86-64 build could run"})
                continue
            exe = os.path.join(windows_dir, "bin", name + ".exe")
            fps, reason = wine_fps(display, exe, seconds)
            if fps is None:
                rows.append({"program": name, "build": "Windows x86-64 under Wine", "skipped": reason})
                continue
            rows.append(row(name, "Windows x86-64 under Wine", width, height, fps,
                            ceiling_ms(display, build_dir, width, height, seconds),
                            ceiling_ms(display, build_dir, width, height, seconds, fill=True),
                            kernel_ms(build_dir, bench, case), case))
    return rows


def two_processors():
    """Two processors this process may run on, or None."""
    try:
        allowed = sorted(os.sched_getaffinity(0))
    except (AttributeError, OSError):
        return None
    return (allowed[0], allowed[1]) if len(allowed) >= 2 else None


def measure_placement(build_dir, seconds, rounds, native_rows):
    """Each program and the fresh-pixels ceiling with the X server pinned to
    one processor and the writer on the same one or on another; the median
    round, with the ratios against the kernel and present-only ceiling of
    the unpinned rows."""
    cpus = two_processors()
    if cpus is None:
        return []
    server_cpu, other_cpu = cpus
    rows = []
    with private_display(server_cpu) as display:
        for name, width, height, _, _ in PROGRAMS:
            base = next((r for r in native_rows if r["program"] == name and "ratio" in r), None)
            if base is None:
                continue
            path = os.path.join(build_dir, "bin", name)
            budget = base["kernel_ms"] + base["ceiling_ms"]
            for where, cpu in (("same processor as the X server", server_cpu), ("another processor", other_cpu)):
                rounds_of = []
                for _ in range(rounds):
                    fps = program_fps(display, path, seconds, cpu) or 0.0
                    fresh = ceiling_ms(display, build_dir, width, height, seconds, fill=True, cpu=cpu)[0]
                    if fps <= 0:
                        continue
                    frame = 1000.0 / fps
                    rounds_of.append({"program": name, "placement": where, "fps": fps, "frame_ms": frame,
                                      "fresh_ms": fresh, "ratio": frame / budget,
                                      "fresh_ratio": frame / (base["kernel_ms"] + fresh),
                                      "fresh_floor_ratio": (base["kernel_ms"] + fresh) / budget})
                if rounds_of:
                    rows.append(median_row(rounds_of))
    return rows


def placement_table(rows):
    lines = ["| Program | Program pinned to | Frames/s shown | Frame time | Ratio frame / (kernel + present-only "
             "ceiling) | Ceiling with fresh pixels, pinned alike | Ratio frame / (kernel + that) | That floor "
             "against kernel + present-only ceiling |",
             "|---|---|---:|---:|---:|---:|---:|---:|"]
    for r in rows:
        lines.append(f"| {r['program']} | {r['placement']} | {r['fps']:,.0f} | {r['frame_ms']:.3f} ms | "
                     f"**{r['ratio']:.2f}** | {r['fresh_ms']:.3f} ms | {r['fresh_ratio']:.2f} | "
                     f"{r['fresh_floor_ratio']:.2f} |")
    return "\n".join(lines)


def row(name, build, width, height, fps, ceiling, fresh, kernel, case):
    frame = 1000.0 / fps
    return {"program": name, "build": build, "size": f"{width} x {height}", "fps": fps, "frame_ms": frame,
            "kernel_ms": kernel, "kernel_case": case, "ceiling_ms": ceiling[0], "ratio": frame / (kernel + ceiling[0]),
            "fresh_ms": fresh[0], "fill_ms": fresh[1], "fresh_ratio": frame / (kernel + fresh[0])}


def median_row(rounds_of):
    """The round whose ratio is the median (the lower one of an even count),
    with every round's ratio, in the order run, and their median."""
    ratios = [r["ratio"] for r in rounds_of]
    out = dict(sorted(rounds_of, key=lambda r: r["ratio"])[(len(rounds_of) - 1) // 2])
    out["round_ratios"] = [round(x, 3) for x in ratios]
    out["median_round_ratio"] = statistics.median(ratios)
    out["rounds"] = len(rounds_of)
    return out


def raise_priority():
    try:
        os.nice(-10)
        return True
    except OSError:
        return False


def table(rows):
    lines = ["| Program | Build | Frames/s shown | Frame time | Kernel (benchmark) | Present-only ceiling | "
             "Ratio frame / (kernel + ceiling) | Ceiling with fresh pixels (of it, writing them) | "
             "Ratio frame / (kernel + that) |",
             "|---|---|---:|---:|---:|---:|---:|---:|---:|"]
    for r in rows:
        if "skipped" in r:
            lines.append(f"| {r['program']} | {r['build']} | - | - | - | - | skipped: {r['skipped']} | - | - |")
        else:
            lines.append(f"| {r['program']} ({r['size']}) | {r['build']} | {r['fps']:,.0f} | {r['frame_ms']:.3f} ms | "
                         f"{r['kernel_ms']:.3f} ms (`{r['kernel_case']}`) | {r['ceiling_ms']:.3f} ms | "
                         f"**{r['ratio']:.2f}** | {r['fresh_ms']:.3f} ms ({r['fill_ms']:.3f} ms) | "
                         f"{r['fresh_ratio']:.2f} |")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build", "native"))
    parser.add_argument("--windows-build-dir", help="an x86-64 Windows build to time under Wine as well")
    parser.add_argument("--seconds", type=float, default=5.0)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--json-out", help="save the rows here (scripts/bench_report.py --frames-json reads them)")
    parser.add_argument("--no-placement", action="store_true",
                        help="leave out the runs pinned to the X server's processor and to another one")
    parser.add_argument("--no-priority", action="store_true", help="run at the priority the script was started with")
    parser.add_argument("--screensavers", action="store_true",
                        help="measure the screensavers' processor use at 1280 x 1024 instead")
    args = parser.parse_args()
    if args.seconds < 3 or args.rounds < 1:
        parser.error("--seconds must be at least 3 (counts come once a second after a settling second), "
                     "--rounds at least 1")
    if not args.no_priority:
        raise_priority()
    if args.screensavers:
        load = os.getloadavg()[0]
        rows = measure_screensavers(os.path.abspath(args.build_dir), args.seconds, args.rounds,
                                    os.path.abspath(args.windows_build_dir) if args.windows_build_dir else None)
        if args.json_out:
            with open(args.json_out, "w") as f:
                json.dump({"screensavers": rows, "load": [load, os.getloadavg()[0]]}, f, indent=1)
        print(screensaver_table(rows))
        print(f"load average at the start and the end: {load:.2f}, {os.getloadavg()[0]:.2f}")
        return
    load = {"start": os.getloadavg()[0]}
    rows = measure(os.path.abspath(args.build_dir), args.seconds, args.rounds,
                   os.path.abspath(args.windows_build_dir) if args.windows_build_dir else None)
    placement = [] if args.no_placement else measure_placement(os.path.abspath(args.build_dir), args.seconds,
                                                                args.rounds, rows)
    load["end"] = os.getloadavg()[0]
    data = {"rows": rows, "placement": placement, "measured": time.strftime("%Y-%m-%d %H:%M", time.gmtime()),
            "seconds": args.seconds, "rounds": args.rounds, "load": load}
    if args.json_out:
        with open(args.json_out, "w") as f:
            json.dump(data, f, indent=1)
    print(table(rows))
    if placement:
        print()
        print(placement_table(placement))
    for r in rows + placement:
        if "round_ratios" in r:
            where = f", {r['placement']}" if "placement" in r else ""
            print(f"{r['program']}{where}: ratios of the rounds {r['round_ratios']}, "
                  f"median {r['median_round_ratio']:.2f}")


if __name__ == "__main__":
    main()
