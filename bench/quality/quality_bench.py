#!/usr/bin/env python3
"""Encodes the corpus with vantrel, LAME, Opus (CBR) and libavcodec's wmav2 at the preset bit
rates, decodes everything, measures it (PEAQ, noise-to-mask, deep bass, track end) and prints
the tables and goals (see run.sh)."""
import argparse
import concurrent.futures
import json
import os
import resource
import subprocess
import sys
import time

from scipy.io import wavfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import goals  # noqa: E402
import nmr_score  # noqa: E402
import peaq_judge  # noqa: E402
import report  # noqa: E402
import signal_measures  # noqa: E402

PRESETS = [(0, 32), (1, 48), (2, 64), (3, 80), (4, 96), (5, 128), (6, 160), (7, 192)]
QUICK_PRESETS = [(2, 64), (5, 128), (7, 192)]
QUICK_FILES = ["band.wav", "speech.wav", "voices_room.wav", "bass.wav", "drums.wav",
               "end_tone_45000.wav"]
# What every preset above writes; LAME and wmav2 are asked for the same, so that a mono or
# 48 kHz source costs them the same work (and gives them the same bits) as it does ours. Opus
# codes at 48 kHz only: its input is brought there with the resampler every decoded file passes.
PRESET_RATE, PRESET_CHANNELS = 44100, 2
SOXR = "resampler=soxr:precision=28"
EXTENSIONS = {"ours": "wma", "lame": "mp3", "opus": "opus", "wmav2": "wma"}
# Every WMA file without a channel mask (there is none in a WAVEFORMATEX) makes the ffmpeg
# program guess the layout; libavcodec's own wmav2 files get the same line.
CONTAINER_NOTE = "Guessed Channel Layout"
# Shorter tracks have no body between the noise-to-mask scorer's edges.
NMR_MIN_SAMPLES = 4 * nmr_score.EDGE


def cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run(command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def encode(encoder, preset, kbps, source, out, vantrel):
    if encoder == "ours":
        run([vantrel, "convert", "-q", "-f", "-j", "1", "--preset", str(preset), "-o", out, source])
        return
    ffmpeg = ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", source]
    if encoder == "opus":
        codec = ["-af", f"aresample=osr=48000:{SOXR}", "-c:a", "libopus", "-vbr", "off"]
    else:
        codec = ["-ar", str(PRESET_RATE), "-c:a", "wmav2" if encoder == "wmav2" else "libmp3lame"]
    run(ffmpeg + codec + ["-ac", str(PRESET_CHANNELS), "-b:a", f"{kbps}k", out])


def decode(coded, rate, channels):
    """Decodes with FFmpeg to the source's rate and channels; errors are fatal, warnings kept."""
    decoded = coded + ".wav"
    done = subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "warning",
                           "-xerror", "-err_detect", "explode", "-i", coded, "-af",
                           f"aresample=osr={rate}:{SOXR}", "-ac", str(channels),
                           "-c:a", "pcm_f32le", "-y", decoded], capture_output=True, text=True)
    lines = [line for line in done.stderr.splitlines() if line.strip()]
    result = {"exit": done.returncode,
              "warnings": [line for line in lines if CONTAINER_NOTE not in line],
              "container_notes": sum(CONTAINER_NOTE in line for line in lines)}
    return decoded, result


def packet_sizes(coded):
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                            "packet=size", "-of", "default=noprint_wrappers=1:nokey=1", coded],
                           capture_output=True, text=True, check=True).stdout
    return [int(x) for x in probe.split()]


def measure(job):
    """Decodes one coded file and measures it against its source."""
    source_path, coded, reference, peaq = job
    rate, source = nmr_score.read_wav(source_path)
    decoded, result = decode(coded, rate, source.shape[1])
    if result["exit"] != 0:
        return result
    _, raw = nmr_score.read_wav(decoded)
    lag, test, span = signal_measures.aligned(source, raw)
    result.update(lag=lag, span=span)
    if len(source) >= NMR_MIN_SAMPLES:
        result.update(nmr_score.score(source_path, decoded))
        if reference:
            out = subprocess.run([sys.executable, reference, source_path, decoded],
                                 capture_output=True, text=True, check=True).stdout
            result["reference"] = json.loads(out)
    result.update(signal_measures.bass(source, test, rate))
    result.update(signal_measures.track_end(source, test))
    if peaq:
        try:
            result.update(peaq_judge.odg(peaq, rate, source, test, span, coded))
        except RuntimeError as error:
            result["peaq_error"] = str(error)
    sizes = packet_sizes(coded)
    result.update(stream_bytes=sum(sizes), largest_packet=max(sizes, default=0),
                  file_bytes=os.path.getsize(coded))
    os.remove(decoded)
    return result


