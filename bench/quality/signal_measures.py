"""Measures of a decoded file that the hearing-model scores do not see: the deep bass and the end
of the track. Both work on the decoded signal aligned to its source (see aligned())."""
import numpy as np
from scipy.signal import butter, sosfiltfilt

import nmr_score

EDGE = nmr_score.EDGE
TAIL = 1024
BASS_HZ = (20.0, 80.0)


def aligned(source, decoded):
    """Shifts the decoded signal by its lag against the source and gives it the source's length:
    samples the decoded file lacks are zeros (missing sound is an error of the full signal).
    Returns the lag, the aligned signal and the span [first, last) the two files share."""
    lag = nmr_score.best_lag(source, decoded)
    if lag >= 0:
        test = decoded[lag:]
    else:
        test = np.concatenate([np.zeros((-lag, decoded.shape[1])), decoded])
    last = min(len(test), len(source))
    out = np.zeros_like(source)
    out[:last] = test[:last]
    return lag, out, (max(0, -lag), last)


def edge(length):
    """Samples left out at both ends of the body: the scorer's edge, less on short tracks."""
    return min(EDGE, length // 8)


def level_db(x):
    return float(10.0 * np.log10(np.mean(x ** 2) + 1e-30))


def snr_db(source, test):
    error = np.sum((source - test) ** 2)
    return float(10.0 * np.log10((np.sum(source ** 2) + 1e-30) / max(error, 1e-30)))


def bass(source, test, rate):
    """SNR of the 20-80 Hz band over the body, and that band's level against the whole signal's
    (dB): a band far below the rest says little."""
    sos = butter(4, BASS_HZ, btype="bandpass", fs=rate, output="sos")
    low_s = sosfiltfilt(sos, source, axis=0)
    low_t = sosfiltfilt(sos, test, axis=0)
    e = edge(len(source))
    body = slice(e, len(source) - e)
    return {"bass_snr": snr_db(low_s[body], low_t[body]),
            "bass_level": level_db(low_s[body]) - level_db(source[body])}


def track_end(source, test):
    """SNR of the last 1,024 samples and of the body before them (dB), and the tail's level
    against the body's: a tail that fades into silence has no meaningful SNR."""
    e = edge(len(source))
    body = slice(e, len(source) - max(e, TAIL))
    tail = slice(len(source) - TAIL, len(source))
    return {"end_snr": snr_db(source[tail], test[tail]),
            "body_snr": snr_db(source[body], test[body]),
            "end_level": level_db(source[tail]) - level_db(source[body])}
