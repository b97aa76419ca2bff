#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Runs the speed benchmarks and writes docs/benchmarks.md and docs/benchmarks.png.

Each benchmark program runs with a few repetitions; the median CPU time of
each case is used (every kernel runs on one thread, and CPU time is steadier
than wall time on a shared machine). The machine's context (clock, caches,
load, build type) heads the page. The table gives the time per frame and per
pixel or byte, and the ratio of each case to its plain reference; the targets
are checked below the table.

The end-to-end frame rates of the two programs (scripts/bench_frames.py:
frames shown per second under Xvfb against the kernel and the present-only
ceiling) are measured too when Xvfb is installed, unless --no-frames; they
get a table of their own and the chart docs/frames.png.

Usage: scripts/bench_report.py [--build-dir build/native] [--repetitions 5]
                               [--min-time 0.2] [--json-in FILE] [--json-out FILE]
                               [--no-frames] [--frames-json FILE]
                               [--windows-build-dir build/windows64]
"""
import argparse
import datetime
import json
import os
import platform
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench_frames  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (program, filter) pairs; the surface library's own cases are left out.
PROGRAMS = [
    ("lumo_bench_twistview", "."),
    ("lumo_bench_fumes", "."),
    ("lumo_bench", "Blend|Present|Expand"),
]

# Sections of the table: title, unit, reference case, and the cases in order.
SECTIONS = [
    ("Rotating zoom, point sampling (768 x 536, picture 0, 16 phases)", "pixel", "BM_TwistPlainPoint",
     ["BM_TwistPlainPoint", "BM_TwistPoint/plain", "BM_TwistPoint/sse2", "BM_TwistPoint/avx2", "BM_TwistPoint/avx512",
      "BM_TwistFastPoint",
      "BM_TwistPixmanNearest"]),
    ("Rotating zoom, bilinear (768 x 536, picture 0, 16 phases)", "pixel", "BM_TwistPlainBilinear",
     ["BM_TwistPlainBilinear", "BM_TwistBilinear/plain", "BM_TwistBilinear/sse2", "BM_TwistBilinear/avx2",
      "BM_TwistBilinear/avx512", "BM_TwistFastBilinear", "BM_TwistPixmanBilinear"]),
    ("Smoke step, free mode (800 x 500)", "byte", "BM_FumesFree/plain",
     ["BM_FumesFree/plain", "BM_FumesTableFree", "BM_FumesFree/sse2", "BM_FumesFree/avx2", "BM_FumesFastFree"]),
    ("Smoke step, drawing mode (800 x 500)", "byte", "BM_FumesDrawing/plain",
     ["BM_FumesDrawing/plain", "BM_FumesDrawing/sse2", "BM_FumesDrawing/avx2", "BM_FumesFastDrawing"]),
    ("Average blend in place (768 x 536, 8 bits)", "byte", "BM_Blend/plain",
     ["BM_Blend/plain", "BM_Blend/mmx", "BM_Blend/sse2", "BM_Blend/avx2", "BM_Blend/avx512", "BM_BlendAvgBlend",
      "BM_BlendMemcpy"]),
    ("Presentation of an 8-bit frame to a window (768 x 536, headless)", "pixel", "BM_ExpandPlain",
     ["BM_ExpandPlain", "BM_Expand/plain", "BM_Expand/sse41", "BM_Expand/avx512", "BM_ExpandTable",
      "BM_ExpandRows/stream:0", "BM_ExpandRows/stream:1", "BM_PresentCopy",
      "BM_PresentCounterAndCopy", "BM_PresentHelpAndCopy"]),
]

LABELS = {
    "BM_TwistPlainPoint": "plain reference",
    "BM_TwistPoint/plain": "runs, scalar",
    "BM_TwistPoint/sse2": "runs, SSE2, samples loaded one by one",
    "BM_TwistPoint/avx2": "runs, AVX2 gathers",
    "BM_TwistPoint/avx512": "runs, AVX-512 gathers",
    "BM_TwistFastPoint": "chosen at run time",
    "BM_TwistPixmanNearest": "pixman a8 nearest (anchor)",
    "BM_TwistPlainBilinear": "plain reference",
    "BM_TwistBilinear/plain": "runs, scalar",
    "BM_TwistBilinear/sse2": "runs, SSE2, paired rows, 16-bit interpolation",
    "BM_TwistBilinear/avx2": "runs, AVX2, paired rows",
    "BM_TwistBilinear/avx512": "runs, AVX-512, paired rows",
    "BM_TwistFastBilinear": "chosen at run time",
    "BM_TwistPixmanBilinear": "pixman a8 bilinear (anchor)",
    "BM_FumesFree/plain": "plain reference",
    "BM_FumesTableFree": "decay bits, scalar",
    "BM_FumesFree/sse2": "SSE2",
    "BM_FumesFree/avx2": "AVX2",
    "BM_FumesFastFree": "chosen at run time",
    "BM_FumesDrawing/plain": "plain reference",
    "BM_FumesDrawing/sse2": "SSE2",
    "BM_FumesDrawing/avx2": "AVX2",
    "BM_FumesFastDrawing": "chosen at run time",
    "BM_Blend/plain": "plain kernel",
    "BM_Blend/mmx": "MMX kernel",
    "BM_Blend/sse2": "SSE2 kernel",
    "BM_Blend/avx2": "AVX2 kernel",
    "BM_Blend/avx512": "AVX-512 kernel",
    "BM_BlendAvgBlend": "AvgBlend as the program calls it",
    "BM_BlendMemcpy": "memcpy of the same bytes (anchor)",
    "BM_ExpandPlain": "palette expansion, plain loop",
    "BM_Expand/plain": "palette expansion, 8 at a time",
    "BM_Expand/sse41": "palette expansion, SSE4.1",
    "BM_Expand/avx512": "palette expansion, AVX-512 VBMI",
    "BM_ExpandTable": "palette expansion, table made in advance (window path)",
    "BM_ExpandRows/stream:0": "a frame's rows as the window copy writes them, through the caches",
    "BM_ExpandRows/stream:1": "the same around the caches (streaming stores, one fence a frame)",
    "BM_PresentCopy": "DrawTo to the window",
    "BM_PresentCounterAndCopy": "counter text + DrawTo",
    "BM_PresentHelpAndCopy": "five help lines + DrawTo",
}


def processor_name():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown processor"


def run_benchmarks(build_dir, repetitions, min_time):
    results = {}
    context = None
    for program, pattern in PROGRAMS:
        path = os.path.join(build_dir, "bin", program)
        if not os.path.exists(path):
            sys.exit(f"missing {path}: build the native preset with benchmarks first")
        out = subprocess.run(
            [path, f"--benchmark_filter={pattern}", "--benchmark_format=json",
             f"--benchmark_repetitions={repetitions}", "--benchmark_report_aggregates_only=true",
             f"--benchmark_min_time={min_time}"],
            check=True, capture_output=True, text=True, cwd=ROOT).stdout
        data = json.loads(out)
        context = context or data.get("context")
        for b in data["benchmarks"]:
            if b.get("aggregate_name") != "median" or b.get("error_occurred"):
                continue
            results[b["run_name"]] = b
    return {"context": context, "results": results, "build_type": build_type(build_dir),
            "measured": datetime.datetime.utcnow().strftime("%Y-%m-%d %H:%M")}


# The browser section (scripts/bench_web.py) lives in the same page: kept as
# it is when this report is written anew.
BROWSER_BEGIN = "<!-- browser benchmarks: begin (scripts/bench_web.py) -->"
BROWSER_END = "<!-- browser benchmarks: end -->"


def place_browser_section(page, section):
    """page with section in place of its browser section, else before its table of all cases, else at its end."""
    if BROWSER_BEGIN in page and BROWSER_END in page:
        return page[:page.index(BROWSER_BEGIN)] + section + page[page.index(BROWSER_END) + len(BROWSER_END):]
    at = page.find("\n## All cases")
    if at < 0:
        return page.rstrip("\n") + "\n\n" + section + "\n"
    return page[:at + 1] + section + "\n\n" + page[at + 1:]


def with_browser_section(old, text):
    """text with the browser section of old (a former report) put before its table of all cases."""
    if BROWSER_BEGIN not in old or BROWSER_END not in old:
        return text
    return place_browser_section(text, old[old.index(BROWSER_BEGIN):old.index(BROWSER_END) + len(BROWSER_END)])


def build_type(build_dir):
    """CMAKE_BUILD_TYPE of the build the benchmarks come from."""
    try:
        with open(os.path.join(build_dir, "CMakeCache.txt")) as f:
            for line in f:
                if line.startswith("CMAKE_BUILD_TYPE:"):
                    return line.split("=", 1)[1].strip() or None
    except OSError:
        pass
    return None


def size_text(size):
    return f"{size // 1048576} MiB" if size >= 1048576 else f"{size // 1024} KiB"


def machine_text(data):
    """The processor, its clock and caches, the load, and the build, as the
    benchmarks' own context gives them."""
    context = data.get("context") or {}
    parts = [f"Processor: **{processor_name()}**, {context.get('num_cpus', os.cpu_count())} logical processors"]
    if context.get("mhz_per_cpu"):
        scaling = "on" if context.get("cpu_scaling_enabled") else "off"
        parts[0] += f" at {context['mhz_per_cpu']} MHz (frequency scaling {scaling})"
    names = {"Data": "d", "Instruction": "i", "Unified": ""}
    caches = []
    for c in context.get("caches", []):
        shared = f", shared by {c['num_sharing']}" if c.get("num_sharing", 1) > 1 else ""
        caches.append(f"L{c['level']}{names.get(c['type'], '')} {size_text(c['size'])}{shared}")
    if caches:
        parts.append("caches " + ", ".join(caches))
    if context.get("load_avg"):
        parts.append("load average " + " / ".join(f"{x:.2f}" for x in context["load_avg"]) + " (1, 5, 15 min) "
                     "when the benchmarks began")
    build = data.get("build_type")
    parts.append(f"our code built {build}" if build else "build type not recorded")
    if context.get("library_build_type"):
        parts[-1] += f", Google Benchmark's library {context['library_build_type']}"
    return "; ".join(parts) + "."


