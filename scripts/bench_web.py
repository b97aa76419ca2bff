#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Times the kernels in headless Chromium beside the native ones, and both pages.

In one run, at raised priority:
  - the native benchmark programs (Google Benchmark, build/native/bin) time each
    fast-path family's plain form, its SSE2 form (SSE4.1 for the palette
    expansion, the 128-bit form there; the rotating zoom has none) and the
    form the chooser takes, as the program calls it;
  - the same benchmark sources built for the web (build/web/bench, a page on
    a stand-in for Google Benchmark) time the plain and simd128 forms in
    Debian's Chromium, headless, served on 127.0.0.1 (bench/web/browser_bench.mjs,
    puppeteer-core from tests/e2e/web);
  - both programs' pages run in the same Chromium with and without
    ?disable=simd128: animation frames and frames put on the canvas per
    second, and the processor time of the page's main thread per frame.
The cases run in rounds, every case natively and in Chromium in each, so
that bursts of other work on a shared machine fall on both alike; every
figure is wall time (the page has no other clock), the median of the rounds. The browser section of docs/benchmarks.md (between its
markers, which scripts/bench_report.py keeps) and docs/benchmarks-browser.png
are written anew.

The pages' weight and start, within that section between markers of its own:
each page's files as the browser fetched them, raw and compressed with
gzip -9 as a static host serves them, the time from navigation to the first
frame put on the canvas over --loads first visits (nothing cached), and the
main thread's processor time per frame (the median of --page-rounds
samples, the builds in turns); with --before, the same for a former
build (its build folder, or a folder holding its site/), beside this one.
--pages measures and writes that part alone, without the kernels.

Usage: scripts/bench_web.py [--web-build build/web] [--native-build build/native]
                            [--rounds 7] [--min-time 0.5] [--page-seconds 5]
                            [--pages] [--before DIR] [--loads 7] [--page-rounds 3]
                            [--json-in FILE] [--json-out FILE]
