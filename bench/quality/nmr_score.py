#!/usr/bin/env python3
"""Noise-to-mask ratio of a decoded file against its source: how audible the coding noise is.

usage: nmr_score.py SOURCE.wav DECODED.wav [--bands]
Prints one JSON line: lag, lengths, nmr and rdf (2048-sample frames), nmr_short and rdf_short
(256-sample frames, the transients' measure), snr and bw. With --bands, also the mean
noise-to-mask ratio per band of the long frames.

The measure follows the basic FFT ear model of perceptual audio quality measurement:
  * the decoded signal is aligned to the source by cross-correlation;
  * per channel, Hann-windowed frames (half overlapping) give power spectra, scaled so that a
    full-scale sine peaks at 92 dB, then weighted by the outer and middle ear;
  * the noise of a bin is the squared difference of the two magnitude spectra;
  * bins are grouped into half-Bark bands from 80 Hz to 18 kHz; the mask of a band is the
    source's band energies spread over the neighbouring bands (27 dB per Bark towards lower
    frequencies, 24 + 230/f - 0.2 L dB per Bark towards higher ones), lowered by 3 dB below
    12 Bark and by 0.25 z dB above, plus the ear's internal noise;
  * nmr is 10 log10 of the mean noise-to-mask ratio over frames, bands and channels (frames
    quieter than -90 dBFS left out); rdf the share of frames whose worst band is more than
    1.5 dB above its mask;
  * the first and last 4096 samples are left out (encoder start and end).
"""
import json
import sys

import numpy as np
from scipy.io import wavfile
from scipy.signal import fftconvolve

EDGE = 4096
MAX_LAG = 20000
FULL_SCALE_DB = 92.0
LOW_HZ, HIGH_HZ, BAND_BARK = 80.0, 18000.0, 0.5
SILENT_RMS_DB = -90.0
RDF_LIMIT_DB = 1.5


def read_wav(path):
    rate, data = wavfile.read(path)
    if data.dtype == np.int16:
        data = data / 32768.0
    elif data.dtype == np.int32:
        data = data / 2147483648.0
    data = np.asarray(data, dtype=np.float64)
    return rate, data.reshape(len(data), -1)


def bark(hz):
    return 7.0 * np.arcsinh(hz / 650.0)


def best_lag(source, decoded):
    """Offset of the decoded signal against the source, from the mono mixes."""
    span = min(len(source), len(decoded), 30 * 44100)
    a = source[:span].mean(axis=1)
    b = decoded[:span + MAX_LAG].mean(axis=1)
    # correlation[k] pairs decoded[k - MAX_LAG + n] with source[n]
    padded = np.concatenate([np.zeros(MAX_LAG), b])
    correlation = fftconvolve(padded, a[::-1], mode="valid")[:2 * MAX_LAG + 1]
    return int(np.argmax(np.abs(correlation))) - MAX_LAG