def micros(b, clock="cpu_time"):
    """A Google Benchmark result's time in µs: processor time, or wall time with clock="real_time"."""
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[b.get("time_unit", "ns")]
    return b[clock] * scale


def load_average():
    """The one-minute load average, or None where the system has none."""
    try:
        return os.getloadavg()[0]
    except OSError:
        return None


def ratio_text(value):
    return f"{value:.2f}x"


def build_report(data):
    r = data["results"]
    t = {name: micros(b) for name, b in r.items()}
    units = {name: b.get("units", 0) for name, b in r.items()}
    lines = []
    lines.append("# Benchmarks")
    lines.append("")
    lines.append(machine_text(data) + "  ")
    measured = data.get("measured") or datetime.datetime.utcnow().strftime("%Y-%m-%d %H:%M")
    lines.append(f"Measured {measured} UTC with "
                 "`scripts/bench_report.py` (Google Benchmark, median of the repetitions, CPU time).")
    lines.append("")
    lines.append("Threads: every kernel below runs on one thread, as the programs compute their frames. On screen "
                 "(Frames on screen) the native layer may also expand and put 8-bit frames on a thread of its own "
                 "while the program computes the next, where its tuner finds that faster, and the X server is a "
                 "process of its own on whichever processor the system gives it.")
    lines.append("")
    lines.append("Every fast path is compared byte for byte with its plain reference by the differential tests "
                 "(`fumes_fast_tests`, `test_TwistRenderFast`, `test_BlendFast`, `test_gdi_palette_rows`).")
    lines.append("")
    lines.append("![benchmarks](benchmarks.png)")
    lines.append("")

    def get(name):
        return t.get(name)

    checks = []

    def check(label, ok, detail):
        checks.append(f"| {label} | {detail} | {'met' if ok else '**not met**'} |")

    for name in ("Point", "Bilinear"):
        plain, fast = get(f"BM_TwistPlain{name}"), get(f"BM_TwistFast{name}")
        if plain and fast:
            check(f"Rotating zoom, {name.lower()}: at least 3x the reference", plain / fast >= 3,
                  f"{ratio_text(plain / fast)}")
    fast_bi, pix_bi = get("BM_TwistFastBilinear"), get("BM_TwistPixmanBilinear")
    if fast_bi and pix_bi:
        check("Rotating zoom, bilinear: faster than pixman's bilinear a8 composite", fast_bi < pix_bi,
              f"{ratio_text(pix_bi / fast_bi)} faster")
    for mode in ("Free", "Drawing"):
        plain, fast = get(f"BM_Fumes{mode}/plain"), get(f"BM_FumesFast{mode}")
        if plain and fast:
            check(f"Smoke step, {mode.lower()} mode: at least 10x the reference", plain / fast >= 10,
                  ratio_text(plain / fast))
    avg, mem = get("BM_BlendAvgBlend"), get("BM_BlendMemcpy")
    if avg and mem:
        check("AvgBlend within 2x of memcpy", avg / mem <= 2, f"{avg / mem:.2f}x memcpy's time")
    present, help_present = get("BM_PresentCounterAndCopy"), get("BM_PresentHelpAndCopy")
    if present and fast_bi:
        check("Presentation (counter + copy) below a third of the bilinear frame's pixel work",
              present < fast_bi / 3, f"{present / fast_bi:.2f} of it")
    if present and fast_bi:
        check("Presentation (counter + copy) as a share of the whole bilinear frame", present < (fast_bi + present) / 3,
              f"{present / (fast_bi + present):.2f} of it")
    if help_present and fast_bi:
        check("Presentation with the five help lines, same bound", help_present < fast_bi / 3,
              f"{help_present / fast_bi:.2f} of it")

    frames = data.get("frames")
    for r in (frames or {}).get("rows", []):
        if r.get("build") == "native" and "ratio" in r:
            check(f"{r['program']} on screen: frame time at most 1.3x kernel + present-only ceiling (Xvfb)",
                  r["ratio"] <= 1.3, f"{r['ratio']:.2f}x")

    lines.append("## Targets")
    lines.append("")
    lines.append("| Target | Measured | |")
    lines.append("|---|---|---|")
    lines.extend(checks)
    lines.append("")
    lines.append("## Frames on screen")
    lines.append("")
    if frames:
        lines.append(f"Measured {frames.get('measured', '?')} UTC with `scripts/bench_frames.py` "
                     f"({frames.get('rounds', '?')} rounds of {frames.get('seconds', '?')} s each; each row is the "
                     "program's median round, the round whose ratio is the median, with all its figures from that "
                     "round; every round's ratio is listed below the table, since the machine is shared; run at "
                     "raised priority so that other work on the machine sets the pace less" +
                     (f"; load average {frames['load']['start']:.1f} when they began, "
                      f"{frames['load']['end']:.1f} when they ended" if frames.get("load") else "") +
                     "). Each program runs "
                     "on a private Xvfb (1280 x 1024, 24 bits) with `LUMO_PRESENT_LOG=1`, which makes the native "
                     "layer print its presentation count about once a second; the first second is left out. The "
                     "programs present through the layer's two shared-memory images, the server copying one frame "
                     "while the next is computed, each written through or around the caches and on the drawing "
                     "thread or the layer's own, whichever was timed fastest (pinned to one processor, a program "
                     "never uses the thread). The present-only ceiling is `lumo_present_ceiling`, an SDL window of the same size showing an "
                     "unchanged window surface as fast as it can on the same display; the kernel is the program's "
                     "frame kernel in its Google Benchmark (wall time), in the same run. The ceiling with fresh "
                     "pixels is the same window writing its whole surface anew (one memset) before each present: "
                     "the least a new frame costs to put on screen through SDL's window surface, writing and the "
                     "X server's copy of just-written memory included, so the last column is the frame against "
                     "kernel plus that floor.")
        lines.append("")
        lines.append(bench_frames.table(frames["rows"]))
        lines.append("")
        spread = [f"{r['program']}{'' if r['build'] == 'native' else ' (Wine)'} "
                  f"{', '.join(f'{x:.2f}' for x in r['round_ratios'])} (median {r['median_round_ratio']:.2f})"
                  for r in frames["rows"] if "round_ratios" in r]
        spread += [f"{r['program']} pinned to {r['placement'].replace('same processor as', 'the processor of')} "
                   f"{', '.join(f'{x:.2f}' for x in r['round_ratios'])} (median {r['median_round_ratio']:.2f})"
                   for r in frames.get("placement") or [] if "round_ratios" in r]
        if spread:
            lines.append("Ratio frame / (kernel + ceiling) of each round on its own, in the order run: " +
                         "; ".join(spread) + ".")
            lines.append("")
        if frames.get("placement"):
            lines.append("The same programs with the X server pinned to one processor and the program (then the "
                         "ceiling with fresh pixels) pinned to the same one or to another, the median of the same "
                         "number of rounds; the ratios use the kernel and present-only ceiling above. Every new frame has "
                         "to travel from the writer's caches to the server's, which the present-only ceiling (an "
                         "unchanged surface) never pays: the last column is the least that travel costs on this "
                         "machine, as a multiple of kernel plus present-only ceiling. On a virtual machine how far "
                         "apart two processors are can change from minute to minute, the likeliest reason why the "
                         "unpinned rounds above differ so much.")
            lines.append("")
            lines.append(bench_frames.placement_table(frames["placement"]))
            lines.append("")
        if any(r.get("build", "native") != "native" and "fps" in r for r in frames["rows"]):
            lines.append("The Wine rows run the x86-64 Windows programs (one round) on the same display, their "
                         "frames counted from Wine's relay trace of gdi32.BitBlt, which costs them a little; there "
                         "Wine's own GDI copies the frame, so the native layer's presentation path plays no part.")
            lines.append("")
        lines.append("![frames](frames.png)")
    else:
        lines.append("Not measured in this run (Xvfb missing or `--no-frames`); `scripts/bench_frames.py` "
                     "measures them.")
    lines.append("")
    lines.append("## All cases")
    lines.append("")
    for title, unit, reference, names in SECTIONS:
        present_names = [n for n in names if n in t]
        if not present_names:
            continue
        lines.append(f"### {title}")
        lines.append("")
        lines.append(f"| Case | Time per frame (µs) | ns per {unit} | Speed-up over {LABELS.get(reference)} |")
        lines.append("|---|---:|---:|---:|")
        for n in present_names:
            per_unit = t[n] * 1000 / units[n] if units.get(n) else float("nan")
            speed = ratio_text(t[reference] / t[n]) if reference in t else "-"
            lines.append(f"| {LABELS.get(n, n)} (`{n}`) | {t[n]:.1f} | {per_unit:.3f} | {speed} |")
        lines.append("")
    lines.append("## What the fast paths do")
    lines.append("")
    lines.append("- **Smoke step.** Each byte's decay decision depends only on the step's starting noise (0 to 9) and "
                 "the byte's offset, so it is tabulated once per starting value as one bit per byte. The averages "
                 "then run 16 (SSE2) or 32 (AVX2) bytes at a time with an exact floor((a+b+c+d)/4) built from "
                 "byte averages and their dropped low bits; a block reads only bytes at or after its own start "
                 "and reads before it writes, so the forward in-place sweep gives the same bytes for any row "
                 "length. The block straddling the end of the main pass takes its fourth term from a copy.")
    lines.append("- **Rotating zoom.** Along a row both picture coordinates move in a straight line, so each row is "
                 "cut analytically into runs inside which the wrapped coordinates are the plain ones plus a "
                 "constant; a run needs no compares and no tables. The AVX2 and AVX-512 forms sample 8 or 16 "
                 "pixels per step with gathers; the bilinear form gathers all four neighbours with one 32-bit "
                 "load from a copy of the picture whose bytes are paired with the byte one row further on "
                 "(built when the picture changes). The SSE2 form, without gathers or a 32-bit multiply, works "
                 "out eight offsets a step (the row part as a 16-bit multiply-add), loads each sample's word by "
                 "itself and interpolates in 16-bit lanes, where the signed high product plus a correction for "
                 "the fraction's top bit gives exactly (q - p) f >> 16. Rows whose positions would cross the "
                 "32-bit range fall back to the per-pixel wrap.")
    lines.append("- **Average blend.** The MMX kernel's formula on 16, 32 or 64 bytes (shift within 64-bit halves, "
                 "sum per 32-bit word, the same zero-padded tail), and one pass over the whole surface when the "
                 "rows are contiguous whole 8-byte blocks, which removes a call per row.")
    lines.append("- **Presentation.** The native GDI's 8-bit to window copy expands palette indices 4 at a time "
                 "(SSE4.1) or 64 at a time through per-channel byte tables (AVX-512 VBMI), in one pass from the "
                 "surface into the window's pixels; the palette is made ready (pixel values, byte tables, the form "
                 "to run) once per palette change, a fourth byte that is zero in every colour is not looked up, and "
                 "only the copied rectangle is presented. On an X display with shared memory those pixels are two "
                 "MIT-SHM images of the layer's own, presented in turn without waiting for the server, so the X "
                 "server copies one frame while the program computes the next; an image is written again only "
                 "once the server reports it done, and a copy that overwrites the whole window never has to bring "
                 "the other image's picture over. An 8-bit frame may instead be copied (around the caches, "
                 "since the thread reads it on another processor) and handed to a thread of the layer's own, which expands and puts it while the program computes the next; the server, "
                 "woken by that thread, then runs beside the program instead of on its processor. Once a second a "
                 "few frames are timed each way (written through the caches or around them with streaming "
                 "stores, which win when the server runs on a distant processor and are fenced once a frame, since a "
                 "fence per row cost more than the expansion; expanded on the drawing thread "
                 "or the layer's own, which wins when the program's own frame is long), and the fastest is kept. "
                 "Elsewhere they are SDL's window surface.")
    lines.append("")
    lines.append("Skipped cases (a kernel the processor lacks) do not appear. Rerun with "
                 "`scripts/bench_report.py --build-dir <native build>` after building `lumo_bench`, "
                 "`lumo_bench_twistview` and `lumo_bench_fumes` with the `native` preset.")
    lines.append("")
    return "\n".join(lines), t


