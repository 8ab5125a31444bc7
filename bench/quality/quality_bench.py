#!/usr/bin/env python3
"""Encodes the corpus with vantrel, libavcodec's wmav2 and LAME at the preset bit rates,
decodes and scores everything, and prints the tables and goals (see run.sh)."""
import argparse
import concurrent.futures
import json
import os
import resource
import subprocess
import sys

import numpy as np
from scipy.io import wavfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import nmr_score  # noqa: E402

PRESETS = [(0, 32), (1, 48), (2, 64), (3, 80), (4, 96), (5, 128), (6, 160), (7, 192)]
# What every preset above writes; the other encoders are asked for the same, so that a mono
# or 48 kHz source costs them the same work (and gives them the same bits) as it does ours.
PRESET_RATE, PRESET_CHANNELS = 44100, 2
ENCODERS = ["ours", "lame", "wmav2"]
TITLES = {"ours": "vantrel", "lame": "LAME", "wmav2": "wmav2"}
# Every WMA file without a channel mask (there is none in a WAVEFORMATEX) makes the ffmpeg
# program guess the layout; libavcodec's own wmav2 files get the same line.
CONTAINER_NOTE = "Guessed Channel Layout"


def cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run(command, env=None):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                   env=env)


def encode(encoder, preset, kbps, source, out, vantrel):
    if encoder == "ours":
        run([vantrel, "convert", "-q", "-f", "-j", "1", "--preset", str(preset), "-o", out, source])
    else:
        codec = "wmav2" if encoder == "wmav2" else "libmp3lame"
        run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", source, "-c:a", codec,
             "-ar", str(PRESET_RATE), "-ac", str(PRESET_CHANNELS), "-b:a", f"{kbps}k", out])


def decode_and_score(job):
    """Decodes with FFmpeg (errors are fatal, warnings are counted) and scores the result."""
    source, coded, rate, channels, reference = job
    decoded = coded + ".wav"
    done = subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "warning",
                           "-xerror", "-err_detect", "explode", "-i", coded, "-c:a", "pcm_f32le",
                           "-ar", str(rate), "-ac", str(channels), "-y", decoded],
                          capture_output=True, text=True)
    lines = [line for line in done.stderr.splitlines() if line.strip()]
    result = {"exit": done.returncode,
              "warnings": [line for line in lines if CONTAINER_NOTE not in line],
              "container_notes": sum(CONTAINER_NOTE in line for line in lines)}
    if done.returncode != 0:
        return result
    result.update(nmr_score.score(source, decoded))
    if reference:
        out = subprocess.run([sys.executable, reference, source, decoded], capture_output=True,
                             text=True, check=True).stdout
        result["reference"] = json.loads(out)
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                            "packet=size", "-of", "default=noprint_wrappers=1:nokey=1", coded],
                           capture_output=True,
                           text=True, check=True).stdout
    result["stream_bytes"] = sum(int(x) for x in probe.split())
    result["file_bytes"] = os.path.getsize(coded)
    os.remove(decoded)
    return result


