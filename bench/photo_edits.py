#!/usr/bin/python3
"""Edited copies of photographs: how well each measure finds them.

Makes a set of near-duplicates from photographs: every photograph scaled to
512 pixels on its longer side, then thirteen edited copies of it, the edits
people make to photographs (crops, rotations, squeezes, captions, letterbox
bars, strong JPEG, tone and colour changes, tiny copies, vignettes,
watermarks). Every picture of the set is a query; the other members of its
photograph's family are the relevant answers. Reports, for each measure,
recall@1 (the best match is a member of the family), mean average precision,
and recall@1 for the queries of each edit; then near-duplicate groups
(folim-cli duplicates against findimagedupes) as pair precision, recall and
F1.

Measures: folim-cli search --index with each colour mode (and each
--measure the program offers), and as baselines a 64-bit difference hash, an
HSV histogram and ORB keypoint matching (OpenCV: FAST threshold 5, pictures
scaled to 512 pixels, Lowe's ratio test, the smaller of the two directions'
match counts).

Needs Debian's python3-pil, python3-numpy, python3-opencv and findimagedupes
(for the duplicates baseline). The photographs by default come from
mate-backgrounds (nature), lomiri-wallpapers, opencv-doc and python3-skimage;
missing ones are skipped. The set is made deterministically (fixed seeds) and
kept in WORK_DIR with every result, so a second run only measures what is new.

Usage: photo_edits.py [--jobs N] [--measures LIST] FOLIM_CLI WORK_DIR [PHOTO...]
       photo_edits.py --filler DIR FOLIM_CLI WORK_DIR
"""
import argparse
import glob
import hashlib
import shutil
import json
import math
import os
import random
import re
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor

import numpy as np
from PIL import Image, ImageDraw, ImageFont

SIDE = 512

DEFAULT_PHOTOS = (
    ["/usr/share/backgrounds/mate/nature/" + n + ".jpg" for n in (
        "Aqua", "Blinds", "Dune", "FreshFlower", "Garden", "GreenMeadow", "LadyBird", "RainDrops",
        "Storm", "TwoWings", "Wood", "YellowFlower")] +
    ["/usr/share/backgrounds/" + n + ".jpg" for n in (
        "Bridge_by_Sander_Klootwijk", "Dragonfly_by_Bolly", "Infinite-Sea_by_Aury88",
        "Kleiber_by_Lukas_Baubkus", "Picture_0B_by_freespace", "Picture_1A_by_freespace",
        "Wine_by_Jakkub_Mede", "aitzgorri_by_Aitzol_Berasategi", "analogpattern_by_Peter_Nerlich",
        "free_by_Peter_Nerlich", "friends_by_Aitzol_Berasategi", "greentock_by_Peter_Nerlich",
        "life_by_Aitzol_Berasategi", "picosdeeuropa_by_Aitzol_Berasategi",
        "seeding_by_Clements_Engelhardt", "sunset_by_Aitzol_Berasategi")] +
    ["/usr/share/doc/opencv-doc/examples/data/" + n for n in (
        "fruits.jpg", "baboon.jpg", "building.jpg", "home.jpg", "messi5.jpg", "aloeL.jpg",
        "leuvenA.jpg", "butterfly.jpg", "orange.jpg", "squirrel_cls.jpg", "board.jpg",
        "chicky_512.png", "rubberwhale1.png", "aero1.jpg", "ela_original.jpg")] +
    ["/usr/lib/python3/dist-packages/skimage/data/" + n for n in (
        "astronaut.png", "coffee.png", "chelsea.png", "rocket.jpg", "motorcycle_left.png",
        "camera.png", "hubble_deep_field.jpg")])

# Pictures that are none of the photographs above nor near copies of them:
# the sources of a synthetic library the set is added to, to measure the
# neighbour lists of a large index (bench_index --make-index, --agreement).
FILLER_GLOBS = ("/usr/share/backgrounds/*.jpg", "/usr/share/backgrounds/mate/nature/*.jpg",
                "/usr/share/doc/opencv-doc/examples/data/*.jpg",
                "/usr/share/doc/opencv-doc/examples/data/*.png",
                "/usr/lib/python3/dist-packages/skimage/data/*.png",
                "/usr/lib/python3/dist-packages/skimage/data/*.jpg")
# Other views or versions of photographs of the set.
FILLER_SKIPPED = ("aloeR", "aloeGT", "leuvenB", "ela_modified", "aero3", "rubberwhale2")


