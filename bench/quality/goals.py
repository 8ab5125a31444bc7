"""The goals the quality bench holds our encoder to, each printed with what missed it: sound
against LAME and Opus, deep bass, track ends, clean files at their bit rate, CPU time against
libavcodec's wmav2."""
from report import END_TOLERANCE, ENCODERS, GOAL_RATES, ODG_TOLERANCE, TITLES, mean


class Verdict:
    def __init__(self):
        self.met = True

    def goal(self, ok, text, misses=()):
        self.met = self.met and ok
        print(f"  [{'met' if ok else 'MISSED'}] {text}")
        for miss in misses:
            print(f"           {miss}")


# Length of a frame at the presets' 44.1 kHz: 2,048 samples.
FRAME_SECONDS = 2048 / 44100


def check_sound(t, v, with_peaq):
    rates = [k for k in GOAL_RATES if k in t.rates]
    if with_peaq:
        misses = [f"{n[:-4]} {k} kb/s: {t.get(n, k, 'ours', 'odg'):.2f} against LAME's "
                  f"{t.get(n, k, 'lame', 'odg'):.2f}"
                  for k in rates for n in t.files
                  if t.get(n, k, "ours", "odg") < t.get(n, k, "lame", "odg") - ODG_TOLERANCE]
        v.goal(not misses, f"PEAQ at {', '.join(map(str, rates))} kb/s: no file more than "
               f"{ODG_TOLERANCE} below LAME", misses)
        if 128 in t.rates:
            ours = mean([t.get(n, 128, "ours", "odg") for n in t.materials])
            opus = mean([t.get(n, 128, "opus", "odg") for n in t.materials])
            v.goal(ours >= opus, f"PEAQ mean at 128 kb/s at or above Opus's: {ours:.2f} "
                   f"against {opus:.2f}")
    else:
        print("  [  -  ] PEAQ goals not checked: PEAQ is absent")
    means = {(field, e, k): mean([t.get(n, k, e, field) for n in t.materials])
             for field in ("nmr", "nmr_short") for e in ENCODERS for k in t.rates}
    for field, rival, margin, text in (
            ("nmr", "lame", 0.0, "nmr mean at or under LAME's"),
            ("nmr_short", "lame", 0.0, "nmr 256 mean at or under LAME's"),
            ("nmr", "wmav2", 10.0, "nmr mean 10 dB under wmav2's")):
        misses = [f"{k} kb/s: {means[(field, 'ours', k)]:.2f} against "
                  f"{means[(field, rival, k)]:.2f}" for k in t.rates
                  if means[(field, "ours", k)] > means[(field, rival, k)] - margin]
        v.goal(not misses, f"{text} at every preset", misses)


def check_bass_and_ends(t, v):
    if 128 in t.rates:
        misses = [f"{n[:-4]}: {t.get(n, 128, 'ours', 'bass'):.1f} dB against LAME's "
                  f"{t.get(n, 128, 'lame', 'bass'):.1f}"
                  for n in t.files if t.get(n, 128, "ours", "bass") < t.get(n, 128, "lame", "bass")]
        v.goal(not misses, "20-80 Hz SNR at 128 kb/s at or above LAME's on every file", misses)
    misses = [f"{n[:-4]} {k} kb/s: last 1,024 samples {t.get(n, k, 'ours', 'end_snr'):.1f} dB, "
              f"body {t.get(n, k, 'ours', 'body_snr'):.1f} dB"
              for n in t.files for k in t.rates if t.get(n, k, "ours", "end") < -END_TOLERANCE]
    v.goal(not misses, f"track ends within {END_TOLERANCE:.0f} dB of the body's SNR, every file "
           "and rate", misses)


def check_files(t, v):
    """Every file of ours decodes without a word, holds its rate and keeps every sample."""
    misses, notes, worst = [], 0, 0.0
    for name in t.files:
        rate, channels, seconds, length = t.info[name]
        for kbps in t.rates:
            r = t.results[(name, kbps, "ours")]
            notes += r["container_notes"]
            where = f"{name[:-4]} {kbps} kb/s"
            if r["exit"] != 0 or r["warnings"]:
                misses.append(f"{where}: decoder said {r['warnings'][:2]}")
                continue
            # The stream's bytes over the track's duration (the header and its tags apart); a
            # short track may be a packet off, beyond the frames of the decoder's lead-in and
            # of the closing overlap (two each at most), which every track carries.
            target = kbps * 1000 * seconds / 8
            off = r["stream_bytes"] - target
            deviation = off / target
            carried = 4 * FRAME_SECONDS * kbps * 1000 / 8
            if abs(off) > max(0.02 * target, r["largest_packet"] + carried):
                misses.append(f"{where}: stream at {100 * deviation:+.2f}% of its bit rate")
            if name in t.materials:
                worst = max(worst, abs(deviation))
            if r["lag"] != 0 or tuple(r["span"]) != (0, length):
                misses.append(f"{where}: lag {r['lag']}, covers samples {r['span']} of {length}")
    v.goal(not misses, "our files decode with ffmpeg -xerror -err_detect explode without a "
           "warning, hold their bit rate within 2% or one packet (worst material "
           f"{100 * worst:.2f}%) and keep every sample in place", misses)
    print(f"           ({notes} times the ffmpeg program guessed a stereo layout for the WMA "
          "container, as it does for libavcodec's own wmav2 files)")


def check_cpu(t, v, cpu, cpu_of):
    print("\nCPU time of the encoders over the corpus (s)")
    audio = sum(t.info[n][2] for n in t.files) * len(t.rates)
    for e in ENCODERS:
        print(f"  {TITLES[e]:8} {cpu[e]:8.2f}  ({audio / cpu[e]:.0f}x real time)")
    print("  per file, over its bit rates (vantrel's time includes reading the WAV file, starting "
          "the player and loading the component):")
    for name in t.files:
        ours, theirs = cpu_of[(name, "ours")], cpu_of[(name, "wmav2")]
        print(f"    {name[:-4]:16} vantrel {ours:6.2f} s  wmav2 {theirs:6.2f} s  "
              f"ratio {ours / theirs:.2f}")
    ratio = cpu["ours"] / cpu["wmav2"]
    worst = max(cpu_of[(n, "ours")] / cpu_of[(n, "wmav2")] for n in t.materials)
    v.goal(ratio <= 1.0 and worst <= 1.0, f"CPU time at most wmav2's, measured side by side: "
           f"{ratio:.2f} over the corpus, {worst:.2f} on the worst material (end probes, mostly "
           "start-up, apart)")


def print_reference(t):
    print("\nthis scorer against the reference implementation (our files at 64 and 128 kb/s)")
    worst = 0.0
    for (name, kbps, _), r in sorted(t.results.items()):
        if "reference" not in r:
            continue
        ref = r["reference"]
        worst = max(worst, abs(r["nmr"] - ref["nmr"]), abs(r["nmr_short"] - ref["nmr_short"]))
        print(f"  {name:18} {kbps:>4}  nmr {r['nmr']:7.3f} vs {ref['nmr']:7.3f}   "
              f"nmr 256 {r['nmr_short']:7.3f} vs {ref['nmr_short']:7.3f}")
    print(f"  largest difference {worst:.3f} dB (goal <= 0.3)")


def check_all(t, cpu, cpu_of, with_peaq, with_reference):
    v = Verdict()
    print("\ngoals")
    check_sound(t, v, with_peaq)
    check_bass_and_ends(t, v)
    check_files(t, v)
    check_cpu(t, v, cpu, cpu_of)
    if with_reference:
        print_reference(t)
    return v.met