Build first: cmake --build --preset web; cmake --build --preset native.
"""
import argparse
import datetime
import json
import os
import re
import shutil
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench_frames  # noqa: E402
import bench_report  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BEGIN = bench_report.BROWSER_BEGIN
END = bench_report.BROWSER_END
LOAD_BEGIN = "<!-- page weight and start: begin (scripts/bench_web.py) -->"
LOAD_END = "<!-- page weight and start: end -->"

# Family: title, then the cases: native plain, native 128-bit x86 form (None:
# the family has none), native as the program calls it, browser plain,
# browser simd128, browser as the program calls it.
FAMILIES = [
    ("Smoke step, free mode (800 x 500)",
     "BM_FumesFree/plain", "BM_FumesFree/sse2", "BM_FumesFastFree",
     "BM_FumesFree/plain", "BM_FumesFree/simd128", "BM_FumesFastFree"),
    ("Smoke step, drawing mode (800 x 500)",
     "BM_FumesDrawing/plain", "BM_FumesDrawing/sse2", "BM_FumesFastDrawing",
     "BM_FumesDrawing/plain", "BM_FumesDrawing/simd128", "BM_FumesFastDrawing"),
    ("Rotating zoom, point (768 x 536, 16 phases)",
     "BM_TwistPoint/plain", "BM_TwistPoint/sse2", "BM_TwistFastPoint",
     "BM_TwistPoint/plain", "BM_TwistPoint/simd128", "BM_TwistFastPoint"),
    ("Rotating zoom, bilinear (768 x 536, 16 phases)",
     "BM_TwistBilinear/plain", "BM_TwistBilinear/sse2", "BM_TwistFastBilinear",
     "BM_TwistBilinear/plain", "BM_TwistBilinear/simd128", "BM_TwistFastBilinear"),
    ("Average blend in place (768 x 536, 8 bits)",
     "BM_Blend/plain", "BM_Blend/sse2", "BM_BlendAvgBlend",
     "BM_Blend/plain", "BM_Blend/simd128", "BM_BlendAvgBlend"),
    ("Palette expansion (768 x 536)",
     "BM_Expand/plain", "BM_Expand/sse41", "BM_ExpandTable",
     "BM_Expand/plain", "BM_Expand/simd128", "BM_ExpandTable"),
]

# The native programs and what of them to run.
NATIVE = [
    ("lumo_bench_fumes", r"BM_Fumes(Free|Drawing)/(plain|sse2)$|BM_FumesFast"),
    ("lumo_bench_twistview", r"BM_Twist(Point|Bilinear)/(plain|sse2)$|BM_TwistFast"),
    ("lumo_bench", r"BM_Blend/(plain|sse2)$|BM_BlendAvgBlend|BM_Expand/(plain|sse41)$|BM_ExpandTable"),
]
BROWSER_FILTER = r"/(plain|simd128)$|Fast|AvgBlend|ExpandTable"

# Why a family's simd128 form comes where it does against the native forms.
NOTES = {
    "Smoke step": "the SSE2 form instruction for instruction (byte averages, saturating subtractions), which V8 "
                  "compiles to nearly the same SSE code; the AVX2 form the native chooser takes does 32 bytes a "
                  "step where WebAssembly stops at 16.",
    "Rotating zoom": "like the SSE2 form, it has no gather: four offsets a vector, each sample's bytes loaded "
                     "into its lane by itself (one 32-bit load per bilinear sample from the row-paired picture), "
                     "the interpolation four samples a vector in 32-bit lanes, where the SSE2 form interpolates "
                     "eight in 16-bit lanes (WebAssembly has no 16-bit high multiply). The native chooser takes "
                     "AVX2 or AVX-512 with hardware gathers of 8 or 16 samples.",
    "Average blend": "the plain kernel four 32-bit words a vector. The plain forms are compiled with the vectors "
                     "allowed, natively (SSE2 is x86-64's baseline) as in the browser, and the compilers vectorise "
                     "the plain kernel's four words themselves, so plain and simd128 come out alike; the blend is "
                     "bound by memory traffic more than by arithmetic.",
    "Palette expansion": "four colours loaded and stored as one vector, as the SSE4.1 form does; the native "
                         "chooser takes the AVX-512 VBMI form, 64 pixels a step through byte permutes, which "
                         "WebAssembly cannot express (its swizzle looks up 16 bytes).",
}


def micros(b):
    return bench_report.micros(b, "real_time")  # wall time: the page has no other clock


def run_native(build_dir, min_time):
    """One round of the native cases: wall µs per frame by case, and the form each family took."""
    results = {}
    forms = {}
    env = dict(os.environ, LUMO_DISABLE="none")  # no level is called "none": each family only names its form
    for program, pattern in NATIVE:
        path = os.path.join(build_dir, "bin", program)
        if not os.path.exists(path):
            sys.exit(f"missing {path}: build the native preset first (cmake --build --preset native)")
        done = subprocess.run(
            [path, f"--benchmark_filter={pattern}", "--benchmark_format=json", f"--benchmark_min_time={min_time}"],
            check=True, capture_output=True, text=True, cwd=ROOT, env=env)
        for b in json.loads(done.stdout)["benchmarks"]:
            if not b.get("error_occurred"):
                results[b["run_name"]] = micros(b)
        forms.update(dict(re.findall(r"lumo: ([a-z ]+): (\S+) form", done.stderr)))
    return results, forms


def run_browser(web_build, min_time, only, page_seconds=0):
    """bench/web/browser_bench.mjs's JSON: one round of the cases in Chromium, or the pages."""
    for needed in ("bench/lumo_bench.js", "bench/bench.html", "site/fumes.html", "site/twistview.html"):
        if not os.path.exists(os.path.join(web_build, needed)):
            sys.exit(f"missing {os.path.join(web_build, needed)}: build the web preset first "
                     "(cmake --build --preset web)")
    if not os.path.isdir(os.path.join(ROOT, "tests", "e2e", "web", "node_modules", "puppeteer-core")):
        sys.exit("puppeteer-core is not installed: scripts/install-deps.sh installs it into tests/e2e/web")
    done = subprocess.run(
        ["node", os.path.join(ROOT, "bench", "web", "browser_bench.mjs"), "--build", web_build, "--only", only,
         "--filter", BROWSER_FILTER, "--repetitions", "1", "--min-time", str(min_time),
         "--page-seconds", str(page_seconds)],
        check=True, capture_output=True, text=True, cwd=ROOT)
    return json.loads(done.stdout)


def browser_json(build, *flags):
    """bench/web/browser_bench.mjs's JSON for the site below `build`."""
    if not os.path.isdir(os.path.join(ROOT, "tests", "e2e", "web", "node_modules", "puppeteer-core")):
        sys.exit("puppeteer-core is not installed: scripts/install-deps.sh installs it into tests/e2e/web")
    done = subprocess.run(["node", os.path.join(ROOT, "bench", "web", "browser_bench.mjs"), "--build", build, *flags],
                          check=True, capture_output=True, text=True, cwd=ROOT)
    return json.loads(done.stdout)


