#!/usr/bin/env python3
"""Rate-distortion curves of RIM against JPEG (4:4:4 and 4:2:0) and WebP.

Makes 1920x1080 photographs from the sample photographs at run time, encodes
each at a range of steps or qualities, measures bits per pixel and RGB PSNR
(folim-cli compare), and writes:
  docs/rd_results.md  the tables (Bjontegaard delta rates, size ratios, presets, timings)
  docs/rd_curve.png   the curves (gnuplot)
Usage: rd_curve.py BUILD_DIR [OUTPUT_DIR]
"""
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time

PHOTOS = ["aqua", "dune", "storm", "wood"]
WIDTH, HEIGHT = 1920, 1080
RIM_STEPS = [2, 4, 8, 16, 32, 64, 128]
JPEG_QUALITIES = [5, 10, 20, 30, 50, 70, 85, 95]
WEBP_QUALITIES = [5, 10, 20, 30, 50, 70, 85, 95]
PRESETS = ["archive", "high", "normal", "small"]

# name, label, gnuplot style
CODECS = [
    ("rim_today", "RIM, plain quantiser (today)"),
    ("rim_rdo", "RIM, RD-optimised"),
    ("rim_auto", "RIM, RD-optimised, bases auto"),
    ("jpeg444", "JPEG 4:4:4 (cjpeg -sample 1x1)"),
    ("jpeg420", "JPEG 4:2:0 (cjpeg)"),
    ("webp", "WebP (cwebp)"),
]


def run(args, **kw):
    return subprocess.run(args, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kw)


class Bench:
    def __init__(self, build, work):
        self.cli = os.path.join(build, "bin", "folim-cli")
        self.config = os.path.join(build, "bin", "config.ini")
        self.work = work

    def psnr(self, original, coded):
        out = run([self.cli, "--quiet", "compare", original, coded]).stdout.decode()
        for line in out.splitlines():
            if line.startswith("PSNR "):
                word = line.split()[1]
                return 99.0 if word == "inf" else float(word)
        raise RuntimeError("no PSNR for " + coded)

    def rim(self, source, out, options):
        start = time.monotonic()
        run([self.cli, "--quiet", "encode", "--config", self.config] + options + [source, out])
        return time.monotonic() - start

    def point(self, source, coded, seconds=0.0):
        bits = os.path.getsize(coded) * 8
        return (bits / (WIDTH * HEIGHT), self.psnr(source, coded), seconds)

    def curve(self, codec, source):
        points = []
        stem = os.path.join(self.work, os.path.basename(source) + "." + codec)
        if codec.startswith("rim"):
            extra = {"rim_today": ["--no-rdo"], "rim_rdo": [], "rim_auto": ["--dimension", "auto"]}
            for step in RIM_STEPS:
                out = "%s.%d.rim" % (stem, step)
                seconds = self.rim(source, out, ["--step", str(step)] + extra[codec])
                points.append(self.point(source, out, seconds))
        elif codec.startswith("jpeg"):
            sample = ["-sample", "1x1"] if codec == "jpeg444" else []
            for q in JPEG_QUALITIES:
                out = "%s.%d.jpg" % (stem, q)
                with open(out, "wb") as f:
                    subprocess.run(["cjpeg", "-quality", str(q)] + sample + [source], check=True,
                                   stdout=f)
                points.append(self.point(source, out))
        else:
            for q in WEBP_QUALITIES:
                out = "%s.%d.webp" % (stem, q)
                png = out + ".png"
                run(["cwebp", "-quiet", "-q", str(q), source, "-o", out])
                run(["dwebp", "-quiet", out, "-o", png])
                bits = os.path.getsize(out) * 8
                points.append((bits / (WIDTH * HEIGHT), self.psnr(source, png), 0.0))
        return sorted(points)


def cubic_fit(xs, ys):
    """Least-squares cubic y = a0 + a1 x + a2 x^2 + a3 x^3."""
    n = 4
    m = [[sum(x ** (i + j) for x in xs) for j in range(n)] + [sum(y * x ** i for x, y in zip(xs, ys))]
         for i in range(n)]
    for c in range(n):
        pivot = max(range(c, n), key=lambda r: abs(m[r][c]))
        m[c], m[pivot] = m[pivot], m[c]
        for r in range(n):
            if r != c:
                f = m[r][c] / m[c][c]
                m[r] = [a - f * b for a, b in zip(m[r], m[c])]
    return [m[i][n] / m[i][i] for i in range(n)]


def integral(coef, lo, hi):
    prim = lambda x: sum(c * x ** (i + 1) / (i + 1) for i, c in enumerate(coef))
    return prim(hi) - prim(lo)


