#!/usr/bin/env python3
"""Checks the renders of ardour-render.sh: finite, processed, harmonics, and equal after a reload.

Reads mono 32-bit float WAV (what Ardour writes for a float session) with the standard library only.
Prints one "FAIL: reason" line per failed check, and "OK" lines with the measurements."""

import argparse
import math
import struct
import sys


def read_float_wav(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[0:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(f"{path}: not a RIFF/WAVE file")
    fmt = None
    samples = None
    pos = 12
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if cid == b"fmt ":
            tag, channels, rate, _, _, bits = struct.unpack_from("<HHIIHH", body)
            if tag == 0xFFFE:  # extensible: the real format is the sub-format GUID's first word
                tag = struct.unpack_from("<H", body, 24)[0]
            fmt = (tag, channels, rate, bits)
        elif cid == b"data":
            samples = body
        pos += 8 + size + (size & 1)
    if fmt is None or samples is None:
        raise ValueError(f"{path}: no fmt or data chunk")
    tag, channels, rate, bits = fmt
    if tag != 3 or bits != 32 or channels != 1:
        raise ValueError(f"{path}: expected mono 32-bit float, got tag {tag}, {channels} ch, {bits} bit")
    count = len(samples) // 4
    return list(struct.unpack(f"<{count}f", samples[:count * 4])), rate


def tone_amplitude(x, start, n, freq, rate):
    """Amplitude of one sinusoid by Goertzel over a Hann window (window gain undone)."""
    w = 2.0 * math.pi * freq / rate
    coeff = 2.0 * math.cos(w)
    s1 = s2 = 0.0
    two_pi_n = 2.0 * math.pi / n
    for i in range(n):
        win = 0.5 - 0.5 * math.cos(two_pi_n * i)
        s0 = x[start + i] * win + coeff * s1 - s2
        s2, s1 = s1, s0
    power = s1 * s1 + s2 * s2 - coeff * s1 * s2
    return 2.0 * math.sqrt(max(power, 0.0)) / (0.5 * n)


def db(ratio):
    return 20.0 * math.log10(ratio) if ratio > 0.0 else -math.inf


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--first", nargs="+", required=True, help="first render, one file per channel")
    ap.add_argument("--second", nargs="+", required=True, help="render after the reload, same order")
    ap.add_argument("--dry", nargs="+", required=True, help="the unprocessed sine, same order")
    ap.add_argument("--freq", type=float, required=True)
    ap.add_argument("--min-h2", type=float, default=-90.0, help="dB relative to the fundamental")
    ap.add_argument("--min-h3", type=float, default=-90.0, help="dB relative to the fundamental")
    ap.add_argument("--skip-harmonics", action="store_true")
    ap.add_argument("--tolerance", type=float, default=1e-6)
    ap.add_argument("--min-level", type=float, default=-60.0, help="fundamental, dBFS")
    ap.add_argument("--min-change", type=float, default=1e-4, help="largest |render - dry| required")
    args = ap.parse_args()

    failures = []
    if not (len(args.first) == len(args.second) == len(args.dry)):
        failures.append(f"channel counts differ: {len(args.first)} / {len(args.second)} / {len(args.dry)}")
    for ch, (p1, p2, pd) in enumerate(zip(args.first, args.second, args.dry)):
        a, rate = read_float_wav(p1)
        b, rate2 = read_float_wav(p2)
        d, _ = read_float_wav(pd)
        tag = f"ch{ch}"
        if rate != rate2:
            failures.append(f"{tag}: sample rates differ ({rate} / {rate2})")
        bad = sum(1 for v in a if not math.isfinite(v)) + sum(1 for v in b if not math.isfinite(v))
        if bad:
            failures.append(f"{tag}: {bad} NaN/Inf samples")
            continue
        if len(a) != len(b):
            failures.append(f"{tag}: render lengths differ ({len(a)} / {len(b)})")
        diff = max((abs(x - y) for x, y in zip(a, b)), default=math.inf)
        at = next((i for i, (x, y) in enumerate(zip(a, b)) if abs(x - y) == diff), -1)
        if diff > args.tolerance:
            failures.append(f"{tag}: render after reload differs by {diff:.3g} at sample {at} (tolerance {args.tolerance:g})")
        change = max((abs(x - y) for x, y in zip(a, d)), default=0.0)
        if change < args.min_change:
            failures.append(f"{tag}: output equals the dry sine (largest change {change:.3g}); plug-in not processing")

        # Analyse one second after half a second of settling; integer cycles of the tone.
        start, n = rate // 2, rate
        if len(a) < start + n:
            failures.append(f"{tag}: render too short ({len(a)} samples) for the analysis")
            continue
        f1 = tone_amplitude(a, start, n, args.freq, rate)
        h2 = tone_amplitude(a, start, n, 2 * args.freq, rate)
        h3 = tone_amplitude(a, start, n, 3 * args.freq, rate)
        line = (f"{tag}: fundamental {db(f1):.1f} dBFS, H2 {db(h2 / f1) if f1 else -math.inf:.1f} dB, "
                f"H3 {db(h3 / f1) if f1 else -math.inf:.1f} dB, reload difference {diff:.3g}, "
                f"change from dry {change:.3g}")
        print("  " + line)
        if db(f1) < args.min_level:
            failures.append(f"{tag}: fundamental {db(f1):.1f} dBFS below {args.min_level} dBFS")
            continue
        if not args.skip_harmonics:
            if db(h2 / f1) < args.min_h2:
                failures.append(f"{tag}: H2 {db(h2 / f1):.1f} dB below {args.min_h2} dB")
            if db(h3 / f1) < args.min_h3:
                failures.append(f"{tag}: H3 {db(h3 / f1):.1f} dB below {args.min_h3} dB")
    for f in failures:
        print("FAIL: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (OSError, ValueError, struct.error) as e:
        print(f"FAIL: {e}")
        sys.exit(1)
