#!/usr/bin/env python3
"""Writes the synthetic part of the benchmark corpus as raw 32-bit float stereo at 44.1 kHz.

The benchmark converts each file to 16-bit and to 24-bit PCM with dither, so both versions
carry the full resolution of their depth.

  chords      square and sawtooth chords, naive (aliased) oscillators with short envelopes
  applause    many overlapping hand claps: decaying bursts of band-passed noise
  castanets   rolls of short damped clicks over a faint room noise

usage: make_synthetic.py <output folder>
"""
import array
import math
import random
import sys

RATE = 44100


def write_f32(path, left, right):
    out = array.array("f", bytes(8 * len(left)))
    out[0::2] = array.array("f", left)
    out[1::2] = array.array("f", right)
    with open(path, "wb") as f:
        out.tofile(f)


def chords(seconds=30):
    rng = random.Random(11)
    n = RATE * seconds
    left = [0.0] * n
    right = [0.0] * n
    roots = [110.0, 146.83, 130.81, 164.81, 98.0, 123.47]
    step = RATE * 5 // 4
    for start in range(0, n, step):
        root = rng.choice(roots)
        notes = [root, root * 1.26, root * 1.498, root * 2.0]
        length = min(step, n - start)
        for k, freq in enumerate(notes):
            saw = k % 2 == 1
            pan = 0.25 + 0.5 * (k / 3)
            gain = 0.16
            phase = rng.random()
            inc = freq / RATE
            attack = RATE // 100
            for i in range(length):
                env = min(1.0, i / attack) * (1.0 - 0.6 * i / length)
                if saw:
                    v = 2.0 * phase - 1.0
                else:
                    v = 1.0 if phase < 0.5 else -1.0
                v *= gain * env
                left[start + i] += v * (1.0 - pan)
                right[start + i] += v * pan
                phase += inc
                if phase >= 1.0:
                    phase -= 1.0
    return left, right


def resonator(freq, decay_samples):
    """Coefficients of a two-pole resonator."""
    r = math.exp(-1.0 / decay_samples)
    return 2.0 * r * math.cos(2.0 * math.pi * freq / RATE), -r * r


def applause(seconds=30):
    rng = random.Random(12)
    n = RATE * seconds
    left = [0.0] * n
    right = [0.0] * n
    claps = int(seconds * 45)
    for _ in range(claps):
        start = rng.randrange(n)
        length = min(rng.randint(700, 2500), n - start)
        a1, a2 = resonator(rng.uniform(800.0, 2500.0), rng.uniform(150.0, 500.0))
        amp = rng.uniform(0.02, 0.12)
        pan = rng.random()
        y1 = y2 = 0.0
        decay = math.exp(-1.0 / rng.uniform(120.0, 400.0))
        env = amp
        for i in range(length):
            y = rng.gauss(0.0, 1.0) * env + a1 * y1 + a2 * y2
            y2, y1 = y1, y
            env *= decay
            left[start + i] += y * (1.0 - pan) * 0.15
            right[start + i] += y * pan * 0.15
    return left, right


def castanets(seconds=30):
    rng = random.Random(13)
    n = RATE * seconds
    floor = 10 ** (-72 / 20)
    left = [rng.gauss(0.0, floor) for _ in range(n)]
    right = [rng.gauss(0.0, floor) for _ in range(n)]
    t = RATE // 4
    while t < n - RATE // 10:
        roll = rng.choice([1, 1, 2, 3, 5])
        for _ in range(roll):
            modes = [resonator(rng.uniform(1800.0, 2400.0), 90.0),
                     resonator(rng.uniform(3200.0, 4200.0), 50.0)]
            amp = rng.uniform(0.3, 0.8)
            pan = rng.uniform(0.3, 0.7)
            for a1, a2 in modes:
                y1, y2 = amp, 0.0
                for i in range(min(700, n - t)):
                    y = a1 * y1 + a2 * y2
                    y2, y1 = y1, y
                    left[t + i] += y * (1.0 - pan) * 0.5
                    right[t + i] += y * pan * 0.5
            t += rng.randint(RATE // 30, RATE // 15)
        t += rng.randint(RATE // 8, RATE // 2)
    return left, right


def main():
    folder = sys.argv[1]
    for name, make in (("chords", chords), ("applause", applause), ("castanets", castanets)):
        left, right = make()
        write_f32(f"{folder}/{name}.f32", left, right)


if __name__ == "__main__":
    main()
