#!/usr/bin/env python3
"""Prints the benchmark's tables for one set of the corpus from the files run.sh collected.

In <folder>: flac.txt (name, bytes, CPU seconds per file), wmal.txt (wmal_bench's list of the
timed run), wmal-verified.txt (the verifying run's list), and per file <name>.ana (flac -a's
analysis) and <name>.frames (our frames: first sample, samples, bits).

Frame by frame: every flac frame is set against the bits of our frames that code the same
samples (our frames are 2048 samples, flac's 4096, so two of ours make one of theirs). A flac
frame is "beaten" when ours spend no more bits on its samples.

usage: report.py <folder> <CPU seconds of the timed run> <number of files>
"""
import os
import re
import sys


def flac_frames(path):
    """(first sample, samples, bits) of each frame in a flac -a analysis."""
    frames = []
    position = 0
    with open(path) as f:
        for line in f:
            if line.startswith("frame="):
                bits = int(re.search(r"\bbits=(\d+)", line).group(1))
                size = int(re.search(r"\bblocksize=(\d+)", line).group(1))
                frames.append((position, size, bits))
                position += size
    return frames


def our_frames(path):
    with open(path) as f:
        return [tuple(int(v) for v in line.split()) for line in f if line.strip()]


def frame_check(folder, name):
    """Counts of flac frames, of those where ours spend more, the bits over, the worst ratio."""
    theirs = flac_frames(os.path.join(folder, name + ".ana"))
    ours = our_frames(os.path.join(folder, name + ".frames"))
    over = 0
    excess = 0
    worst = 0.0
    j = 0
    for first, size, bits in theirs:
        spent = 0
        while j < len(ours) and ours[j][0] < first + size:
            spent += ours[j][2]
            j += 1
        if spent > bits:
            over += 1
            excess += spent - bits
        worst = max(worst, spent / bits)
    return len(theirs), over, excess, worst


def main():
    folder, process_seconds, expected = sys.argv[1], float(sys.argv[2]), int(sys.argv[3])
    flac = {}
    with open(os.path.join(folder, "flac.txt")) as f:
        for line in f:
            name, size, cpu = line.split()
            flac[name] = (int(size), float(cpu))
    rows = []
    with open(os.path.join(folder, "wmal.txt")) as f:
        for line in f:
            fields = line.split()
            name = fields[0][:-4] if fields[0].endswith(".wav") else fields[0]
            rows.append((name, float(fields[1]), int(fields[2]), int(fields[4]), float(fields[5])))
    rows.sort()
    print(f"{'file':<26} {'seconds':>7} {'flac_bytes':>11} {'wma_bytes':>11} {'size':>7} "
          f"{'cpu':>6} {'frames':>7} {'over':>5} {'worst':>6}")
    print(f"{'':<26} {'':>7} {'':>11} {'':>11} {'/flac':>7} {'/flac':>6} {'':>7} {'':>5} "
          f"{'frame':>6}")
    totals = {"audio": 0.0, "pcm": 0, "flac": 0, "wma": 0, "fcpu": 0.0, "wcpu": 0.0,
              "frames": 0, "over": 0, "excess": 0}
    depth = {16: [0, 0], 24: [0, 0]}
    worst_file = ("", 0.0)
    for name, audio, pcm, wma, cpu in rows:
        fsize, fcpu = flac[name]
        frames, over, excess, worst = frame_check(folder, name)
        ratio = wma / fsize
        print(f"{name:<26} {audio:7.1f} {fsize:11d} {wma:11d} {ratio:7.4f} {cpu / fcpu:6.3f} "
              f"{frames:7d} {over:5d} {worst:6.3f}")
        for key, value in (("audio", audio), ("pcm", pcm), ("flac", fsize), ("wma", wma),
                           ("fcpu", fcpu), ("wcpu", cpu), ("frames", frames), ("over", over),
                           ("excess", excess)):
            totals[key] += value
        bits = 24 if name.endswith("_24") else 16
        depth[bits][0] += fsize
        depth[bits][1] += wma
        if ratio > worst_file[1]:
            worst_file = (name, ratio)
    t = totals
    by_depth = ", ".join(f"{d}-bit {w / f:.4f}" for d, (f, w) in depth.items() if f > 0)
    print(f"\ncorpus: {t['audio']:.1f} s of audio ({t['audio'] / 60:.2f} min), {t['pcm']} PCM bytes")
    print(f"flac -8:        {t['flac']:11d} bytes ({t['flac'] / t['pcm']:.4f} of PCM), "
          f"{t['fcpu']:.3f} s CPU, {t['audio'] / t['fcpu']:.0f}x real time")
    print(f"WMA Lossless:   {t['wma']:11d} bytes in .wma files ({t['wma'] / t['pcm']:.4f} of PCM)")
    print(f"size vs flac:   {t['wma'] / t['flac']:.4f} over the set ({by_depth}); worst file "
          f"{worst_file[0]} {worst_file[1]:.4f}  [goal: every file <= 1, set <= 0.95]")
    print(f"CPU vs flac:    {process_seconds / t['fcpu']:.3f} for the whole program (read, encode, "
          f"write: {process_seconds:.3f} s), {t['wcpu'] / t['fcpu']:.3f} for the encoder alone "
          f"({t['wcpu']:.3f} s, {t['audio'] / t['wcpu']:.0f}x real time)")
    print(f"frame by frame: ours spend more than flac on {t['over']} of {t['frames']} flac frames "
          f"({100 * t['over'] / t['frames']:.2f}%), {t['excess'] / 8:.0f} bytes over in all "
          f"({100 * t['excess'] / 8 / t['wma']:.3f}% of ours)")
    verified = 0
    with open(os.path.join(folder, "wmal-verified.txt")) as f:
        verified = sum(1 for line in f if line.rstrip().endswith(" verified"))
    print(f"verified bit-exact through libavformat + libavcodec: {verified} of {expected} files")
    return 0 if verified == expected else 1


if __name__ == "__main__":
    sys.exit(main())
