#!/usr/bin/env python3
"""Near-duplicate set and the figures of the signature index.

Makes, for each source photograph, six altered copies (resized to half,
cropped to the central 80 %, brightened by 20 %, recompressed at JPEG
quality 30, rotated by 3 degrees, mirrored) with ImageMagick, then measures
with folim-cli:
  - index build time and the recall of the copies (how many of an original's
    six copies rank among its six best matches) for full-size and reduced
    decoding;
  - how often the top 10 of the default shortlist equals the exhaustive top 10
    (--shortlist 0), over every picture of the set as the query.

Usage: near_duplicates.py [--measure NAME] FOLIM_CLI WORK_DIR PHOTO...
(--measure: the search's measure, as folim-cli search --measure names it)
"""
import os
import subprocess
import sys
import time

ALTERATIONS = [
    ("resized", ["-resize", "50%"]),
    ("cropped", ["-gravity", "center", "-crop", "80%x80%+0+0", "+repage"]),
    ("bright", ["-modulate", "120"]),
    ("recompressed", ["-quality", "30"]),
    ("rotated", ["-rotate", "3", "-gravity", "center", "-crop", "90%x90%+0+0", "+repage"]),
    ("mirrored", ["-flop"]),
]


def make_set(photos, folder):
    os.makedirs(folder, exist_ok=True)
    originals = []
    for photo in photos:
        stem = os.path.splitext(os.path.basename(photo))[0].lower()
        original = os.path.join(folder, stem + ".jpg")
        if not os.path.exists(original):
            subprocess.run(["convert", photo, "-quality", "92", original], check=True)
        originals.append(original)
        for name, args in ALTERATIONS:
            copy = os.path.join(folder, f"{stem}-{name}.jpg")
            if not os.path.exists(copy):
                subprocess.run(["convert", original] + args + [copy], check=True)
    return originals


MEASURE = []


def search(cli, index, query, folder, env, extra):
    out = subprocess.run([cli, "search", "--index", index, "--no-refresh"] + MEASURE + extra +
                         [query, folder], check=True, capture_output=True, text=True,
                         env=env).stdout
    return [line.split(" ", 3)[3] for line in out.splitlines()]


def main():
    args = sys.argv[1:]
    if args[:1] == ["--measure"]:
        MEASURE[:] = args[:2]
        args = args[2:]
    cli, work, photos = args[0], args[1], args[2:]
    folder = os.path.join(work, "set")
    originals = make_set(photos, folder)
    pictures = sorted(os.path.join(folder, f) for f in os.listdir(folder))
    print(f"{len(originals)} originals, {len(pictures)} pictures")
    for side in ("0", "1024"):
        env = dict(os.environ, FOLIM_SIGNATURE_SIDE=side)
        index = os.path.join(work, f"index-{side}.sqlite")
        for suffix in ("", "-wal", "-shm"):
            if os.path.exists(index + suffix):
                os.remove(index + suffix)
        for jobs in ("2",):
            start = time.monotonic()
            subprocess.run([cli, "index", "--jobs", jobs, "--index", index, folder], check=True,
                           env=env, capture_output=True)
            seconds = time.monotonic() - start
        found = total = 0
        for original in originals:
            stem = os.path.splitext(os.path.basename(original))[0]
            ranked = search(cli, index, original, folder, env, ["--top", "7"])
            copies = [p for p in ranked[1:7] if os.path.basename(p).startswith(stem + "-")]
            found += len(copies)
            total += len(ALTERATIONS)
        print(f"side {side}: build {seconds:.2f} s ({len(pictures) / seconds:.1f} images/s on 2 "
              f"threads), recall of copies in the top 6: {found}/{total} = {found / total:.3f}")
        if side == "1024":
            exhaustive = {q: search(cli, index, q, folder, env, ["--top", "10", "--shortlist", "0"])
                          for q in pictures}
            for shortlist in ("10", "20", "40"):
                same = sum(search(cli, index, q, folder, env, ["--top", "10", "--shortlist",
                                                                shortlist]) == exhaustive[q]
                           for q in pictures)
                print(f"shortlist {shortlist}: top 10 = exhaustive top 10 for {same}/"
                      f"{len(pictures)} queries ({same / len(pictures):.3f})")


if __name__ == "__main__":
    main()
