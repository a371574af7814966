#!/usr/bin/env python3
"""Compares frames rendered on another driver with the kept reference frames.

    compare_frames.py REFERENCE_DIR RENDERED_DIR

Both folders hold one sub-folder per case with frame_NNNNN.png files. Prints one row per frame:
the largest difference of any channel (0..255) and the share of pixels whose largest channel
difference exceeds 2 and 16 levels.
"""
import pathlib
import sys

import numpy as np
from PIL import Image


def main() -> int:
    reference, rendered = (pathlib.Path(a) for a in sys.argv[1:3])
    print(f"{'frame':32} {'max':>4} {'>2 levels':>10} {'>16 levels':>11}")
    for ref in sorted(reference.glob("*/frame_*.png")):
        name = f"{ref.parent.name}/{ref.name}"
        other = rendered / ref.parent.name / ref.name
        if not other.exists():
            print(f"{name:32} missing")
            continue
        a = np.asarray(Image.open(ref).convert("RGBA"), dtype=np.int16)
        b = np.asarray(Image.open(other).convert("RGBA"), dtype=np.int16)
        if a.shape != b.shape:
            print(f"{name:32} size {b.shape[1]}x{b.shape[0]}, expected {a.shape[1]}x{a.shape[0]}")
            continue
        d = np.abs(a - b).max(axis=2)
        print(f"{name:32} {int(d.max()):4} {100.0 * (d > 2).mean():9.2f}% {100.0 * (d > 16).mean():10.2f}%")
    return 0


if __name__ == "__main__":
    sys.exit(main())