def draw_chart(times, path):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib is not installed: no chart written", file=sys.stderr)
        return False
    sections = [s for s in SECTIONS if any(n in times for n in s[3])]
    fig, axes = plt.subplots(len(sections), 1, figsize=(9, 2.0 + 1.25 * sum(
        len([n for n in s[3] if n in times]) for s in sections) / 2.2))
    if len(sections) == 1:
        axes = [axes]
    for ax, (title, unit, reference, names) in zip(axes, sections):
        names = [n for n in names if n in times]
        values = [times[n] for n in names]
        colours = []
        for n in names:
            if n == reference:
                colours.append("#9a9a9a")
            elif "Pixman" in n or "Memcpy" in n:
                colours.append("#d08c2c")
            else:
                colours.append("#2c6fb0")
        y = range(len(names))
        ax.barh(list(y), values, color=colours)
        ax.set_yticks(list(y))
        ax.set_yticklabels([LABELS.get(n, n) for n in names], fontsize=8)
        ax.invert_yaxis()
        ax.set_title(title, fontsize=9, loc="left")
        ax.set_xlabel("µs per frame (CPU time, lower is better)", fontsize=8)
        ax.tick_params(axis="x", labelsize=8)
        top = max(values)
        for i, v in enumerate(values):
            label = f"{v:.0f} µs" if v >= 10 else f"{v:.1f} µs"
            if reference in times and names[i] != reference:
                label += f"  ({times[reference] / v:.1f}x)"
            ax.text(v + top * 0.01, i, label, va="center", fontsize=7)
        ax.set_xlim(0, top * 1.3)
    fig.suptitle(f"Lumo kernels on {processor_name()} (grey: plain reference, orange: outside anchor)",
                 fontsize=9)
    fig.tight_layout(rect=(0, 0, 1, 0.985))
    fig.savefig(path, dpi=110)
    return True