def mean(values):
    return sum(values) / len(values)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--vantrel", required=True)
    parser.add_argument("--corpus", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--reference", help="another nmr implementation to compare with")
    args = parser.parse_args()

    files = sorted(f for f in os.listdir(args.corpus) if f.endswith(".wav"))
    info = {}
    for name in files:
        rate, data = wavfile.read(os.path.join(args.corpus, name))
        info[name] = (rate, 1 if data.ndim == 1 else data.shape[1], len(data) / rate, len(data))

    # Encoding, one process at a time, CPU time of each encoder summed over the corpus.
    cpu = {e: 0.0 for e in ENCODERS}
    cpu_of = {}  # (file, encoder) over all bit rates
    jobs = []
    print(f"encoding {len(files)} files at {len(PRESETS)} bit rates with {len(ENCODERS)} "
          "encoders ...", flush=True)
    for name in files:
        source = os.path.join(args.corpus, name)
        rate, channels, _, _ = info[name]
        for preset, kbps in PRESETS:
            for encoder in ENCODERS:
                out = os.path.join(args.work, f"{name[:-4]}_{kbps}_{encoder}." +
                                   ("mp3" if encoder == "lame" else "wma"))
                before = cpu_seconds()
                encode(encoder, preset, kbps, source, out, args.vantrel)
                spent = cpu_seconds() - before
                cpu[encoder] += spent
                cpu_of[(name, encoder)] = cpu_of.get((name, encoder), 0.0) + spent
                # The reference scorer is slow: a few files are enough to compare.
                check = args.reference if encoder == "ours" and kbps in (64, 128) else None
                jobs.append(((name, kbps, encoder), (source, out, rate, channels, check)))

    print("decoding and scoring ...", flush=True)
    results = {}
    with concurrent.futures.ProcessPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        for key, result in zip([k for k, _ in jobs], pool.map(decode_and_score,
                                                               [j for _, j in jobs])):
            results[key] = result

    failed = [(k, r) for k, r in results.items() if r["exit"] != 0]
    for key, result in failed:
        print(f"DECODE FAILED {key}: {result['warnings'][:2]}")

    def value(name, kbps, encoder, field):
        result = results[(name, kbps, encoder)]
        return result.get(field, float("nan"))

    # Per material.
    for name in files:
        rate, channels, seconds, _ = info[name]
        print(f"\n{name[:-4]}  ({rate} Hz, {channels} channel{'s' if channels > 1 else ''}, "
              f"{seconds:.0f} s)   NMR in dB, lower is better")
        print(f"{'kb/s':>5} | {'nmr: ' + ' / '.join(TITLES[e] for e in ENCODERS):>30} | "
              f"{'nmr 256: ' + ' / '.join(TITLES[e] for e in ENCODERS):>30} | {'ours kb/s':>9}")
        for _, kbps in PRESETS:
            long_ = " ".join(f"{value(name, kbps, e, 'nmr'):9.1f}" for e in ENCODERS)
            short = " ".join(f"{value(name, kbps, e, 'nmr_short'):9.1f}" for e in ENCODERS)
            rate_ours = value(name, kbps, "ours", "stream_bytes") * 8 / seconds / 1000
            print(f"{kbps:>5} | {long_:>30} | {short:>30} | {rate_ours:9.2f}")

    # Means over the materials, and the goals.
    print("\nmeans over the materials (dB)")
    print(f"{'kb/s':>5} | {'nmr: ' + ' / '.join(TITLES[e] for e in ENCODERS):>30} | "
          f"{'nmr 256: ' + ' / '.join(TITLES[e] for e in ENCODERS):>30} | goals")
    all_met = True
    for _, kbps in PRESETS:
        m = {e: mean([value(n, kbps, e, "nmr") for n in files]) for e in ENCODERS}
        s = {e: mean([value(n, kbps, e, "nmr_short") for n in files]) for e in ENCODERS}
        goals = []
        ok_lame = m["ours"] <= m["lame"]
        ok_today = m["ours"] <= m["wmav2"] - 10
        ok_short = s["ours"] <= s["lame"]
        goals.append(("<=LAME" if ok_lame else "ABOVE LAME"))
        goals.append(("10 dB under wmav2" if ok_today else "LESS THAN 10 dB UNDER wmav2"))
        goals.append(("short <=LAME" if ok_short else "SHORT ABOVE LAME"))
        all_met = all_met and ok_lame and ok_today and ok_short
        print(f"{kbps:>5} | " + " ".join(f"{m[e]:9.2f}" for e in ENCODERS) + " | " +
              " ".join(f"{s[e]:9.2f}" for e in ENCODERS) + " | " + ", ".join(goals))

    # Every file of ours: clean decode, bit rate, length.
    print("\nour files")
    problems = 0
    notes = 0
    worst_rate = 0.0
    for name in files:
        rate, channels, seconds, length = info[name]
        for _, kbps in PRESETS:
            result = results[(name, kbps, "ours")]
            notes += result["container_notes"]
            if result["exit"] != 0 or result["warnings"]:
                problems += 1
                print(f"  {name} {kbps} kb/s: decoder said {result['warnings'][:2]}")
                continue
            # The stream's bytes over the track's duration (the header and its tags apart).
            deviation = result["stream_bytes"] * 8 / seconds / (kbps * 1000) - 1
            worst_rate = max(worst_rate, abs(deviation))
            if abs(deviation) > 0.02:
                problems += 1
                print(f"  {name} {kbps} kb/s: stream at {100 * deviation:+.2f}% of its bit rate")
            if result["len_test"] < length or result["lag"] != 0:
                problems += 1
                print(f"  {name} {kbps} kb/s: {result['len_test']} samples for {length}, "
                      f"lag {result['lag']}")
    count = len(files) * len(PRESETS)
    print(f"  {count - problems} of {count} files decode with ffmpeg -xerror -err_detect explode "
          f"without a warning, hold their bit rate within 2% (worst {100 * worst_rate:.2f}%) "
          "and keep every sample in place")
    print(f"  ({notes} times the ffmpeg program guessed a stereo layout for the WMA container, "
          "as it does for libavcodec's own wmav2 files)")
    all_met = all_met and problems == 0

    print("\nCPU time of the encoders over the corpus (s)")
    audio = sum(info[n][2] for n in files) * len(PRESETS)
    for e in ENCODERS:
        print(f"  {TITLES[e]:8} {cpu[e]:8.2f}  ({audio / cpu[e]:.0f}x real time)")
    ratio = cpu["ours"] / cpu["wmav2"]
    print(f"  vantrel / wmav2: {ratio:.2f}  (goal <= 1; vantrel's time includes reading the "
          "WAV file, starting the player and loading the component)")
    print("  per track, over its eight bit rates:")
    worst_track = 0.0
    for name in files:
        track = cpu_of[(name, "ours")] / cpu_of[(name, "wmav2")]
        worst_track = max(worst_track, track)
        print(f"    {name[:-4]:14} vantrel {cpu_of[(name, 'ours')]:6.2f} s  wmav2 "
              f"{cpu_of[(name, 'wmav2')]:6.2f} s  ratio {track:.2f}")
    all_met = all_met and ratio <= 1.0 and worst_track <= 1.0

    if args.reference:
        print("\nthis scorer against the reference implementation (our files at 64 and 128 kb/s)")
        worst = 0.0
        for (name, kbps, encoder), result in sorted(results.items()):
            if "reference" not in result:
                continue
            ref = result["reference"]
            d_long = result["nmr"] - ref["nmr"]
            d_short = result["nmr_short"] - ref["nmr_short"]
            worst = max(worst, abs(d_long), abs(d_short))
            print(f"  {name:18} {kbps:>4}  nmr {result['nmr']:7.3f} vs {ref['nmr']:7.3f}   "
                  f"nmr 256 {result['nmr_short']:7.3f} vs {ref['nmr_short']:7.3f}")
        print(f"  largest difference {worst:.3f} dB (goal <= 0.3)")

    print("\nall goals met" if all_met else "\nsome goals missed (see above)")


if __name__ == "__main__":
    main()
