#!/usr/bin/env python3
"""Writes standard MIDI files for the benchmark corpus: a rock band, a harpsichord piece, a pop song.

Each song has a tempo, a chord progression, a melody, a bass line and, for most, drums, each
on its own instrument, so that the rendered audio resembles ordinary music.
usage: make_midi.py <output folder>
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

MAJOR = [0, 2, 4, 5, 7, 9, 11]
PROGRESSIONS = [[0, 5, 3, 4], [0, 3, 4, 4], [5, 3, 0, 4], [0, 4, 5, 3]]


def song(name, tempo, bars, programs, drums, key, seed):
    rng = random.Random(seed)
    meta = [(0, b"\xff\x51\x03" + struct.pack(">I", 60000000 // tempo)[1:])]
    events = []
    for channel, program in enumerate(programs):
        events.append((0, bytes([0xC0 | channel, program])))
        events.append((0, bytes([0xB0 | channel, 91, 50])))  # some reverb
    progression = rng.choice(PROGRESSIONS)
    bar = 4 * TICKS
    for b in range(bars):
        degree = progression[b % len(progression)]
        root = key + MAJOR[degree]
        chord = [root + MAJOR[(degree + i) % 7] - MAJOR[degree] + (12 if degree + i >= 7 else 0)
                 for i in (0, 2, 4)]
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


def main():
    folder = sys.argv[1]
    for name, tempo, bars, programs, drums, key, seed in SONGS:
        with open(f"{folder}/{name}.mid", "wb") as f:
            f.write(song(name, tempo, bars, programs, drums, key, seed))


if __name__ == "__main__":
    main()