class EarModel:
    """Band layout, ear weighting and masking for one frame length."""

    def __init__(self, frame, rate):
        self.frame = frame
        self.window = np.hanning(frame + 1)[:-1]
        hz = np.arange(frame // 2 + 1) * rate / frame
        z = bark(hz)
        first = bark(LOW_HZ)
        band_of = np.floor((z - first) / BAND_BARK).astype(int)
        count = int(np.ceil((bark(HIGH_HZ) - first) / BAND_BARK))
        inside = (hz >= LOW_HZ) & (hz < HIGH_HZ) & (band_of < count)
        used = np.unique(band_of[inside])
        self.members = np.zeros((len(used), len(hz)))
        for row, band in enumerate(used):
            self.members[row, inside & (band_of == band)] = 1.0
        self.z = first + (used + 0.5) * BAND_BARK
        self.hz = 650.0 * np.sinh(self.z / 7.0)
        khz = np.maximum(hz, 1.0) / 1000.0
        ear_db = (-2.184 * khz ** -0.8 + 6.5 * np.exp(-0.6 * (khz - 3.3) ** 2)
                  - 0.001 * khz ** 3.6)
        self.ear = 10.0 ** (ear_db / 10.0)
        internal = 10.0 ** (0.4 * 0.364 * khz ** -0.8)
        self.quiet = (self.members @ internal) / np.maximum(self.members.sum(axis=1), 1.0)
        self.offset = 10.0 ** (-np.where(self.z <= 12.0, 3.0, 0.25 * self.z) / 10.0)
        # a full-scale sine's peak bin at FULL_SCALE_DB
        self.scale = 10.0 ** (FULL_SCALE_DB / 10.0) / (frame / 4.0) ** 2
        dz = self.z[None, :] - self.z[:, None]  # [masker, target]
        self.dz_up = np.maximum(dz, 0.0)
        self.down = np.where(dz < 0.0, 10.0 ** (-27.0 * -dz / 10.0), 0.0)

    def spectra(self, frames):
        return np.abs(np.fft.rfft(frames * self.window, axis=1)) ** 2 * self.scale * self.ear

    def mask(self, energy):
        """energy: frames x bands of the source; returns the masking threshold."""
        level = 10.0 * np.log10(energy + 1e-12)
        slope = np.maximum(24.0 + 230.0 / self.hz[None, :] - 0.2 * level, 0.0)  # per masker
        spread = np.empty_like(energy)
        for start in range(0, len(energy), 512):
            e = energy[start:start + 512]
            s = slope[start:start + 512]
            up = 10.0 ** (-s[:, :, None] * self.dz_up[None, :, :] / 10.0)
            up = up * (self.dz_up[None, :, :] > 0) + np.eye(len(self.z))[None, :, :]
            spread[start:start + 512] = np.einsum("fm,fmt->ft", e, up) + e @ self.down
        return spread * self.offset[None, :] + self.quiet[None, :]

    def ratios(self, source, decoded):
        """Per channel: noise-to-mask ratios, frames x bands (loud enough frames only)."""
        hop = self.frame // 2
        count = (len(source) - self.frame) // hop
        out = []
        for ch in range(source.shape[1]):
            view_s = np.lib.stride_tricks.sliding_window_view(source[:, ch], self.frame)[::hop][:count]
            view_d = np.lib.stride_tricks.sliding_window_view(decoded[:, ch], self.frame)[::hop][:count]
            loud = np.sqrt((view_s ** 2).mean(axis=1)) > 10.0 ** (SILENT_RMS_DB / 20.0)
            ps = self.spectra(view_s[loud])
            pd = self.spectra(view_d[loud])
            noise = (np.sqrt(ps) - np.sqrt(pd)) ** 2
            energy = ps @ self.members.T
            out.append((noise @ self.members.T) / self.mask(energy))
        return out


def summarise(ratios):
    per_frame = np.concatenate([r.mean(axis=1) for r in ratios])
    worst = np.concatenate([r.max(axis=1) for r in ratios])
    nmr = 10.0 * np.log10(per_frame.mean())
    rdf = float((10.0 * np.log10(worst + 1e-12) > RDF_LIMIT_DB).mean())
    return nmr, rdf


def bandwidth(source, decoded, rate):
    """Highest frequency where the decoded long-term spectrum is within 10 dB of the source's."""
    frame = 8192
    window = np.hanning(frame)

    def long_term(x):
        frames = np.lib.stride_tricks.sliding_window_view(x.mean(axis=1), frame)[::frame // 2]
        return (np.abs(np.fft.rfft(frames * window, axis=1)) ** 2).mean(axis=0)

    hz = np.arange(frame // 2 + 1) * rate / frame
    ps, pd = long_term(source), long_term(decoded)
    smooth_s, smooth_d = ps.copy(), pd.copy()
    for i, f in enumerate(hz):
        if f > 50:
            near = (hz >= f / 2 ** (1 / 24)) & (hz <= f * 2 ** (1 / 24))
            smooth_s[i], smooth_d[i] = ps[near].mean(), pd[near].mean()
    kept = ((10 * np.log10(smooth_d / smooth_s + 1e-30) > -10)
            & (10 * np.log10(smooth_s / smooth_s.max() + 1e-30) > -100))
    return float(hz[np.nonzero(kept)[0].max()]) if kept.any() else 0.0


def score(source_path, decoded_path, bands=False):
    rate, source = read_wav(source_path)
    rate_d, decoded = read_wav(decoded_path)
    if rate != rate_d or source.shape[1] != decoded.shape[1]:
        raise SystemExit("nmr_score: the files differ in rate or channels")
    lag = best_lag(source, decoded)
    if lag >= 0:
        decoded = decoded[lag:]
    else:
        decoded = np.concatenate([np.zeros((-lag, decoded.shape[1])), decoded])
    length = min(len(source), len(decoded))
    s, d = source[EDGE:length - EDGE], decoded[EDGE:length - EDGE]
    result = {"lag": lag, "len_ref": len(source), "len_test": len(decoded) + max(lag, 0)}
    long_ratios = EarModel(2048, rate).ratios(s, d)
    result["nmr"], result["rdf"] = summarise(long_ratios)
    result["nmr_short"], result["rdf_short"] = summarise(EarModel(256, rate).ratios(s, d))
    result["snr"] = 10 * np.log10((s ** 2).sum() / max(((s - d) ** 2).sum(), 1e-30))
    result["bw"] = bandwidth(s, d, rate)
    if bands:
        model = EarModel(2048, rate)
        per_band = np.concatenate(long_ratios).mean(axis=0)
        result["bands"] = {f"{hz:.0f}": round(float(10 * np.log10(v)), 2)
                           for hz, v in zip(model.hz, per_band)}
    return result


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if len(args) != 2:
        raise SystemExit(__doc__)
    result = score(args[0], args[1], bands="--bands" in sys.argv)
    print(json.dumps({k: (round(float(v), 3) if isinstance(v, (float, np.floating)) else v)
                      for k, v in result.items()}))


if __name__ == "__main__":
    main()
