#!/usr/bin/python3
"""Draws the benchmark charts from quendle-bench's JSON output.

    tools/bench_charts.py build/bench/results.json [docs]

One PNG per family of sized benchmarks ("<family>/<contender>/<n>"): the
fastest repetition of every contender against n, on log-log axes, one line
per contender. A family missing from the results (a filtered run) is
skipped and its chart left as it was. `make bench` runs this after the
benchmarks; `make bench-charts` redraws from the last results alone.
"""

import json
import re
import sys
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (after the backend is chosen)
from matplotlib.ticker import FixedLocator, FuncFormatter, LogLocator, NullFormatter, NullLocator  # noqa: E402

SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


class Chart:
    """One family's chart: where it goes and how its lines are named and drawn."""

    def __init__(self, family, file, title, xlabel, ours, styles):
        self.family = family
        self.file = file
        self.title = title
        self.xlabel = xlabel
        self.ours = ours  # the library's own contenders, drawn first and heavier
        self.styles = styles  # contender -> (legend label, colour, line style, marker)


CHARTS = [
    Chart(
        "gj",
        "bench-gj.png",
        "Solving an n × n system: Gauss-Jordan (guassj) and its peers",
        "n (unknowns)",
        ("guassj", "guassj-1thr"),
        {
            "guassj": ("guassj", "black", "-", "o"),
            "guassj-1thr": ("guassj, 1 thread", "black", "--", "o"),
            "plain-loop": ("plain loop", "tab:gray", "-", "s"),
            "eigen-fullpivlu": ("Eigen FullPivLU", "tab:blue", "-", "^"),
            "eigen-native-fullpivlu": ("Eigen FullPivLU, -march=native", "tab:blue", ":", "^"),
            "eigen-partialpivlu": ("Eigen PartialPivLU", "tab:green", "-", "v"),
            "eigen-native-partialpivlu": ("Eigen PartialPivLU, -march=native", "tab:green", ":", "v"),
            "lapacke-dgesv": ("LAPACKE dgesv (OpenBLAS)", "tab:red", "-", "D"),
        },
    ),
    Chart(
        "product",
        "bench-product.png",
        "Product of two n × n arrays: arr2d_mult and its peers",
        "n (rows and columns of each operand)",
        ("arr2d_mult",),
        {
            "arr2d_mult": ("arr2d_mult", "black", "-", "o"),
            "ijk-loop": ("i-j-k loop", "tab:gray", "-", "s"),
            "ikj-loop": ("i-k-j loop", "tab:purple", "-", "^"),
            "openblas-dgemm": ("OpenBLAS dgemm", "tab:red", "-", "D"),
        },
    ),
    Chart(
        "cofactor",
        "bench-cofactor.png",
        "Cofactor matrix of an n × n matrix",
        "n (rows and columns)",
        ("arr2d_cofactor",),
        {"arr2d_cofactor": ("arr2d_cofactor", "black", "-", "o")},
    ),
]

# Peers without a style of their own take these in turn.
SPARE_COLOURS = ["tab:blue", "tab:red", "tab:green", "tab:purple", "tab:orange", "tab:brown", "tab:cyan"]
SPARE_MARKERS = ["^", "D", "v", "s", "P", "X", "<"]

SIZED = re.compile(r"^([^/]+)/([^/]+)/(\d+)(/|$)")


def fastest_times(results):
    """{family: {contender: {n: seconds}}}, from the "min" aggregates by wall clock,
    with each contender's registration order."""
    times, order = {}, {}
    for b in results.get("benchmarks", []):
        if b.get("run_type") != "aggregate" or b.get("aggregate_name") != "min":
            continue
        if b.get("error_occurred"):
            continue
        m = SIZED.match(b.get("run_name", ""))
        if not m or b.get("time_unit") not in SECONDS:
            continue
        family, contender, n = m.group(1), m.group(2), int(m.group(3))
        times.setdefault(family, {}).setdefault(contender, {})[n] = b["real_time"] * SECONDS[b["time_unit"]]
        index = b.get("family_index", 0)
        order[family, contender] = min(order.get((family, contender), index), index)
    return times, order


