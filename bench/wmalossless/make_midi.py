#!/usr/bin/env python3
"""Writes standard MIDI files for the benchmark corpus.

Each song has a tempo, a chord progression, a melody, a bass line and, for most, drums, each
on its own instrument, so that the rendered audio resembles ordinary music. A slow song is
played softly on sustained instruments with the pedal down, so that its notes ring out.
The tuning set is what the encoder's choices were tuned on; the held-out set has other
instruments, tempos, keys and seeds, to check that those choices carry over.

usage: make_midi.py <output folder> [tuning|heldout]      (default: tuning)
"""
import random
import struct
import sys

TICKS = 480


def var_len(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def track(events):
    """events: (tick, bytes) pairs in any order; returns an MTrk chunk."""
    data = b""
    now = 0
    for tick, message in sorted(events, key=lambda e: e[0]):
        data += var_len(tick - now) + message
        now = tick
    data += var_len(0) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + data


def note(events, channel, start, length, pitch, velocity):
    events.append((start, bytes([0x90 | channel, pitch, velocity])))
    events.append((start + length, bytes([0x80 | channel, pitch, 0])))


SONGS = [
    # name, tempo (bpm), bars, programs (melody, chords, bass), drums, key, seed
    ("band", 128, 16, (30, 29, 33), True, 57, 3),
    ("harpsichord", 100, 13, (6, 6, 6), False, 62, 4),
    ("pop", 112, 15, (0, 89, 38), True, 60, 1),
]
# Slow and soft, with the pedal down: name, tempo, bars, programs, key, seed.
SLOW_SONGS = [
    ("nocturne", 66, 9, (0, 0, 0), 63, 5),
]
HELDOUT_SONGS = [
    ("band2", 140, 18, (27, 17, 34), True, 52, 8),
    ("harpsichord2", 88, 12, (6, 6, 6), False, 55, 9),
    ("pop2", 96, 13, (4, 50, 39), True, 65, 10),
]
HELDOUT_SLOW_SONGS = [
    ("strings", 58, 8, (40, 48, 42), 58, 11),
]

MAJOR = [0, 2, 4, 5, 7, 9, 11]
PROGRESSIONS = [[0, 5, 3, 4], [0, 3, 4, 4], [5, 3, 0, 4], [0, 4, 5, 3]]


def opening(tempo, programs, reverb):
    """The tempo track's events, and the song's first: each channel's program and reverb."""
    meta = [(0, b"\xff\x51\x03" + struct.pack(">I", 60000000 // tempo)[1:])]
    events = []
    for channel, program in enumerate(programs):
        events.append((0, bytes([0xC0 | channel, program])))
        events.append((0, bytes([0xB0 | channel, 91, reverb])))
    return meta, events


def triad(progression, b, key):
    """The root and the three notes of bar b's chord."""
    degree = progression[b % len(progression)]
    root = key + MAJOR[degree]
    chord = [root + MAJOR[(degree + i) % 7] - MAJOR[degree] + (12 if degree + i >= 7 else 0)
             for i in (0, 2, 4)]
    return root, chord


def song(name, tempo, bars, programs, drums, key, seed):
    rng = random.Random(seed)
    meta, events = opening(tempo, programs, 50)  # some reverb
    progression = rng.choice(PROGRESSIONS)
    bar = 4 * TICKS
    for b in range(bars):
        root, chord = triad(progression, b, key)
        start = b * bar
        for pitch in chord:  # sustained chord
            note(events, 1, start, bar - 10, pitch, 60)
        for beat in range(4):  # bass on every beat
            note(events, 2, start + beat * TICKS, TICKS - 20, root - 24 + (7 if beat == 2 else 0), 90)
        t = start
        while t < start + bar:  # melody from the scale, mostly stepwise
            length = rng.choice([TICKS // 2, TICKS // 2, TICKS, TICKS * 3 // 2])
            length = min(length, start + bar - t)
            pitch = key + 12 + rng.choice(MAJOR) + rng.choice([0, 0, 12])
            if rng.random() > 0.15:
                note(events, 0, t, length - 10, pitch, rng.randint(70, 110))
            t += length
        if drums:
            for eighth in range(8):
                t = start + eighth * TICKS // 2
                note(events, 9, t, 60, 42, 70)  # closed hi-hat
                if eighth in (0, 4):
                    note(events, 9, t, 60, 36, 110)  # bass drum
                if eighth in (2, 6):
                    note(events, 9, t, 60, 38, 100)  # snare
    # a final chord that rings out
    end = bars * bar
    for pitch in (key, key + 4, key + 7, key + 12):
        note(events, 1, end, 2 * bar, pitch, 70)
    header = b"MThd" + struct.pack(">IHHH", 6, 1, 2, TICKS)
    return header + track(meta) + track(events)


def slow_song(tempo, bars, programs, key, seed):
    """Soft arpeggios under a sparse melody, the sustain pedal held through each bar, and a
    last chord that rings for four bars."""
    rng = random.Random(seed)
    meta, events = opening(tempo, programs, 100)  # a large hall
    progression = rng.choice(PROGRESSIONS)
    bar = 4 * TICKS
    for b in range(bars):
        root, chord = triad(progression, b, key)
        start = b * bar
        for channel in range(3):
            events.append((start, bytes([0xB0 | channel, 64, 127])))  # pedal down
            events.append((start + bar - 20, bytes([0xB0 | channel, 64, 0])))
        for step in range(8):  # arpeggio in eighths
            pitch = chord[step % 3] + (12 if step >= 4 else 0) - 12
            note(events, 1, start + step * TICKS // 2, TICKS, pitch, rng.randint(30, 50))
        note(events, 2, start, bar - 40, root - 24, 45)
        t = start
        while t < start + bar:
            length = min(rng.choice([TICKS, 2 * TICKS, 3 * TICKS]), start + bar - t)
            if rng.random() > 0.3:
                note(events, 0, t, length - 10, key + 12 + rng.choice(MAJOR), rng.randint(40, 65))
            t += length
    end = bars * bar
    for pitch in (key - 12, key, key + 4, key + 7):
        note(events, 1, end, 4 * bar, pitch, 45)
    header = b"MThd" + struct.pack(">IHHH", 6, 1, 2, TICKS)
    return header + track(meta) + track(events)


def main():
    folder = sys.argv[1]
    held_out = len(sys.argv) > 2 and sys.argv[2] == "heldout"
    for name, tempo, bars, programs, drums, key, seed in HELDOUT_SONGS if held_out else SONGS:
        with open(f"{folder}/{name}.mid", "wb") as f:
            f.write(song(name, tempo, bars, programs, drums, key, seed))
    for name, tempo, bars, programs, key, seed in HELDOUT_SLOW_SONGS if held_out else SLOW_SONGS:
        with open(f"{folder}/{name}.mid", "wb") as f:
            f.write(slow_song(tempo, bars, programs, key, seed))


if __name__ == "__main__":
    main()