def score_all(jobs, workers):
    """Measures every coded file on all cores, saying how far it got every tenth of the way."""
    results = {}
    started = time.monotonic()
    with concurrent.futures.ProcessPoolExecutor(max_workers=workers) as pool:
        pending = {pool.submit(measure, job): key for key, job in jobs}
        step = max(1, len(jobs) // 10)
        for done, future in enumerate(concurrent.futures.as_completed(pending), 1):
            results[pending[future]] = future.result()
            if done % step == 0 or done == len(jobs):
                print(f"  {done} of {len(jobs)} files measured "
                      f"({time.monotonic() - started:.0f} s)", flush=True)
    return results


def report_and_check(info, presets, results, cpu, cpu_of, with_peaq, with_reference):
    report.derive(results)
    tables = report.Tables(info, presets, results)
    report.print_tables(tables, with_peaq)
    met = goals.check_all(tables, cpu, cpu_of, with_peaq, with_reference)
    print("\nall goals met" if met else "\nsome goals missed (see above)")


def load_results(path):
    with open(path) as f:
        saved = json.load(f)
    return {(n, int(k), e): r for key, r in saved["results"].items()
            for n, k, e in [key.split("|")]}


def report_saved(path):
    """Prints the tables and goals of a run saved with --json."""
    with open(path) as f:
        saved = json.load(f)
    results = load_results(path)
    cpu_of = {tuple(key.split("|")): s for key, s in saved["cpu_of"].items()}
    with_peaq = any("odg_basic" in r for r in results.values())
    with_reference = any("reference" in r for r in results.values())
    report_and_check({n: tuple(v) for n, v in saved["files"].items()},
                     [tuple(p) for p in saved["presets"]], results, saved["cpu"], cpu_of,
                     with_peaq, with_reference)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--saved", help="only print the tables of a run saved with --json")
    parser.add_argument("--vantrel")
    parser.add_argument("--corpus")
    parser.add_argument("--work")
    parser.add_argument("--reference", help="another nmr implementation to compare with")
    parser.add_argument("--quick", action="store_true",
                        help=f"only {', '.join(QUICK_FILES)} at presets 2, 5 and 7")
    parser.add_argument("--presets", help="only these presets, by number (e.g. 2,5,7)")
    parser.add_argument("--files", help="only these files of the corpus (e.g. band.wav,bass.wav)")
    parser.add_argument("--rivals-from", help="take the other encoders' measures from this saved "
                        "run where it has them (they are still encoded, for the times)")
    parser.add_argument("--json", help="also write every figure to this file")
    args = parser.parse_args()
    if args.saved:
        report_saved(args.saved)
        return
    if not (args.vantrel and args.corpus and args.work):
        parser.error("--vantrel, --corpus and --work are needed to measure")
    presets = QUICK_PRESETS if args.quick else PRESETS
    if args.presets:
        chosen = {int(p) for p in args.presets.split(",")}
        presets = [(p, kbps) for p, kbps in PRESETS if p in chosen]

    files = sorted(f for f in os.listdir(args.corpus) if f.endswith(".wav"))
    if args.quick:
        files = [f for f in files if f in QUICK_FILES]
    if args.files:
        files = [f for f in files if f in args.files.split(",")]
    info = {}
    for name in files:
        rate, data = wavfile.read(os.path.join(args.corpus, name))
        info[name] = (rate, 1 if data.ndim == 1 else data.shape[1], len(data) / rate, len(data))

    peaq = peaq_judge.find_program()
    print(f"PEAQ: {peaq}" if peaq else
          "PEAQ: ABSENT, no objective difference grades (set PEAQ=/path/to/peaq or put peaq on "
          "PATH); the other measures follow")

    saved = load_results(args.rivals_from) if args.rivals_from else {}
    # Encoding, one process at a time, each encoder right after the others on the same file
    # and rate, so that the machine's load falls on all of them alike.
    cpu = {e: 0.0 for e in report.ENCODERS}
    cpu_of = {}  # (file, encoder) over all bit rates
    jobs = []
    print(f"encoding {len(files)} files at {len(presets)} bit rates with "
          f"{len(report.ENCODERS)} encoders ...", flush=True)
    for name in files:
        source = os.path.join(args.corpus, name)
        for preset, kbps in presets:
            for encoder in report.ENCODERS:
                out = os.path.join(args.work, f"{name[:-4]}_{kbps}_{encoder}.{EXTENSIONS[encoder]}")
                before = cpu_seconds()
                encode(encoder, preset, kbps, source, out, args.vantrel)
                spent = cpu_seconds() - before
                cpu[encoder] += spent
                cpu_of[(name, encoder)] = cpu_of.get((name, encoder), 0.0) + spent
                # The reference scorer is slow: a few files are enough to compare.
                check = args.reference if encoder == "ours" and kbps in (64, 128) else None
                if encoder == "ours" or (name, kbps, encoder) not in saved:
                    jobs.append(((name, kbps, encoder), (source, out, check, peaq)))

    print("decoding and measuring ...", flush=True)
    results = score_all(jobs, os.cpu_count() or 2)
    for key in {(n, k, e) for n in files for _, k in presets for e in report.ENCODERS} - set(results):
        results[key] = saved[key]
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"presets": presets, "files": info, "cpu": cpu,
                       "cpu_of": {f"{n}|{e}": s for (n, e), s in cpu_of.items()},
                       "results": {f"{n}|{k}|{e}": r for (n, k, e), r in results.items()}},
                      f, indent=1, default=float)
        print(f"every figure: {args.json}")
    report_and_check(info, presets, results, cpu, cpu_of, peaq is not None,
                     args.reference is not None)


if __name__ == "__main__":
    main()
