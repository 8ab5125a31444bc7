#!/usr/bin/env python3
"""Writes the listening corpus of the quality benchmark: 16-bit WAV files of 30 s.

usage: make_corpus.py OUTPUT_FOLDER SOUNDFONT
  band.wav         a pop song with drums (General MIDI, rendered with fluidsynth)
  harpsichord.wav  fast harpsichord arpeggios: plucked attacks on sustained harmony
  speech.wav       two voices from espeak-ng
  chords.wav       synthetic chords of harmonic partials with slow envelopes
  applause.wav     dense bursts of filtered noise, like clapping
  castanets.wav    short resonant clicks between silences
  band_48k.wav     another song at 48 kHz
  speech_mono.wav  speech, one channel
  voices_room.wav  eight male and female speakers in eight languages, in a small room
  dialogue.wav     a deep male and a high female voice taking quick turns, dry
  bass.wav         solo bass between 31 and 98 Hz: fingered electric, then synth bass
  drums.wav        a sparse, dry drum loop with silence between the hits
  guitar.wav       a nylon-string guitar alone, dry (close-miked)
  piano.wav        a grand piano alone, dry, from its low register up
  end_*.wav        probes for the last frames of a track: a tone (with a gliding partial)
                   of 45,000 samples, one of 47,104 (23 frames of 2,048 exactly), one of
                   5,000, and 43,500 samples of the band ending abruptly
Everything is 44.1 kHz stereo unless its name says otherwise; the materials last 30 s. The
same call writes the same files.
"""
import importlib
import os
import subprocess
import sys
import tempfile

import numpy as np
from scipy.io import wavfile
from scipy.signal import lfilter

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import materials  # noqa: E402

SECONDS = 30
HERE = os.path.dirname(os.path.abspath(__file__))


def write(path, rate, samples):
    samples = np.atleast_2d(samples.T).T if samples.ndim == 1 else samples
    peak = np.abs(samples).max()
    if peak > 0.97:
        samples = samples * (0.97 / peak)
    wavfile.write(path, rate, np.round(samples * 32767).astype(np.int16))


# The songs of this corpus, written with the lossless benchmark's MIDI writer: name ->
# tempo (bpm), bars, programs (melody, chords, bass), drums, key, seed.
SONGS = {
    "pop_piano": (112, 26, (0, 48, 33), True, 60, 1),
    "synth_rock": (128, 30, (81, 89, 38), True, 57, 3),
}


def midi_helpers():
    """The MIDI writer of the lossless benchmark's corpus."""
    sys.path.insert(0, os.path.join(HERE, "..", "wmalossless"))
    return importlib.import_module("make_midi")


