"""Tables and goals of the quality bench: per material and rate, means per preset, and the goals
each encoder is held to (see run.sh)."""
import math

import peaq_judge

ENCODERS = ["ours", "lame", "opus", "wmav2"]
TITLES = {"ours": "vantrel", "lame": "LAME", "opus": "Opus", "wmav2": "wmav2"}
RIVALS = ["lame", "opus"]
# Short tracks made for the track-end measure: measured and listed, left out of the means.
PROBE_PREFIX = "end_"
# Materials the encoder is not tuned on: their means are shown apart, as a check that what
# tuning gained on the others carries over.
HELD_OUT = ["band_48k.wav", "castanets.wav", "dialogue.wav", "piano.wav"]
# A 20-80 Hz band this far under the whole signal (dB) holds too little to judge.
BASS_MIN_LEVEL = -35.0
# A track whose last 1,024 samples are this far under its body (dB) ends in silence.
QUIET_END = -30.0
ODG_TOLERANCE = 0.1
END_TOLERANCE = 3.0
GOAL_RATES = (64, 128, 192)
NAN = float("nan")


def derive(results):
    """Adds the judged grade, the bass SNR where there is bass and the track end's shortfall
    against the body where the track does not end in silence."""
    for (_, kbps, _), r in results.items():
        if r["exit"] != 0:
            continue
        r["odg"] = r.get("odg_" + peaq_judge.judged_version(kbps), NAN)
        r["bass"] = r["bass_snr"] if r["bass_level"] >= BASS_MIN_LEVEL else NAN
        r["end"] = r["end_snr"] - r["body_snr"] if r["end_level"] >= QUIET_END else NAN


def cell(v, width=6, digits=2):
    return f"{'-':>{width}}" if math.isnan(v) else f"{v:{width}.{digits}f}"


def mean(values):
    kept = [v for v in values if not math.isnan(v)]
    return sum(kept) / len(kept) if kept else NAN


class Tables:
    def __init__(self, info, presets, results):
        self.info, self.results = info, results
        self.rates = [kbps for _, kbps in presets]
        self.files = sorted(info)
        self.materials = [n for n in self.files if not n.startswith(PROBE_PREFIX)]

    def get(self, name, kbps, encoder, field):
        r = self.results[(name, kbps, encoder)]
        return r.get(field, NAN) if r["exit"] == 0 else NAN

    def row(self, name, kbps, field, digits=2):
        return " ".join(cell(self.get(name, kbps, e, field), 7, digits) for e in ENCODERS)

    def mean_row(self, kbps, field, names=None, digits=2):
        names = self.materials if names is None else names
        return " ".join(cell(mean([self.get(n, kbps, e, field) for n in names]), 7, digits)
                        for e in ENCODERS)

    def shortfalls(self, name, kbps, field, higher_is_better, tolerance=math.inf):
        """Where ours is worse than LAME or Opus: 'LAME -0.35*' (* beyond the tolerance)."""
        ours = self.get(name, kbps, "ours", field)
        out = []
        for rival in RIVALS:
            gap = ours - self.get(name, kbps, rival, field)
            gap = gap if higher_is_better else -gap
            if gap < 0:
                out.append(f"{TITLES[rival]} {gap:+.2f}{'*' if gap < -tolerance else ''}")
        return ", ".join(out)


def header(groups, trailer=""):
    names = " ".join(f"{TITLES[e]:>7}" for e in ENCODERS)
    first = f"{'':16} {'':>4} |" + "|".join(f" {g:<31} " for g in groups) + "|"
    second = f"{'material':16} {'kb/s':>4} |" + "|".join(f" {names} " for _ in groups) + "| "
    print(first + (" " + trailer if trailer else ""))
    print(second)


def print_peaq(t):
    print("\nPEAQ objective difference grade per material (0 = no audible difference, -4 = very "
          "annoying; higher is better)\njudged: the advanced version at 64 kb/s and below, the "
          f"basic one above; * = more than {ODG_TOLERANCE} below LAME or Opus")
    header(["judged", "basic", "advanced"], "ours worse than")
    for name in t.files:
        for kbps in t.rates:
            print(f"{name[:-4]:16} {kbps:>4} | {t.row(name, kbps, 'odg')} | "
                  f"{t.row(name, kbps, 'odg_basic')} | {t.row(name, kbps, 'odg_advanced')} | "
                  f"{t.shortfalls(name, kbps, 'odg', True, ODG_TOLERANCE)}")