def filler_pictures():
    used = {os.path.realpath(p) for p in DEFAULT_PHOTOS}
    found = sorted(p for g in FILLER_GLOBS for p in glob.glob(g))
    return [p for p in found if os.path.realpath(p) not in used and os.path.getsize(p) > 30000
            and not any(s in os.path.basename(p) for s in FILLER_SKIPPED)]


FONT_FILES = ("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
              "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf")


def font(size):
    for f in FONT_FILES:
        if os.path.exists(f):
            return ImageFont.truetype(f, size)
    return ImageFont.load_default()


# ---------------------------------------------------------------- the edits

def crop_area(im, area, rng):
    w, h = im.size
    f = math.sqrt(area)
    cw, ch = round(w * f), round(h * f)
    x, y = rng.randint(0, w - cw), rng.randint(0, h - ch)
    return im.crop((x, y, x + cw, y + ch))


def rotate_cropped(im, degrees):
    w, h = im.size
    r = im.rotate(degrees, resample=Image.BICUBIC, expand=True)
    # The largest rectangle of the picture's shape inside the rotated one.
    a = math.radians(abs(degrees))
    s = min(w / (w * math.cos(a) + h * math.sin(a)), h / (w * math.sin(a) + h * math.cos(a)))
    cw, ch = int(w * s), int(h * s)
    x, y = (r.size[0] - cw) // 2, (r.size[1] - ch) // 2
    return r.crop((x, y, x + cw, y + ch))