def time_label(seconds, _pos=None):
    """1e-3 -> "1 ms": the tick labels of the time axis."""
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6), ("ns", 1e-9)):
        if seconds >= scale * 0.999:
            value = seconds / scale
            return f"{value:.0f} {unit}" if value >= 1 else f"{value:g} {unit}"
    return f"{seconds:g} s"


def footnote(context):
    parts = ["make bench"]
    if context.get("date"):
        parts.append(context["date"][:10])
    machine = context.get("processor", "")
    if context.get("num_cpus"):
        machine += f", {context['num_cpus']} CPUs at {context.get('mhz_per_cpu', '?')} MHz"
    if machine:
        parts.append(machine.lstrip(", "))
    parts.append("fastest of repeated runs; lower is faster")
    return "; ".join(parts)


def draw(chart, lines, order, context, out_dir):
    registered = sorted(lines, key=lambda c: (order.get((chart.family, c), 0), c))
    # The library's own lines; failing those named, the first one registered.
    ours = [c for c in registered if c in chart.ours] or registered[:1]
    contenders = ours + [c for c in registered if c not in ours]
    fig, ax = plt.subplots(figsize=(9, 6), dpi=100)
    spare = 0
    sizes = set()
    for c in contenders:
        points = sorted(lines[c].items())
        ns = [n for n, _ in points]
        ts = [t for _, t in points]
        sizes.update(ns)
        if c in chart.styles:
            label, colour, style, marker = chart.styles[c]
        else:
            label, style = c, "-"
            colour = "black" if c in ours else SPARE_COLOURS[spare % len(SPARE_COLOURS)]
            marker = "o" if c in ours else SPARE_MARKERS[spare % len(SPARE_MARKERS)]
            spare += c not in ours
        heavy = c in ours
        ax.plot(ns, ts, linestyle=style, marker=marker, color=colour, label=label,
                linewidth=2.4 if heavy else 1.4, markersize=6 if heavy else 5, zorder=3 if heavy else 2)

    # A guide of slope 3 through the first point of the library's own line:
    # how n³ work would grow.
    n0, t0 = min(lines[ours[0]].items())
    if len(sizes) > 1:
        xs = sorted(sizes)
        ax.plot(xs, [t0 * (x / n0) ** 3 for x in xs], linestyle=(0, (1, 3)), color="tab:gray",
                linewidth=1, label="∝ n³ (guide)", zorder=1)

    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.xaxis.set_major_locator(FixedLocator(sorted(sizes)))
    ax.xaxis.set_major_formatter(FuncFormatter(lambda x, _pos: f"{x:.0f}"))
    ax.xaxis.set_minor_locator(NullLocator())
    ax.yaxis.set_major_locator(LogLocator(base=10))
    ax.yaxis.set_major_formatter(FuncFormatter(time_label))
    ax.yaxis.set_minor_formatter(NullFormatter())
    if len(sizes) == 1:
        n = next(iter(sizes))
        ax.set_xlim(n / 1.5, n * 1.5)
    ax.set_xlabel(chart.xlabel)
    ax.set_ylabel("time per call (wall clock, log scale)")
    ax.set_title(chart.title)
    ax.grid(True, which="major", linewidth=0.5, alpha=0.5)
    ax.grid(True, which="minor", axis="y", linewidth=0.3, alpha=0.25)
    ax.legend(loc="upper left", fontsize=9, framealpha=0.9)
    fig.text(0.01, 0.01, footnote(context), fontsize=8, color="dimgray")
    fig.tight_layout(rect=(0, 0.03, 1, 1))
    path = out_dir / chart.file
    fig.savefig(path, metadata={"Software": None})
    plt.close(fig)
    return path


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    source, out_dir = Path(argv[1]), Path(argv[2] if len(argv) == 3 else "docs")
    try:
        results = json.loads(source.read_text())
    except (OSError, ValueError) as e:
        print(f"bench_charts: cannot read {source}: {e}", file=sys.stderr)
        return 1
    times, order = fastest_times(results)
    out_dir.mkdir(parents=True, exist_ok=True)
    for chart in CHARTS:
        lines = times.get(chart.family)
        if not lines:
            print(f"bench_charts: no {chart.family}/ results in {source}; {chart.file} left as it was")
            continue
        path = draw(chart, lines, order, results.get("context", {}), out_dir)
        print(f"bench_charts: wrote {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