def harpsichord_midi(midi):
    """Broken chords in sixteenths on a harpsichord over a slow bass, 100 bpm."""
    rng = np.random.default_rng(7)
    ticks = midi.TICKS
    events = [(0, bytes([0xC0, 6])), (0, bytes([0xC1, 6]))]
    meta = [(0, b"\xff\x51\x03" + (60000000 // 100).to_bytes(3, "big"))]
    progression = [0, 5, 3, 4, 0, 3, 4, 0]
    scale = [0, 2, 4, 5, 7, 9, 11]
    for bar in range(14):
        degree = progression[bar % len(progression)]
        root = 50 + scale[degree]
        chord = [root + scale[(degree + i) % 7] - scale[degree] + (12 if degree + i >= 7 else 0)
                 for i in (0, 2, 4)]
        start = bar * 4 * ticks
        midi.note(events, 1, start, 4 * ticks - 20, root - 12, 80)
        pattern = chord + [chord[0] + 12] + chord[::-1] + [chord[0] + 12]
        for step in range(16):
            pitch = pattern[step % len(pattern)] + 12 * int(rng.integers(0, 2))
            midi.note(events, 0, start + step * ticks // 4, ticks // 4 - 10, pitch,
                      int(rng.integers(80, 120)))
    header = b"MThd" + (6).to_bytes(4, "big") + (1).to_bytes(2, "big") + (2).to_bytes(2, "big") \
        + ticks.to_bytes(2, "big")
    return header + midi.track(meta) + midi.track(events)


def render(midi_bytes, soundfont, rate, work, name, dry=False):
    """Renders with fluidsynth; dry: without its reverb and chorus, as if close-miked."""
    mid = os.path.join(work, name + ".mid")
    raw = os.path.join(work, name + ".raw.wav")
    with open(mid, "wb") as f:
        f.write(midi_bytes)
    effects = ["-R", "0", "-C", "0"] if dry else []
    subprocess.run(["fluidsynth", "-ni", "-q", *effects, "-F", raw, "-r", str(rate), "-g", "0.6",
                    soundfont, mid],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    got_rate, data = wavfile.read(raw)
    return data.astype(np.float64) / 32768.0


def excerpt(data, rate, skip=1.0):
    start = int(skip * rate)
    return data[start:start + SECONDS * rate]


def speech(work, rate):
    text = ("The quick brown fox jumps over the lazy dog. Coding noise hides under louder "
            "sounds, but speech has pauses, sharp consonants and clear vowels, so every "
            "mistake is easy to hear. Seven silver swans swam silently seaward. She sells sea "
            "shells by the sea shore, and the shells she sells are surely sea shells.")
    parts = []
    for voice, speed, pitch in (("en-us", 160, 45), ("en-gb+f3", 185, 70)):
        path = os.path.join(work, voice + ".wav")
        subprocess.run(["espeak-ng", "-v", voice, "-s", str(speed), "-p", str(pitch), "-w", path,
                        text], check=True)
        got_rate, data = wavfile.read(path)
        data = data.astype(np.float64) / 32768.0
        # espeak-ng speaks at 22050 Hz; bring it to the corpus rate
        t = np.arange(int(len(data) * rate / got_rate)) / rate
        parts.append(np.interp(t, np.arange(len(data)) / got_rate, data))
    voice = np.concatenate(parts)[:SECONDS * rate]
    return voice / np.abs(voice).max() * 0.8


def chords(rate):
    t = np.arange(SECONDS * rate) / rate
    out = np.zeros((len(t), 2))
    roots = [130.8, 174.6, 196.0, 146.8, 164.8]
    span = SECONDS / len(roots)
    for n, root in enumerate(roots):
        begin = int(n * span * rate)
        seg = t[: int(span * rate)]
        envelope = np.minimum(1, seg / 0.3) * np.exp(-seg / 3.0)
        for ratio in (1.0, 1.25, 1.5, 2.0):
            for h in range(1, 9):
                for ch, detune in ((0, 1.0), (1, 1.003)):
                    f = root * ratio * h * detune
                    if f < rate / 2:
                        out[begin:begin + len(seg), ch] += envelope * np.sin(2 * np.pi * f * seg) / h ** 1.3
    return out / np.abs(out).max() * 0.7


def applause(rate):
    rng = np.random.default_rng(3)
    out = np.zeros((SECONDS * rate, 2))
    clap = int(0.02 * rate)
    for _ in range(SECONDS * 40):
        at = int(rng.integers(0, len(out) - clap))
        burst = rng.standard_normal(clap) * np.exp(-np.arange(clap) / (0.004 * rate))
        burst = lfilter([1, -0.9], [1], burst)  # brighter, like hands
        pan = rng.random()
        gain = 10 ** (-rng.random() * 1.5)
        out[at:at + clap, 0] += burst * gain * (1 - pan)
        out[at:at + clap, 1] += burst * gain * pan
    return out / np.abs(out).max() * 0.8


def castanets(rate):
    rng = np.random.default_rng(5)
    out = np.zeros((SECONDS * rate, 2))
    length = int(0.03 * rate)
    n = np.arange(length)
    at = 0.3
    while at < SECONDS - 0.1:
        click = np.zeros(length)
        for f in (2200 + 300 * rng.random(), 3700 + 400 * rng.random(), 6100):
            click += np.sin(2 * np.pi * f * n / rate) * np.exp(-n / (0.0025 * rate))
        click += 0.3 * rng.standard_normal(length) * np.exp(-n / (0.0008 * rate))
        start = int(at * rate)
        pan = 0.3 + 0.4 * rng.random()
        out[start:start + length, 0] += click * (1 - pan)
        out[start:start + length, 1] += click * pan
        at += rng.choice([0.125, 0.125, 0.25, 0.0625, 0.5])
    return out / np.abs(out).max() * 0.9


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    folder, soundfont = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    midi = midi_helpers()
    with tempfile.TemporaryDirectory() as work:
        band = render(midi.song("pop_piano", *SONGS["pop_piano"]), soundfont, 44100, work, "band")
        write(os.path.join(folder, "band.wav"), 44100, excerpt(band, 44100))
        harpsichord = render(harpsichord_midi(midi), soundfont, 44100, work, "harpsichord")
        write(os.path.join(folder, "harpsichord.wav"), 44100, excerpt(harpsichord, 44100, 0.2))
        voice = speech(work, 44100)
        write(os.path.join(folder, "speech.wav"), 44100, np.stack([voice, voice], axis=1))
        write(os.path.join(folder, "speech_mono.wav"), 44100, voice)
        song48 = render(midi.song("synth_rock", *SONGS["synth_rock"]), soundfont, 48000, work,
                        "rock")
        write(os.path.join(folder, "band_48k.wav"), 48000, excerpt(song48, 48000))
        write(os.path.join(folder, "end_band_43500.wav"), 44100, excerpt(band, 44100, 7.0)[:43500])
        write(os.path.join(folder, "voices_room.wav"), 44100,
              materials.voices_in_a_room(44100, SECONDS, work))
        write(os.path.join(folder, "dialogue.wav"), 44100, materials.dialogue(44100, SECONDS, work))
        dry = {"bass": materials.bass_midi(midi), "drums": materials.drums_midi(midi),
               "guitar": materials.acoustic_midi(midi, 24, 76, 11),
               "piano": materials.acoustic_midi(midi, 0, 88, 13)}
        for name, song in dry.items():
            rendered = render(song, soundfont, 44100, work, name, dry=True)
            write(os.path.join(folder, name + ".wav"), 44100, excerpt(rendered, 44100, 0.0))
    for length in (45000, 47104, 5000):
        write(os.path.join(folder, f"end_tone_{length}.wav"), 44100, materials.tone(44100, length))
    write(os.path.join(folder, "chords.wav"), 44100, chords(44100))
    write(os.path.join(folder, "applause.wav"), 44100, applause(44100))
    write(os.path.join(folder, "castanets.wav"), 44100, castanets(44100))


if __name__ == "__main__":
    main()