def draw_frames_chart(frames, path):
    rows = [r for r in (frames or {}).get("rows", []) if "ratio" in r]
    if not rows:
        return False
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        return False
    fig, ax = plt.subplots(figsize=(9, 1.0 + 0.9 * len(rows)))
    labels = []
    for i, r in enumerate(rows):
        y = 2 * i
        ax.barh(y, r["frame_ms"], color="#2c6fb0", height=0.8)
        ax.barh(y + 0.85, r["kernel_ms"], color="#9a9a9a", height=0.8)
        ax.barh(y + 0.85, r["ceiling_ms"], left=r["kernel_ms"], color="#d08c2c", height=0.8)
        if "fresh_ms" in r:
            ax.barh(y + 0.85, r["fresh_ms"] - r["ceiling_ms"], left=r["kernel_ms"] + r["ceiling_ms"],
                    color="none", edgecolor="#d08c2c", hatch="///", height=0.8)
        budget = 1.3 * (r["kernel_ms"] + r["ceiling_ms"])
        ax.plot([budget, budget], [y - 0.45, y + 1.3], color="black", linestyle="--", linewidth=1)
        ax.text(r["frame_ms"], y, f"  {r['frame_ms']:.3f} ms, {r['fps']:,.0f} frames/s (ratio {r['ratio']:.2f})",
                va="center", fontsize=7)
        ax.text(max(r["kernel_ms"] + r.get("fresh_ms", r["ceiling_ms"]), budget), y + 0.85,
                f"  kernel {r['kernel_ms']:.3f} + ceiling {r['ceiling_ms']:.3f} ms"
                + (f" (fresh pixels {r['fresh_ms']:.3f})" if "fresh_ms" in r else ""), va="center", fontsize=7)
        build = "" if r["build"] == "native" else " (Wine)"
        labels.append((y + 0.42, f"{r['program']}{build}"))
    ax.set_yticks([p for p, _ in labels])
    ax.set_yticklabels([t for _, t in labels], fontsize=8)
    ax.invert_yaxis()
    ax.set_xlabel("ms per frame (blue: on screen; grey + orange: kernel + present-only ceiling, hatched: "
                  "more with fresh pixels; dashed: 1.3x kernel + ceiling)", fontsize=8)
    ax.tick_params(axis="x", labelsize=8)
    ax.set_xlim(0, max(max(r["frame_ms"], 1.3 * (r["kernel_ms"] + r.get("fresh_ms", r["ceiling_ms"])))
                       for r in rows) * 1.75)
    ax.set_title(f"Frames on screen under Xvfb, {processor_name()}", fontsize=9, loc="left")
    fig.tight_layout()
    fig.savefig(path, dpi=110)
    return True


