"""The quality corpus's second set of materials: voices, deep bass, drums, dry acoustic
instruments, and short probes for the ends of tracks (see make_corpus.py)."""
import os
import subprocess

import numpy as np
from scipy.io import wavfile

# (espeak-ng voice, words per minute, pitch 0-99, pan 0 left .. 1 right, sentence)
ROOM_VOICES = [
    ("en-us+m3", 150, 35, 0.35, "Turn left at the old mill, then follow the river for two miles."),
    ("de+f2", 155, 60, 0.65, "Der Zug nach Hamburg faehrt heute zehn Minuten spaeter ab."),
    ("fr+m1", 160, 40, 0.45, "Nous partirons demain matin, avant que la pluie ne commence."),
    ("es+f4", 170, 70, 0.55, "La biblioteca cierra a las ocho, pero el cafe sigue abierto."),
    ("it+m7", 150, 25, 0.40, "Il pescatore ha portato a casa tre pesci e una vecchia scarpa."),
    ("en-gb+f5", 165, 80, 0.60, "Shall we meet at the station, or would you rather walk?"),
    ("nl+m2", 155, 45, 0.50, "Het regent al de hele week, maar morgen schijnt de zon."),
    ("pt+f1", 160, 65, 0.45, "O gato dormiu a tarde inteira em cima do piano velho."),
]
# A quick exchange between a deep male voice and a high female one, dry and close.
DIALOGUE = [
    ("en-us+m1", 175, 15, "Did you hear that? Something just fell in the kitchen."),
    ("en-us+f3", 190, 85, "It was only the cat. She knocked the spoons off the table again."),
    ("en-us+m1", 175, 15, "Six silver spoons, and every single one of them is on the floor."),
    ("en-us+f3", 190, 85, "Then pick them up, please, and put the kettle on while you are there."),
    ("en-us+m1", 175, 15, "Fine. Tea or coffee? We have both, but the milk is almost gone."),
    ("en-us+f3", 190, 85, "Tea. Strong, no sugar, and quickly: the show starts in five minutes."),
]


def speak(voice, speed, pitch, text, rate, work):
    """One sentence from espeak-ng, brought from its 22,050 Hz to the corpus rate with sox."""
    raw = os.path.join(work, "say.wav")
    out = os.path.join(work, "said.wav")
    subprocess.run(["espeak-ng", "-v", voice, "-s", str(speed), "-p", str(pitch), "-w", raw,
                    text], check=True)
    subprocess.run(["sox", raw, "-r", str(rate), out, "rate", "-v"], check=True)
    return wavfile.read(out)[1].astype(np.float64) / 32768.0


def voices_in_a_room(rate, seconds, work):
    """Eight speakers in eight languages, each panned a little, in a small room (sox reverb)."""
    gap = np.zeros((int(0.35 * rate), 2))
    parts = []
    for voice, speed, pitch, pan, text in ROOM_VOICES:
        said = speak(voice, speed, pitch, text, rate, work)
        parts += [np.stack([said * (1 - pan), said * pan], axis=1), gap]
    dry = np.concatenate(parts)[: seconds * rate]
    dry_path = os.path.join(work, "room_dry.wav")
    wet_path = os.path.join(work, "room_wet.wav")
    wavfile.write(dry_path, rate, np.round(dry / np.abs(dry).max() * 0.5 * 32767).astype(np.int16))
    # reverberance 30%, HF damping 60%, room scale 25%, stereo depth 80%, pre-delay 8 ms
    subprocess.run(["sox", dry_path, wet_path, "reverb", "30", "60", "25", "80", "8"], check=True)
    return wavfile.read(wet_path)[1].astype(np.float64)[: seconds * rate] / 32768.0


def dialogue(rate, seconds, work):
    """Close, dry turns of a low and a high voice with short pauses, the same on both sides."""
    parts = []
    while sum(len(p) for p in parts) < seconds * rate:
        for voice, speed, pitch, text in DIALOGUE:
            parts += [speak(voice, speed, pitch, text, rate, work), np.zeros(int(0.2 * rate))]
    voice = np.concatenate(parts)[: seconds * rate]
    return np.stack([voice, voice], axis=1)