def caption(im):
    w, h = im.size
    out = im.copy()
    d = ImageDraw.Draw(out)
    bar = round(h * 0.15)
    d.rectangle((0, h - bar, w, h), fill=(24, 24, 28))
    d.text((round(w * 0.04), h - bar + bar // 4), "Summer 2019, with friends",
           font=font(max(8, bar // 2)), fill=(240, 240, 240))
    return out


def letterbox(im):
    w, h = im.size
    bar = round(h / 6)  # the bars take a quarter of the new height
    out = Image.new("RGB", (w, h + 2 * bar), (0, 0, 0))
    out.paste(im, (0, bar))
    return out


def gamma(im, g):
    table = [round(255 * (v / 255) ** (1 / g)) for v in range(256)]
    return im.point(table * 3)


def hue_saturation(im, degrees, saturation):
    hsv = np.asarray(im.convert("HSV")).astype(np.float64)
    hsv[..., 0] = (hsv[..., 0] + degrees / 360 * 256) % 256
    hsv[..., 1] = hsv[..., 1] * saturation
    return Image.fromarray(np.clip(hsv + 0.5, 0, 255).astype(np.uint8), "HSV").convert("RGB")


def rotate_framed(im, degrees):
    return im.rotate(degrees, resample=Image.BICUBIC, expand=True, fillcolor=(0, 0, 0))


def vignette(im):
    w, h = im.size
    y, x = np.mgrid[0:h, 0:w]
    r2 = ((x - w / 2) / (w / 2)) ** 2 + ((y - h / 2) / (h / 2)) ** 2
    f = np.clip(1 - 0.35 * r2, 0, 1)[..., None]
    return Image.fromarray((np.asarray(im) * f + 0.5).astype(np.uint8))


def watermark(im):
    w, h = im.size
    layer = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    d = ImageDraw.Draw(layer)
    f = font(max(10, w // 7))
    text = "PREVIEW"
    box = d.textbbox((0, 0), text, font=f)
    d.text(((w - box[2]) // 2, (h - box[3]) // 2), text, font=f, fill=(255, 255, 255, 110))
    layer = layer.rotate(25, resample=Image.BICUBIC)
    return Image.alpha_composite(im.convert("RGBA"), layer).convert("RGB")


# (name, what the table calls it, function of (image, rng) -> image, JPEG quality)
EDITS = [
    ("original", "original", lambda im, rng: im, 92),
    ("crop50", "crop to half the area", lambda im, rng: crop_area(im, 0.5, rng), 92),
    ("rot10", "10° rotation, corners cropped", lambda im, rng: rotate_cropped(im, 10), 92),
    ("squeeze", "width squeezed to 75 %",
     lambda im, rng: im.resize((round(im.size[0] * 0.75), im.size[1]), Image.LANCZOS), 92),
    ("caption", "caption bar over 15 %", lambda im, rng: caption(im), 92),
    ("letterbox", "letterbox bars", lambda im, rng: letterbox(im), 92),
    ("jpeg10", "JPEG quality 10", lambda im, rng: im, 10),
    ("gamma", "gamma 0.6", lambda im, rng: gamma(im, 0.6), 92),
    ("hue", "hue +25°, saturation × 0.7", lambda im, rng: hue_saturation(im, 25, 0.7), 92),
    ("tiny", "1/6 size",
     lambda im, rng: im.resize((round(im.size[0] / 6), round(im.size[1] / 6)), Image.LANCZOS), 92),
    ("crop33", "crop to a third of the area", lambda im, rng: crop_area(im, 1 / 3, rng), 92),
    ("rot5frame", "5° rotation, black corners", lambda im, rng: rotate_framed(im, -5), 92),
    ("vignette", "vignette", lambda im, rng: vignette(im), 92),
    ("watermark", "watermark", lambda im, rng: watermark(im), 92),
]
EDIT_NAMES = [e[0] for e in EDITS]
EDIT_LABELS = {e[0]: e[1] for e in EDITS}


def stem_of(path):
    stem = os.path.splitext(os.path.basename(path))[0].lower()
    return re.sub(r"[^a-z0-9]+", "_", stem).strip("_")


def make_set(photos, folder):
    os.makedirs(folder, exist_ok=True)
    pictures = []
    for photo in photos:
        stem = stem_of(photo)
        with Image.open(photo) as source:
            source.draft("RGB", (SIDE * 2, SIDE * 2))
            im = source.convert("RGB")
        f = SIDE / max(im.size)
        im = im.resize((max(1, round(im.size[0] * f)), max(1, round(im.size[1] * f))),
                       Image.LANCZOS)
        # One seed per photograph: the same set whatever the order or number
        # of photographs.
        seed = int(hashlib.sha256(stem.encode()).hexdigest()[:8], 16)
        for name, _, edit, quality in EDITS:
            path = os.path.join(folder, f"{stem}-{name}.jpg")
            if not os.path.exists(path):
                edit(im, random.Random(seed + EDIT_NAMES.index(name))).save(
                    path, quality=quality)
            pictures.append(path)
    return sorted(pictures)


def family(path):
    return os.path.basename(path).rsplit("-", 1)[0]


def edit_of(path):
    return os.path.splitext(os.path.basename(path))[0].rsplit("-", 1)[1]


# ---------------------------------------------------------------- rankings

def evaluate(pictures, rankings):
    """rankings[q] = the other pictures, best first (perhaps not all)."""
    per_edit = {e: [] for e in EDIT_NAMES}
    hits, aps = [], []
    for q, ranked in rankings.items():
        ranked = [p for p in ranked if p != q]
        relevant = {p for p in pictures if p != q and family(p) == family(q)}
        hit = bool(ranked) and ranked[0] in relevant
        found, ap = 0, 0.0
        for k, p in enumerate(ranked):
            if p in relevant:
                found += 1
                ap += found / (k + 1)
        hits.append(hit)
        aps.append(ap / len(relevant))
        per_edit[edit_of(q)].append(hit)
    return {"recall": float(np.mean(hits)), "map": float(np.mean(aps)),
            "edits": {e: float(np.mean(v)) for e, v in per_edit.items() if v}}


def rank_by_matrix(pictures, scores, higher_better=True):
    rankings = {}
    for i, q in enumerate(pictures):
        s = scores[i].astype(np.float64).copy()
        s[i] = -np.inf if higher_better else np.inf
        order = np.argsort(-s if higher_better else s, kind="stable")
        rankings[q] = [pictures[j] for j in order if j != i]
    return rankings


def dhash_matrix(pictures):
    bits = []
    for p in pictures:
        g = np.asarray(Image.open(p).convert("L").resize((9, 8), Image.LANCZOS), np.int32)
        bits.append((g[:, 1:] > g[:, :-1]).ravel())
    b = np.array(bits, np.int32)
    return (b[:, None, :] != b[None, :, :]).sum(axis=2)  # Hamming distance


def hsv_matrix(pictures):
    import cv2
    hists = []
    for p in pictures:
        hsv = cv2.cvtColor(cv2.imread(p), cv2.COLOR_BGR2HSV)
        h = cv2.calcHist([hsv], [0, 1, 2], None, [16, 4, 4], [0, 180, 0, 256, 0, 256]).ravel()
        hists.append(h / h.sum())
    h = np.array(hists)
    return np.minimum(h[:, None, :], h[None, :, :]).sum(axis=2)  # intersection


def orb_features(path):
    import cv2
    im = cv2.imread(path, cv2.IMREAD_GRAYSCALE)
    f = 512 / max(im.shape)
    im = cv2.resize(im, (max(1, round(im.shape[1] * f)), max(1, round(im.shape[0] * f))),
                    interpolation=cv2.INTER_AREA if f < 1 else cv2.INTER_LINEAR)
    orb = cv2.ORB_create(nfeatures=500, fastThreshold=5)
    _, d = orb.detectAndCompute(im, None)
    return d


def orb_matrix(pictures, jobs):
    import cv2
    cv2.setNumThreads(1)
    descriptors = [orb_features(p) for p in pictures]
    n = len(pictures)

    def good(a, b):
        if a is None or b is None or len(a) < 2 or len(b) < 2:
            return 0
        matcher = cv2.BFMatcher(cv2.NORM_HAMMING)
        return sum(1 for m in matcher.knnMatch(a, b, k=2)
                   if len(m) == 2 and m[0].distance < 0.75 * m[1].distance)

    def row(i):
        return [good(descriptors[i], descriptors[j]) if j != i else 0 for j in range(n)]

    with ThreadPoolExecutor(jobs) as pool:
        counts = np.array(list(pool.map(row, range(n))), np.float64)
    return np.minimum(counts, counts.T)


# ---------------------------------------------------------------- folim-cli

def cli_rankings(cli, index, pictures, folder, extra, jobs):
    def one(q):
        out = subprocess.run([cli, "search", "--index", index, "--no-refresh", "--json",
                              "--threads", "1"] + extra + [q, folder],
                             check=True, capture_output=True, text=True).stdout
        return q, [json.loads(line)["path"] for line in out.splitlines()]

    with ThreadPoolExecutor(jobs) as pool:
        return dict(pool.map(one, pictures))


def cached(work, name, compute, stamp=None):
    """A result kept in WORK_DIR/results; made again when stamp (the
    program's modification time) has changed."""
    path = os.path.join(work, "results", name + ".json")
    if os.path.exists(path):
        with open(path) as f:
            value = json.load(f)
        if stamp is None or value.get("stamp") == stamp:
            return value
    value = compute()
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        json.dump(value, f)
    return value


def pair_scores(groups, pictures):
    truth = {(a, b) for a in pictures for b in pictures if a < b and family(a) == family(b)}
    found = set()
    for g in groups:
        g = sorted(g)
        found |= {(a, b) for i, a in enumerate(g) for b in g[i + 1:]}
    tp = len(found & truth)
    precision = tp / len(found) if found else 1.0
    recall = tp / len(truth)
    f1 = 2 * precision * recall / (precision + recall) if tp else 0.0
    return {"precision": precision, "recall": recall, "f1": f1, "pairs": len(found)}


def cli_duplicates(cli, index, folder, extra):
    out = subprocess.run([cli, "duplicates", "--index", index, "--no-refresh", "--json"] + extra +
                         [folder], check=True, capture_output=True, text=True).stdout
    return [[m["path"] for m in g] for g in json.loads(out)]


def findimagedupes(folder, work):
    out = subprocess.run(["findimagedupes", "--fingerprints", os.path.join(work, "fid.db"),
                          "--prune", folder], check=True, capture_output=True, text=True).stdout
    pictures = sorted(os.path.join(folder, f) for f in os.listdir(folder))
    groups = []
    for line in out.splitlines():
        # Paths hold no blanks in this set.
        groups.append([p for p in line.split() if p in pictures])
    return groups


def offered_measures(cli):
    """The --measure names the program's help lists (none before it had one)."""
    out = subprocess.run([cli, "help", "search"], capture_output=True, text=True).stdout
    m = re.search(r"--measure NAME[^\n]*\n((?:\s{20,}[^\n]*\n)*)", out)
    names = re.findall(r"\b([a-z]+)\b(?=[,)])", m.group(0)) if m else []
    return names


def cpu_name():
    out = subprocess.run(["lscpu"], capture_output=True, text=True).stdout
    m = re.search(r"Model name:\s*(.*)", out)
    return m.group(1).strip() if m else "unknown"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    ap.add_argument("--measures", default="",
                    help="comma-separated --measure names of folim-cli to rank with too")
    ap.add_argument("--no-orb", action="store_true", help="leave out ORB (the slowest)")
    ap.add_argument("--filler", metavar="DIR",
                    help="only copy the pictures that are not in the set into DIR, for "
                         "bench_index --make-index, and stop")
    ap.add_argument("cli")
    ap.add_argument("work")
    ap.add_argument("photos", nargs="*")
    a = ap.parse_args()
    if a.filler:
        os.makedirs(a.filler, exist_ok=True)
        pictures = filler_pictures()
        for p in pictures:
            shutil.copy(p, a.filler)
        print(f"{len(pictures)} pictures in {a.filler}")
        return
    cli, work = os.path.abspath(a.cli), os.path.abspath(a.work)
    photos = a.photos or [p for p in DEFAULT_PHOTOS if os.path.exists(p)]
    missing = [p for p in DEFAULT_PHOTOS if not a.photos and not os.path.exists(p)]
    if missing:
        print(f"{len(missing)} default photographs missing (skipped): {' '.join(missing)}")
    folder = os.path.join(work, "set")
    start = time.monotonic()
    pictures = make_set(photos, folder)
    print(f"{len(photos)} photographs x {len(EDITS)} members = {len(pictures)} pictures "
          f"({time.monotonic() - start:.1f} s); CPU {cpu_name()}")

    index = os.path.join(work, "index.sqlite")
    start = time.monotonic()
    subprocess.run([cli, "index", "--jobs", str(a.jobs), "--index", index, folder], check=True,
                   capture_output=True)
    print(f"index: {time.monotonic() - start:.1f} s")

    results = {}
    modes = [("Folim CSD (default, w=70)", ["--color-mode", "csd"]),
             ("Folim histogram (w=75)", ["--color-mode", "histogram"]),
             ("Folim block (w=90)", ["--color-mode", "block"])]
    measures = [m for m in a.measures.split(",") if m]
    modes += [(f"Folim --measure {m}", ["--measure", m]) for m in measures]
    for label, extra in modes:
        key = "cli_" + re.sub(r"[^a-z0-9]+", "_", " ".join(extra).lower())
        stamp = os.path.getmtime(cli)

        def compute(extra=extra):
            t = time.monotonic()
            r = cli_rankings(cli, index, pictures, folder, extra, a.jobs)
            return {"rankings": r, "seconds": time.monotonic() - t, "stamp": stamp}

        value = cached(work, key, compute, stamp)
        results[label] = evaluate(pictures, value["rankings"])
    results["64-bit dHash"] = evaluate(pictures, rank_by_matrix(pictures, dhash_matrix(pictures),
                                                                higher_better=False))
    results["HSV histogram"] = evaluate(pictures, rank_by_matrix(pictures, hsv_matrix(pictures)))
    if not a.no_orb:
        orb = cached(work, "orb", lambda: orb_matrix(pictures, a.jobs).tolist())
        results["ORB matching"] = evaluate(pictures, rank_by_matrix(pictures, np.array(orb)))

    labels = list(results)
    print()
    print("| edit | " + " | ".join(labels) + " |")
    print("|---|" + "---|" * len(labels))
    for e in EDIT_NAMES:
        print(f"| {EDIT_LABELS[e]} | " +
              " | ".join(f"{results[m]['edits'][e]:.2f}" for m in labels) + " |")
    print("| all (recall@1 / mAP) | " +
          " | ".join(f"{results[m]['recall']:.3f} / {results[m]['map']:.3f}" for m in labels) +
          " |")

    print()
    dup = {}
    dup["folim-cli duplicates (default)"] = pair_scores(
        cli_duplicates(cli, index, folder, []), pictures)
    for m in measures:
        dup[f"folim-cli duplicates --measure {m}"] = pair_scores(
            cli_duplicates(cli, index, folder, ["--measure", m]), pictures)
    try:
        dup["findimagedupes"] = pair_scores(findimagedupes(folder, work), pictures)
    except FileNotFoundError:
        print("findimagedupes is not installed (apt-get install findimagedupes)")
    print("| duplicates | pairs | precision | recall | F1 |")
    print("|---|---|---|---|---|")
    for k, v in dup.items():
        print(f"| {k} | {v['pairs']} | {v['precision']:.2f} | {v['recall']:.2f} | {v['f1']:.2f} |")


if __name__ == "__main__":
    main()