def ensure_matplotlib():
    """Re-runs the script (this one or the one importing it) under the system Python when this one lacks matplotlib."""
    try:
        import matplotlib  # noqa: F401
        return
    except ImportError:
        pass
    system = "/usr/bin/python3"
    if os.path.exists(system) and os.path.realpath(sys.executable) != os.path.realpath(system) \
            and not os.environ.get("LUMO_BENCH_REPORT_REEXEC"):
        os.environ["LUMO_BENCH_REPORT_REEXEC"] = "1"
        os.execv(system, [system, os.path.abspath(sys.argv[0])] + sys.argv[1:])


def main():
    ensure_matplotlib()
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build", "native"))
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--min-time", default="0.2")
    parser.add_argument("--json-in", help="use saved results instead of running the benchmarks")
    parser.add_argument("--json-out", help="also save the results here")
    parser.add_argument("--md", default=os.path.join(ROOT, "docs", "benchmarks.md"))
    parser.add_argument("--png", default=os.path.join(ROOT, "docs", "benchmarks.png"))
    parser.add_argument("--frames-png", default=os.path.join(ROOT, "docs", "frames.png"))
    parser.add_argument("--no-frames", action="store_true", help="leave the end-to-end frame rates out")
    parser.add_argument("--frames-json", help="use saved scripts/bench_frames.py results")
    parser.add_argument("--frames-seconds", type=float, default=5.0, help="at least 3")
    parser.add_argument("--frames-rounds", type=int, default=3)
    parser.add_argument("--windows-build-dir", help="an x86-64 Windows build to time under Wine as well")
    args = parser.parse_args()
    if args.json_in:
        with open(args.json_in) as f:
            data = json.load(f)
    else:
        data = run_benchmarks(args.build_dir, args.repetitions, args.min_time)
    if args.frames_json:
        with open(args.frames_json) as f:
            data["frames"] = json.load(f)
    elif not args.no_frames and shutil.which("Xvfb") and not (args.json_in and "frames" in data):
        bench_frames.raise_priority()
        load = {"start": load_average()}
        rows = bench_frames.measure(os.path.abspath(args.build_dir), args.frames_seconds, args.frames_rounds,
                                    os.path.abspath(args.windows_build_dir) if args.windows_build_dir else None)
        placement = bench_frames.measure_placement(os.path.abspath(args.build_dir), args.frames_seconds,
                                                   args.frames_rounds, rows)
        load["end"] = load_average()
        data["frames"] = {"rows": rows, "placement": placement, "load": load,
                          "measured": datetime.datetime.utcnow().strftime("%Y-%m-%d %H:%M"),
                          "seconds": args.frames_seconds, "rounds": args.frames_rounds}
    if args.json_out:
        with open(args.json_out, "w") as f:
            json.dump(data, f, indent=1)
    text, times = build_report(data)
    try:
        with open(args.md) as f:
            text = with_browser_section(f.read(), text)
    except OSError:
        pass
    with open(args.md, "w") as f:
        f.write(text)
    draw_chart(times, args.png)
    draw_frames_chart(data.get("frames"), args.frames_png)
    print(text)


if __name__ == "__main__":
    main()
