"""PEAQ (ITU-R BS.1387) objective difference grades of a decoded file, through an external `peaq`
program (GstPEAQ's command line: `peaq [--basic|--advanced] REF.wav TEST.wav`).

The program is not part of the project: it is found through the PEAQ environment variable (the
path of the program) or as `peaq` on PATH; without it the bench reports the other measures.

How the two signals are fed, each point of which changes the grades:
  * only the span both files share, after aligning the decoded one (a decoder's delay or a
    dropped lead-in is not judged as noise);
  * both 6 dB lower, so that no codec's overshoot clips;
  * 48 kHz, 16-bit, resampled with soxr at 28 bits' precision and triangular dither (the ear
    model's bandwidth measures misfire on float input).
"""
import os
import re
import shutil
import subprocess

import numpy as np
from scipy.io import wavfile

GAIN = 10.0 ** (-6.0 / 20.0)
TO_48K_16BIT = ("aresample=osr=48000:osf=s16:resampler=soxr:precision=28:"
                "dither_method=triangular")
VERSIONS = ("basic", "advanced")


def find_program():
    """The peaq program, or None. A PEAQ variable that names no program is an error."""
    named = os.environ.get("PEAQ")
    if named:
        if not (os.path.isfile(named) and os.access(named, os.X_OK)):
            raise SystemExit(f"PEAQ={named} is not an executable program")
        return named
    return shutil.which("peaq")


def judged_version(kbps):
    """The basic version saturates below about -2.7 and can reverse the order of codecs there;
    the advanced one keeps it. Low rates are judged by the advanced version."""
    return "advanced" if kbps <= 64 else "basic"


def write_for_peaq(samples, rate, path):
    staged = path + ".f32.wav"
    wavfile.write(staged, rate, (samples * GAIN).astype(np.float32))
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", staged, "-af",
                    TO_48K_16BIT, "-c:a", "pcm_s16le", path], check=True)
    os.remove(staged)


def grade(program, version, reference, test):
    """The grade, or NaN where the program computes none (it prints "-nan" for some signals)."""
    done = subprocess.run([program, "--" + version, reference, test], capture_output=True,
                          text=True)
    found = re.search(r"Objective Difference Grade:\s*(\S+)", done.stdout)
    if done.returncode != 0 or not found:
        raise RuntimeError(f"peaq --{version} failed: {(done.stderr or done.stdout).strip()[:200]}")
    return float(found.group(1))


def odg(program, rate, source, test, span, prefix):
    """Both grades of `test` (aligned to `source`) over the shared span; files at `prefix`*."""
    first, last = span
    reference, decoded = prefix + ".ref.wav", prefix + ".test.wav"
    write_for_peaq(source[first:last], rate, reference)
    write_for_peaq(test[first:last], rate, decoded)
    try:
        return {f"odg_{v}": grade(program, v, reference, decoded) for v in VERSIONS}
    finally:
        os.remove(reference)
        os.remove(decoded)