def bd_rate(reference, test, lo=None, hi=None):
    """Mean bitrate difference of test against reference at equal PSNR, in
    percent (negative: test needs fewer bits), over the PSNR range both
    cover (narrowed to [lo, hi] when given). None without overlap."""
    ref = [(p, math.log(r)) for r, p, _ in reference]
    tst = [(p, math.log(r)) for r, p, _ in test]
    low = max(min(p for p, _ in ref), min(p for p, _ in tst))
    high = min(max(p for p, _ in ref), max(p for p, _ in tst))
    if lo is not None:
        low, high = max(low, lo), min(high, hi)
    if high - low < 0.5:
        return None
    cr = cubic_fit([p for p, _ in ref], [r for _, r in ref])
    ct = cubic_fit([p for p, _ in tst], [r for _, r in tst])
    diff = (integral(ct, low, high) - integral(cr, low, high)) / (high - low)
    return (math.exp(diff) - 1.0) * 100.0


def fmt(value):
    return "n/a" if value is None else "%+.1f %%" % value


def plot(results, png, work):
    script = os.path.join(work, "rd.gp")
    with open(script, "w") as gp:
        gp.write('set terminal pngcairo size 1400,1000 font ",10"\n' if has_cairo() else
                 'set terminal png size 1400,1000\n')
        gp.write('set output "%s"\n' % png)
        gp.write('set multiplot layout 2,2 title "RGB PSNR against bits per pixel, 1920x1080"\n')
        gp.write('set grid\nset xlabel "bits per pixel"\nset ylabel "PSNR (dB)"\n')
        gp.write('set key bottom right\nset yrange [30:52]\nset xrange [0.03:2]\n')
        gp.write('set logscale x\nset xtics (0.05, 0.1, 0.2, 0.5, 1, 2)\n')
        for photo in PHOTOS:
            gp.write('set title "%s"\n' % photo)
            parts = []
            for codec, label in CODECS:
                data = os.path.join(work, "%s.%s.dat" % (photo, codec))
                with open(data, "w") as f:
                    for r, p, _ in results[photo][codec]:
                        f.write("%.5f %.3f\n" % (r, p))
                parts.append('"%s" using 1:2 with linespoints title "%s"' % (data, label))
            gp.write("plot " + ", \\\n     ".join(parts) + "\n")
        gp.write("unset multiplot\n")
    run(["gnuplot", script])


def has_cairo():
    out = subprocess.run(["gnuplot", "-e", "set terminal"], stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT).stdout.decode()
    return "pngcairo" in out


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    outdir = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else "docs")
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    corpus = os.path.join(root, "tests", "data", "corpus")
    os.makedirs(outdir, exist_ok=True)
    work = tempfile.mkdtemp(prefix="folim-rd-")
    try:
        results, sources = {}, {}
        for photo in PHOTOS:
            source = os.path.join(work, photo + ".ppm")
            # Scaled to cover 1920x1080, then the centre cut out.
            run(["convert", os.path.join(corpus, photo + ".jpg"), "-filter", "Lanczos", "-resize",
                 "%dx%d^" % (WIDTH, HEIGHT), "-gravity", "center", "-extent",
                 "%dx%d" % (WIDTH, HEIGHT), "+repage", "-type", "truecolor", source])
            sources[photo] = source
            results[photo] = {}
            for codec, _ in CODECS:
                print("rd: %s %s" % (photo, codec), file=sys.stderr, flush=True)
                results[photo][codec] = Bench(build, work).curve(codec, source)
        presets = {}
        bench = Bench(build, work)
        for photo in PHOTOS:
            for name in PRESETS:
                out = os.path.join(work, "%s.%s.rim" % (photo, name))
                seconds = bench.rim(sources[photo], out, ["--quality", name])
                presets.setdefault(name, []).append(bench.point(sources[photo], out, seconds))
        samples = sample_presets(bench, os.path.join(root, "examples"), work)
        plot(results, os.path.join(outdir, "rd_curve.png"), work)
        write_tables(results, presets, samples, os.path.join(outdir, "rd_results.md"))
    finally:
        shutil.rmtree(work, ignore_errors=True)


def sample_presets(bench, folder, work):
    """Every preset on the sample photographs at their own size:
    {preset: [(bits per pixel, PSNR, seconds)]}."""
    out = {}
    names = sorted(n for n in os.listdir(folder)
                   if n.lower().rsplit(".", 1)[-1] in ("jpg", "png", "tiff", "gif", "bmp"))
    for name in names:
        source = os.path.join(folder, name)
        size = run(["identify", "-format", "%w %h", source + "[0]"]).stdout.decode().split()
        pixels = int(size[0]) * int(size[1])
        for preset in PRESETS:
            rim = os.path.join(work, "sample.%s.%s.rim" % (name, preset))
            seconds = bench.rim(source, rim, ["--quality", preset])
            bits = os.path.getsize(rim) * 8
            out.setdefault(preset, []).append((bits / pixels, bench.psnr(source, rim), seconds))
    return out