def gzip_size(path):
    with open(path, "rb") as f:
        return len(subprocess.run(["gzip", "-9", "-c"], stdin=f, check=True, capture_output=True).stdout)


def check_site(build):
    for page in ("site/fumes.html", "site/twistview.html"):
        if not os.path.exists(os.path.join(build, page)):
            sys.exit(f"missing {os.path.join(build, page)}: build the web preset first (cmake --build --preset web)")


def measure_pages(args, data):
    """Each build's pages: the files each fetched (raw and gzip -9 bytes), its first frames, its frame times.
    The builds take turns, visits then frames, so that a change in the machine's load falls on both."""
    builds = {"before": args.before, "after": args.web_build} if args.before else {"after": args.web_build}
    builds = {name: os.path.abspath(build) for name, build in builds.items()}
    for build in builds.values():
        check_site(build)
    data["loads"] = {"loads": args.loads, "load_average": [bench_report.load_average()], "builds": {}}
    visits = {name: browser_json(build, "--only", "loads", "--loads", str(args.loads))["loads"]
              for name, build in builds.items()}
    data["loads"]["load_average"].append(bench_report.load_average())
    # The frame times too take turns, over rounds: one five-second sample of each page varied by a quarter.
    pages = {name: [] for name in builds}
    for _ in range(args.page_rounds):
        for name, build in builds.items():
            pages[name] += browser_json(build, "--only", "pages", "--page-seconds", str(args.page_seconds))["pages"]
    data["loads"]["load_average"].append(bench_report.load_average())
    data["loads"]["page_rounds"] = args.page_rounds
    data["loads"]["page_seconds"] = args.page_seconds
    for name, build in builds.items():
        out = data["loads"]["builds"][name] = {}
        for program in ("fumes", "twistview"):
            files = sorted({f for v in visits[name] if v["program"] == program for f in v["files"]})
            samples = {}
            for p in pages[name]:
                if p["program"] == program and p["threadMsPerFrame"] is not None:
                    samples.setdefault(p["query"] + (", " + p["setup"] if p.get("setup") else ""), []).append(
                        p["threadMsPerFrame"])
            out[program] = {
                "files": {f: [os.path.getsize(build + f), gzip_size(build + f)] for f in files},
                "first_frame_ms": [v["firstFrameMs"] for v in visits[name] if v["program"] == program],
                "frame_ms": {key: statistics.median(values) for key, values in samples.items()},
                "frame_samples": samples}


def kb(n):
    return f"{n / 1000:,.1f} KB"


