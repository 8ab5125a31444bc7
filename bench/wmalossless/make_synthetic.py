#!/usr/bin/env python3
"""Writes the synthetic part of the benchmark corpus as raw 32-bit float stereo at 44.1 kHz.

The benchmark converts each file to 16-bit and to 24-bit PCM with dither, so both versions
carry the full resolution of their depth.

  chords      square and sawtooth chords, naive (aliased) oscillators with short envelopes
  applause    many overlapping hand claps: decaying bursts of band-passed noise
  castanets   rolls of short damped clicks over a faint room noise
  bursts      decaying bursts of white noise, independent in each channel (the benchmark
              band-passes them to 0.8-12 kHz)
  clicks      sparse short transients over a noise floor a few steps of 16 bits high
  hiss        a minute of white noise, independent in each channel, for recordings' noise floors

The held-out set makes chords, bursts and clicks with other seeds and parameters, to check
that what was tuned on the first set carries over.

usage: make_synthetic.py <output folder> [tuning|heldout]      (default: tuning)
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


def chords(seconds=30, seed=11, roots=(110.0, 146.83, 130.81, 164.81, 98.0, 123.47),
           step=RATE * 5 // 4):
    rng = random.Random(seed)
    n = RATE * seconds
    left = [0.0] * n
    right = [0.0] * n
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


def bursts(seconds=30, seed=14, per_second=12, decay_ms=(20.0, 80.0)):
    """White noise under a train of overlapping decaying bursts; each channel has its own noise
    and its own level per burst, so the channels are unrelated."""
    rng = random.Random(seed)
    n = RATE * seconds
    envelope = [[0.0] * n, [0.0] * n]
    for _ in range(int(seconds * per_second)):
        start = rng.randrange(n)
        attack = rng.randint(RATE // 1000, RATE * 3 // 1000)
        decay = math.exp(-1000.0 / (rng.uniform(*decay_ms) * RATE))
        for env in envelope:
            level = rng.uniform(0.05, 0.5)
            for i in range(start, min(n, start + attack)):
                env[i] += level * (i - start) / attack
            i = start + attack
            while i < n and level > 1e-4:
                env[i] += level
                level *= decay
                i += 1
    return tuple([rng.gauss(0.0, 1.0) * e for e in env] for env in envelope)


def clicks(seconds=30, seed=15, floor_lsb=2.5, gap_s=(0.1, 1.0)):
    """Short transients, some a decaying noise burst and some a damped ring, far apart over a
    noise floor of `floor_lsb` steps of 16 bits (rms), independent in each channel."""
    rng = random.Random(seed)
    n = RATE * seconds
    floor = floor_lsb / 32768.0
    left = [rng.gauss(0.0, floor) for _ in range(n)]
    right = [rng.gauss(0.0, floor) for _ in range(n)]
    t = rng.randrange(RATE // 10)
    while t < n:
        amp = rng.uniform(0.02, 0.7)
        pan = rng.random()
        length = rng.randint(30, 400)
        decay = math.exp(-1.0 / rng.uniform(8.0, 60.0))
        if rng.random() < 0.5:
            wave = [rng.gauss(0.0, 1.0) for _ in range(length)]
        else:
            a1, a2 = resonator(rng.uniform(500.0, 6000.0), 40.0)
            y1, y2 = 1.0, 0.0
            wave = []
            for _ in range(length):
                y = a1 * y1 + a2 * y2
                y2, y1 = y1, y
                wave.append(y)
        for i in range(min(length, n - t)):
            v = wave[i] * amp
            amp *= decay
            left[t + i] += v * (1.0 - pan)
            right[t + i] += v * pan
        t += int(rng.uniform(*gap_s) * RATE)
    return left, right


def hiss(seconds=60, seed=16):
    rng = random.Random(seed)
    n = RATE * seconds
    return [rng.gauss(0.0, 0.25) for _ in range(n)], [rng.gauss(0.0, 0.25) for _ in range(n)]


def main():
    folder = sys.argv[1]
    held_out = len(sys.argv) > 2 and sys.argv[2] == "heldout"
    if held_out:
        makers = (
            ("chords", lambda: chords(seed=21, roots=(87.31, 116.54, 138.59, 103.83),
                                      step=RATE * 3 // 4)),
            ("bursts", lambda: bursts(seed=24, per_second=20, decay_ms=(10.0, 50.0))),
            ("clicks", lambda: clicks(seed=25, floor_lsb=1.5, gap_s=(0.05, 0.6))),
            ("hiss", lambda: hiss(seed=26)),
        )
    else:
        makers = (("chords", chords), ("applause", applause), ("castanets", castanets),
                  ("bursts", bursts), ("clicks", clicks), ("hiss", hiss))
    for name, make in makers:
        left, right = make()
        write_f32(f"{folder}/{name}.f32", left, right)


if __name__ == "__main__":
    main()