def mean(values):
    values = [v for v in values if v is not None]
    return sum(values) / len(values) if values else None


def write_tables(results, presets, samples, path):
    lines = []
    lines.append("Bjontegaard delta rate of each codec against RIM (RD-optimised, bases auto), "
                 "over the PSNR range both cover; negative: that codec needs fewer bits.\n")
    lines.append("| photo | RIM today | RIM RD-optimised | JPEG 4:4:4 | JPEG 4:2:0 | WebP |")
    lines.append("|---|---|---|---|---|---|")
    others = ["rim_today", "rim_rdo", "jpeg444", "jpeg420", "webp"]
    table = {}
    for photo in PHOTOS:
        ref = results[photo]["rim_auto"]
        row = [bd_rate(ref, results[photo][c]) for c in others]
        table[photo] = row
        lines.append("| %s | %s |" % (photo, " | ".join(fmt(v) for v in row)))
    lines.append("| mean | %s |" % " | ".join(fmt(mean([table[p][i] for p in PHOTOS]))
                                          for i in range(len(others))))
    lines.append("")
    lines.append("RIM bytes as a fraction of the other codec's bytes at equal PSNR between 35 "
                 "and 45 dB (mean over the photographs):\n")
    lines.append("| RIM encoder | vs JPEG 4:4:4 | vs JPEG 4:2:0 | vs WebP | vs RIM today |")
    lines.append("|---|---|---|---|---|")
    for codec, label in [("rim_today", "today"), ("rim_rdo", "RD-optimised"),
                         ("rim_auto", "RD-optimised, bases auto")]:
        cells = []
        for other in ["jpeg444", "jpeg420", "webp", "rim_today"]:
            rates = [bd_rate(results[p][other], results[p][codec], 35.0, 45.0) for p in PHOTOS]
            m = mean(rates)
            cells.append("n/a" if m is None else "%.2fx" % (1.0 + m / 100.0))
        lines.append("| %s | %s |" % (label, " | ".join(cells)))
    lines.append("")
    lines.append("Bjontegaard delta rate of the optimised encoders against today's encoder at the "
                 "same steps %s (full overlap):\n" % RIM_STEPS)
    lines.append("| photo | RD-optimised | RD-optimised, bases auto | same, 35-45 dB only |")
    lines.append("|---|---|---|---|")
    for photo in PHOTOS:
        ref = results[photo]["rim_today"]
        lines.append("| %s | %s | %s | %s |" % (
            photo, fmt(bd_rate(ref, results[photo]["rim_rdo"])),
            fmt(bd_rate(ref, results[photo]["rim_auto"])),
            fmt(bd_rate(ref, results[photo]["rim_auto"], 35.0, 45.0))))
    lines.append("")
    lines.append("Encoding time, all steps and photographs together (seconds, wall clock):\n")
    lines.append("| encoder | seconds | vs today |")
    lines.append("|---|---|---|")
    base = sum(s for p in PHOTOS for _, _, s in results[p]["rim_today"])
    for codec, label in [("rim_today", "today"), ("rim_rdo", "RD-optimised"),
                         ("rim_auto", "RD-optimised, bases auto")]:
        t = sum(s for p in PHOTOS for _, _, s in results[p][codec])
        lines.append("| %s | %.1f | %.2fx |" % (label, t, t / base))
    lines.append("")
    lines.append("Presets, mean over the sample photographs of examples/ at their own size "
                 "and over the 1920x1080 photographs above:\n")
    lines.append("| preset | samples: bits per pixel | samples: PSNR (dB) | 1080p: bits per pixel "
                 "| 1080p: PSNR (dB) | 1080p: seconds per image |")
    lines.append("|---|---|---|---|---|---|")
    for name in PRESETS:
        pts, small = presets[name], samples[name]
        lines.append("| %s | %.3f | %.2f | %.3f | %.2f | %.2f |" % (
            name, mean([r for r, _, _ in small]), mean([p for _, p, _ in small]),
            mean([r for r, _, _ in pts]), mean([p for _, p, _ in pts]),
            mean([s for _, _, s in pts])))
    lines.append("")
    lines.append("Measured points (bits per pixel, PSNR dB):\n")
    for photo in PHOTOS:
        lines.append("- %s: " % photo + "; ".join(
            "%s %s" % (codec, " ".join("%.3f/%.2f" % (r, p) for r, p, _ in results[photo][codec]))
            for codec, _ in CODECS))
    text = "\n".join(lines) + "\n"
    with open(path, "w") as f:
        f.write(text)
    print(text)


if __name__ == "__main__":
    main()