def load_section(data):
    """The pages' weight, first frame and frame time, before and after."""
    loads = data["loads"]
    averages = [x for x in loads["load_average"] if x is not None]
    lines = [LOAD_BEGIN, "### Weight and start of the pages", "",
             f"Measured {data['measured']} UTC in the same Chromium (load average "
             f"{min(averages):.1f} to {max(averages):.1f} on the {os.cpu_count()} processors, the browser's own "
             "processes included). Weight: "
             "the site's files each page fetched (its page, `lumo.js`, `lumo.css`, its icon, its program's `.js` "
             "and `.wasm`), raw and compressed with `gzip -9` as a static host serves them. First frame: from the "
             "navigation's start to the program's first frame put on its canvas, each visit a new visitor's (a "
             f"fresh browser context, nothing cached, once the browser has started that context's own pages), the "
             f"median and range of {loads['loads']} visits. Processor time: the page's main thread per frame put, "
             "as in the table above (simd128 forms, and with `?disable=simd128`), the median of "
             f"{loads.get('page_rounds', 1)} samples of {loads.get('page_seconds', 5):g} s taken in turns, each once "
             "the site's worker has installed. On a 2-processor machine these times vary by a quarter from run to run, "
             "before and after alike: compare the two builds of one run." + (
                 f" With {max(averages):.0f} processes waiting for the {os.cpu_count()} processors at times, the "
                 "times say more about the other work than about the pages: the weights are exact, the times "
                 "are to be measured again on a quiet machine." if max(averages) > 2 * os.cpu_count() else ""), "",
             "| Page | Build | Raw | gzip -9 | First frame (median, range) | Processor time per frame, simd128 | "
             "Plain forms |", "|---|---|---:|---:|---:|---:|---:|"]
    for program in ("fumes", "twistview"):
        for build, site in loads["builds"].items():
            page = site[program]
            raw = sum(sizes[0] for sizes in page["files"].values())
            packed = sum(sizes[1] for sizes in page["files"].values())
            first = page["first_frame_ms"]
            frame = page["frame_ms"]
            cells = [f"{frame.get(q):.2f} ms" if frame.get(q) is not None else "—"
                     for q in ("?disable=none", "?disable=simd128")]
            lines.append(f"| `{program}.html` | {build} | {kb(raw)} | **{kb(packed)}** | "
                         f"**{statistics.median(first):.0f} ms** ({min(first):.0f}–{max(first):.0f}) | "
                         f"{cells[0]} | {cells[1]} |")
    after = loads["builds"]["after"]
    lines += ["", "Each file of the pages as built now (raw / gzip -9): " + "; ".join(
        f"`{os.path.basename(f)}` {kb(sizes[0])} / {kb(sizes[1])}"
        for f, sizes in sorted({**after["fumes"]["files"], **after["twistview"]["files"]}.items())) + ".", "",
              "Targets: fumes at most 100 KB and twistview at most 150 KB with gzip -9, the first frame within "
              "300 ms, and no page's processor time per frame worse than before. The programs are built for size "
              "except the code that runs for every pixel of every frame, which keeps `-O3 -msimd128` (the kernels "
              "also `-finline-functions`, which emcc's `-Oz` elsewhere on the line would take away); Asyncify "
              "instruments only the functions that can wait (`scripts/web_waits.py`). The link optimises across "
              "files (`-flto`) at `-O3`, so that its optimiser keeps the kernels' speed; terser shrinks the "
              "runtime's JavaScript, the page's script and its style sheet (`scripts/minify_site.js`); the page "
              "fetches and compiles the program's code while the runtime's script still loads; the page's own "
              "listeners replace emscripten's event library.", "",
              "Rerun with `scripts/bench_web.py --pages --before DIR`, DIR a build (or its `site/`) to compare "
              "with.", LOAD_END]
    return "\n".join(lines)


def emscripten_version():
    try:
        out = subprocess.run(["emcc", "--version"], capture_output=True, text=True).stdout
        found = re.search(r"\) (\d+\.\d+\.\d+)", out)
        return found.group(1) if found else out.splitlines()[0]
    except OSError:
        return "?"


def measure(args):
    """Rounds of every case natively and in Chromium in turn, so that a burst of other work on the machine
    falls on both alike and on few rounds of each case; then the pages."""
    bench_frames.raise_priority()
    data = {"measured": datetime.datetime.utcnow().strftime("%Y-%m-%d %H:%M"), "load": [bench_report.load_average()],
            "processor": bench_report.processor_name(), "cpus": os.cpu_count(), "emscripten": emscripten_version(),
            "rounds": args.rounds, "min_time": args.min_time, "page_seconds": args.page_seconds,
            "native": {}, "results": {}}
    web_build = os.path.abspath(args.web_build)
    for _ in range(args.rounds):
        native, data["native_forms"] = run_native(os.path.abspath(args.native_build), args.min_time)
        browser = run_browser(web_build, args.min_time, "benchmarks")
        data["browser"] = browser["browser"]
        for name, value in native.items():
            data["native"].setdefault(name, []).append(value)
        for program in browser["benchmarks"].values():
            for b in program["benchmarks"]:
                data["results"].setdefault(b["run_name"], []).append(micros(b))
        data["load"].append(bench_report.load_average())
    data["pages"] = run_browser(web_build, args.min_time, "pages", args.page_seconds)["pages"]
    data["load"].append(bench_report.load_average())
    return data


def wall_us(results, name):
    values = results.get(name) if name else None
    return statistics.median(values) if values else None


def us(value):
    return "—" if value is None else f"{value:,.1f}"


def times(value):
    return "—" if value is None else f"{value:.2f}x"


FAMILY_FORM = {"Smoke": "smoke passes", "Rotating": "rotating zoom", "Average": "average row",
               "Palette": "palette expansion"}