def bass_midi(midi):
    """Solo bass in the lowest octave and a half (MIDI 23-43, 31-98 Hz): a fingered electric
    bass, then a synth bass with long notes, 84 bpm, no other instrument."""
    ticks = midi.TICKS
    events = [(0, bytes([0xC0, 33])), (0, bytes([0xC1, 38]))]
    meta = [(0, b"\xff\x51\x03" + (60000000 // 84).to_bytes(3, "big"))]
    line = [28, 28, 31, 33, 26, 26, 29, 31, 24, 24, 28, 31, 23, 26, 30, 35]
    for step, pitch in enumerate(line * 2):  # eighths and quarters, the first half
        length = ticks if step % 4 == 3 else ticks // 2
        midi.note(events, 0, step * ticks * 3 // 4, length - 30, pitch, 100 - 10 * (step % 2))
    start = len(line) * 2 * ticks * 3 // 4
    for n, pitch in enumerate([24, 31, 28, 23, 26, 33, 29, 36, 40, 43, 38, 35]):
        midi.note(events, 1, start + n * ticks * 2, 2 * ticks - 40, pitch, 105)
    header = b"MThd" + (6).to_bytes(4, "big") + (1).to_bytes(2, "big") + (2).to_bytes(2, "big") \
        + ticks.to_bytes(2, "big")
    return header + midi.track(meta) + midi.track(events)


def drums_midi(midi):
    """A sparse drum loop at 92 bpm: kick, snare, closed and open hats, a tom fill every fourth
    bar, with silence between the hits."""
    ticks = midi.TICKS
    events = []
    meta = [(0, b"\xff\x51\x03" + (60000000 // 92).to_bytes(3, "big"))]
    eighth = ticks // 2
    for bar in range(12):
        start = bar * 4 * ticks
        for step in range(8):
            at = start + step * eighth
            if step in (0, 3, 5):
                midi.note(events, 9, at, 60, 36, 115)  # kick
            if step in (2, 6):
                midi.note(events, 9, at, 60, 38, 105)  # snare
            if step % 2 == 1 and step != 7:
                midi.note(events, 9, at, 60, 42, 70)  # closed hat
            if step == 7:
                midi.note(events, 9, at, 60, 46, 80)  # open hat
        if bar % 4 == 3:
            for n, tom in enumerate((50, 47, 45, 43)):
                midi.note(events, 9, start + 3 * ticks + n * ticks // 4, 60, tom, 100)
    header = b"MThd" + (6).to_bytes(4, "big") + (1).to_bytes(2, "big") + (2).to_bytes(2, "big") \
        + ticks.to_bytes(2, "big")
    return header + midi.track(meta) + midi.track(events)


def acoustic_midi(midi, program, tempo, seed):
    """A solo instrument playing alone: arpeggios over a moving bass with a few held chords,
    from the low register up (nylon guitar or grand piano)."""
    rng = np.random.default_rng(seed)
    ticks = midi.TICKS
    events = [(0, bytes([0xC0, program]))]
    meta = [(0, b"\xff\x51\x03" + (60000000 // tempo).to_bytes(3, "big"))]
    progression = [(40, [52, 56, 59, 64]), (45, [52, 57, 60, 64]), (38, [50, 54, 57, 62]),
                   (43, [50, 55, 59, 62])]
    for bar in range(16):
        bass, chord = progression[bar % len(progression)]
        start = bar * 4 * ticks
        midi.note(events, 0, start, 2 * ticks, bass, 95)
        midi.note(events, 0, start + 2 * ticks, 2 * ticks, bass + 7, 80)
        if bar % 4 == 3:  # a strummed chord held for the bar
            for n, pitch in enumerate(chord):
                midi.note(events, 0, start + n * 12, 4 * ticks - 40, pitch + 12, 90)
            continue
        for step in range(8):
            pitch = chord[(step * 3) % len(chord)] + 12 * int(rng.integers(0, 2))
            midi.note(events, 0, start + step * ticks // 2, ticks // 2 + 200, pitch,
                      int(rng.integers(65, 105)))
    header = b"MThd" + (6).to_bytes(4, "big") + (1).to_bytes(2, "big") + (2).to_bytes(2, "big") \
        + ticks.to_bytes(2, "big")
    return header + midi.track(meta) + midi.track(events)


def tone(rate, length):
    """A steady 440 Hz tone with two overtones and a softer partial gliding from 600 to 1,200 Hz,
    faded in over 10 ms and ending abruptly at `length` samples: whatever the encoder does to a
    track's last frames shows in its tail. The glide keeps the signal from repeating, so that
    the decoded file aligns at one lag only, even with a damaged end."""
    t = np.arange(length) / rate
    steady = 0.5 * np.sin(2 * np.pi * 440 * t) + 0.2 * np.sin(2 * np.pi * 880 * t + 1.0) \
        + 0.1 * np.sin(2 * np.pi * 1320 * t + 2.0)
    glide_seconds = length / rate
    # exponential glide: frequency 600 * 2 ** (t / glide_seconds)
    phase = 2 * np.pi * 600 * glide_seconds / np.log(2) * (2 ** (t / glide_seconds) - 1)
    wave = (steady + 0.3 * np.sin(phase)) * np.minimum(1.0, t / 0.01)
    return np.stack([wave, 0.9 * wave], axis=1)