def print_nmr(t):
    print("\nnoise-to-mask ratio per material (dB, lower is better; nmr 256: short frames, the "
          "transients' measure)")
    header(["nmr", "nmr 256"], "ours kb/s, ours worse than")
    for name in t.files:
        seconds = t.info[name][2]
        for kbps in t.rates:
            rate = t.get(name, kbps, "ours", "stream_bytes") * 8 / seconds / 1000
            print(f"{name[:-4]:16} {kbps:>4} | {t.row(name, kbps, 'nmr')} | "
                  f"{t.row(name, kbps, 'nmr_short')} | {rate:7.2f}  "
                  f"{t.shortfalls(name, kbps, 'nmr', False)}")


def print_bass_and_ends(t):
    print("\ndeep bass and track ends per material (dB, higher is better)\n"
          "bass: SNR of the 20-80 Hz band ('-' where that band is more than "
          f"{-BASS_MIN_LEVEL:.0f} dB under the whole);\n"
          "end - body: SNR of the last 1,024 samples minus the SNR of the body ('-' where the "
          f"track ends in silence);\nEND* = our end more than {END_TOLERANCE:.0f} dB under the body")
    header(["bass SNR", "end - body"], "ours: body SNR, ours worse than")
    for name in t.files:
        level = t.get(name, t.rates[0], "ours", "bass_level")
        for kbps in t.rates:
            notes = t.shortfalls(name, kbps, "bass", True)
            if t.get(name, kbps, "ours", "end") < -END_TOLERANCE:
                notes = ", ".join(x for x in (notes, "END*") if x)
            print(f"{name[:-4]:16} {kbps:>4} | {t.row(name, kbps, 'bass', 1)} | "
                  f"{t.row(name, kbps, 'end', 1)} | "
                  f"{cell(t.get(name, kbps, 'ours', 'body_snr'), 5, 1)}  {notes}")
        print(f"{'':16} (20-80 Hz band {level:.0f} dB under the whole)")


def print_means(t, with_peaq):
    count = len(t.materials)
    print(f"\nmeans over the {count} materials (the {len(t.files) - count} end probes left out)")
    print_group_means(t, with_peaq, t.materials)
    held_out = [n for n in t.materials if n in HELD_OUT]
    if held_out and len(held_out) < count:
        tuned = [n for n in t.materials if n not in HELD_OUT]
        print(f"\nmeans over the {len(tuned)} materials the encoder is tuned on")
        print_group_means(t, with_peaq, tuned)
        print(f"\nmeans over the {len(held_out)} held-out materials ({', '.join(held_out)})")
        print_group_means(t, with_peaq, held_out)


def print_group_means(t, with_peaq, names):
    if with_peaq:
        header(["ODG judged", "ODG basic", "ODG advanced"])
        for kbps in t.rates:
            print(f"{'':16} {kbps:>4} | {t.mean_row(kbps, 'odg', names)} | "
                  f"{t.mean_row(kbps, 'odg_basic', names)} | "
                  f"{t.mean_row(kbps, 'odg_advanced', names)} |")
    header(["nmr (dB)", "nmr 256 (dB)", "bass SNR (dB)"])
    for kbps in t.rates:
        print(f"{'':16} {kbps:>4} | {t.mean_row(kbps, 'nmr', names)} | "
              f"{t.mean_row(kbps, 'nmr_short', names)} | "
              f"{t.mean_row(kbps, 'bass', names, digits=1)} |")
    print("worst track end against its body over all files, probes included (dB)")
    header(["end - body"])
    for kbps in t.rates:
        worst = [min((t.get(n, kbps, e, "end") for n in t.files
                      if not math.isnan(t.get(n, kbps, e, "end"))), default=NAN)
                 for e in ENCODERS]
        print(f"{'':16} {kbps:>4} | " + " ".join(cell(w, 7, 1) for w in worst) + " |")


def print_tables(t, with_peaq):
    for name, r in sorted(t.results.items()):
        if "peaq_error" in r:
            print(f"PEAQ FAILED {name}: {r['peaq_error']}")
        if r["exit"] != 0:
            print(f"DECODE FAILED {name}: {r['warnings'][:2]}")
    if with_peaq:
        print_peaq(t)
    print_nmr(t)
    print_bass_and_ends(t)
    print_means(t, with_peaq)