def rows(data):
    out = []
    for title, n_plain, n_sse2, n_chosen, b_plain, b_simd, b_chosen in FAMILIES:
        family = FAMILY_FORM[title.split()[0]]
        r = {"title": title, "native_form": data["native_forms"].get(family, "?"),
             "native_plain": wall_us(data["native"], n_plain), "native_128": wall_us(data["native"], n_sse2),
             "native_128_name": "SSE4.1" if n_sse2 and "sse41" in n_sse2 else ("SSE2" if n_sse2 else None),
             "native_chosen": wall_us(data["native"], n_chosen),
             "browser_plain": wall_us(data["results"], b_plain), "browser_simd": wall_us(data["results"], b_simd),
             "browser_chosen": wall_us(data["results"], b_chosen)}
        s = r["browser_simd"]
        r["vs_128"] = s / r["native_128"] if s and r["native_128"] else None
        r["vs_chosen"] = s / r["native_chosen"] if s and r["native_chosen"] else None
        r["speedup"] = r["browser_plain"] / s if s and r["browser_plain"] else None
        out.append(r)
    return out


def section(data):
    table = rows(data)
    loads = [x for x in data.get("load", []) if x is not None]
    load = f"{min(loads):.1f} to {max(loads):.1f} over the run" if loads else "?"
    lines = [BEGIN, "## In the browser", "",
             f"Measured {data['measured']} UTC with `scripts/bench_web.py`: Chromium {data['browser'].split('/')[-1]} "
             f"(Debian's, headless, `--disable-gpu`), pages served on 127.0.0.1; emscripten {data['emscripten']}, "
             f"`-O3 -msimd128`. Machine: {data['processor']}, {data['cpus']} logical processors, shared with other "
             f"work (load average {load}). In the same run, at raised priority, the native benchmark programs time "
             "the same cases, and the benchmark sources built for the web time them in Chromium (the same work: "
             "the rotating zoom's picture is a synthetic one of the first picture's size, which costs the renderer "
             f"the same). The cases run in {data['rounds']} rounds, each round every case once natively and once in "
             "Chromium (after a run that is not counted, while the engine compiles the hot code again), so that "
             "bursts of other work fall on both alike. Every figure is wall time per frame in µs, the median of "
             f"the rounds, each at least {data['min_time']} s of frames; the page has no processor-time clock, so "
             "the native figures are wall time too, and noisier than the processor times above.", "",
             "| Family | Native plain | Native SSE2 | Native, as the program runs it (form) | Chromium plain | "
             "Chromium simd128 | Chromium, as the program runs it | simd128 / native SSE2 | "
             "simd128 / native as run | simd128 speed-up over Chromium plain |",
             "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"]
    for r in table:
        native_128 = us(r["native_128"]) if r["native_128_name"] in (None, "SSE2") else \
            f"{us(r['native_128'])} ({r['native_128_name']})"
        lines.append(f"| {r['title']} | {us(r['native_plain'])} | {native_128} | "
                     f"{us(r['native_chosen'])} ({r['native_form']}) | {us(r['browser_plain'])} | "
                     f"**{us(r['browser_simd'])}** | {us(r['browser_chosen'])} | **{times(r['vs_128'])}** | "
                     f"{times(r['vs_chosen'])} | {times(r['speedup'])} |")
    lines += ["", "![browser benchmarks](benchmarks-browser.png)", "",
              "Target: each simd128 form within 2x of the native SSE2 form of its family.", ""]
    for r in table:
        note = next(text for key, text in NOTES.items() if r["title"].startswith(key))
        if r["vs_128"] is not None:
            verdict = "met" if r["vs_128"] <= 2.0 else "missed"
            against = f"{times(r['vs_128'])} the native {r['native_128_name']} form's time ({verdict})"
        else:
            verdict = "met" if r["vs_chosen"] is not None and r["vs_chosen"] <= 2.0 else "missed"
            against = f"{times(r['vs_chosen'])} the native {r['native_form']} form's time ({verdict} against that)"
        lines.append(f"- **{r['title']}**: {against}; {note}")
    lines += ["", "Both programs' pages in the same Chromium, each after two seconds of start, counted over "
              f"{data['page_seconds']:g} s: the animation frames the page "
              "got, the frames the program put on its canvas, and the processor time of the page's main thread per "
              "frame put (the program, the canvas, the page's painting), with the forms the console named "
              "(`?disable=none` names them and turns nothing off).", "",
              "| Page | Forms | Animation frames/s | Frames put/s | Frames put per animation frame | "
              "Main thread's processor time per frame |",
              "|---|---|---:|---:|---:|---:|"]
    for p in data["pages"]:
        forms = "; ".join(re.sub(r"^lumo: (.*) form.*$", r"\1", f) for f in p["forms"]) or "?"
        busy = "—" if p["threadMsPerFrame"] is None else f"{p['threadMsPerFrame']:.2f} ms"
        what = f"`{p['program']}.html{p['query']}`" + (f", {p['setup']}" if p.get("setup") else "")
        lines.append(f"| {what} | {forms} | {p['animationFramesPerSecond']:.1f} | "
                     f"{p['putsPerSecond']:.1f} | {p['putsPerAnimationFrame']:.2f} | {busy} |")
    lines += ["", "Rerun with `scripts/bench_web.py` after building the `web` and `native` presets.", END]
    return "\n".join(lines)


def between(text, begin, end):
    return text[text.index(begin):text.index(end) + len(end)] if begin in text and end in text else None


def write_section(md_path, text, load_text=None):
    """The browser section in place, with the pages' weight and start (new, else the former) at its end."""
    try:
        with open(md_path) as f:
            old = f.read()
    except OSError:
        old = "# Benchmarks\n"
    if text is None:
        text = between(old, BEGIN, END) or f"{BEGIN}\n## In the browser\n{END}"
    former = between(text, LOAD_BEGIN, LOAD_END)
    if former:
        text = text.replace(former, "").replace("\n\n\n" + END, "\n" + END)
    load_text = load_text or former or between(old, LOAD_BEGIN, LOAD_END)
    if load_text:
        head = text[:text.index(END)].rstrip("\n")
        text = head + "\n\n" + load_text + "\n" + text[text.index(END):]
    with open(md_path, "w") as f:
        f.write(bench_report.place_browser_section(old, text))


def draw_chart(data, path):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib is not installed: no chart written", file=sys.stderr)
        return
    table = rows(data)
    series = [("native plain", "native_plain", "#bbbbbb"), ("native SSE2 (SSE4.1)", "native_128", "#6a9fd4"),
              ("native as run", "native_chosen", "#1f4e8c"), ("Chromium plain", "browser_plain", "#f2b880"),
              ("Chromium simd128", "browser_simd", "#d9631e")]
    fig, ax = plt.subplots(figsize=(10, 6.5))
    height = 0.16
    for k, (label, key, colour) in enumerate(series):
        ys = [i + (k - 2) * height for i in range(len(table))]
        values = [r[key] or 0 for r in table]
        ax.barh(ys, values, height=height, label=label, color=colour)
    ax.set_yticks(range(len(table)))
    ax.set_yticklabels([r["title"] for r in table], fontsize=8)
    ax.invert_yaxis()
    ax.set_xscale("log")
    ax.set_xlabel("wall time per frame (µs, log scale; shorter is faster)")
    ax.set_title(f"Kernels natively and in Chromium {data['browser'].split('/')[-1]} ({data['processor']})")
    ax.legend(fontsize=8, loc="lower right")
    fig.tight_layout()
    fig.savefig(path, dpi=100)


def main():
    bench_report.ensure_matplotlib()
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--web-build", default=os.path.join(ROOT, "build", "web"))
    parser.add_argument("--native-build", default=os.path.join(ROOT, "build", "native"))
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--min-time", default="0.5")
    parser.add_argument("--page-seconds", type=float, default=5.0)
    parser.add_argument("--pages", action="store_true", help="measure the pages' weight and start alone")
    parser.add_argument("--before", help="a former build (or a folder with its site/) to measure beside")
    parser.add_argument("--loads", type=int, default=7)
    parser.add_argument("--page-rounds", type=int, default=3, help="frame-time samples of each page with --pages")
    parser.add_argument("--json-in", help="use saved results instead of measuring")
    parser.add_argument("--json-out", help="also save the results here")
    parser.add_argument("--md", default=os.path.join(ROOT, "docs", "benchmarks.md"))
    parser.add_argument("--png", default=os.path.join(ROOT, "docs", "benchmarks-browser.png"))
    args = parser.parse_args()
    if args.json_in:
        with open(args.json_in) as f:
            data = json.load(f)
    else:
        if not shutil.which("node"):
            sys.exit("node is not installed: scripts/install-deps.sh installs it")
        if args.pages:
            bench_frames.raise_priority()
            data = {"measured": datetime.datetime.utcnow().strftime("%Y-%m-%d %H:%M")}
        else:
            data = measure(args)
        measure_pages(args, data)
    if args.json_out:
        with open(args.json_out, "w") as f:
            json.dump(data, f, indent=1)
    text = section(data) if "results" in data else None
    load_text = load_section(data) if "loads" in data else None
    write_section(args.md, text, load_text)
    if text is not None:
        draw_chart(data, args.png)
    print(text or load_text)


if __name__ == "__main__":
    main()
