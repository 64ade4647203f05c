#!/usr/bin/env python3
"""Writes the seed corpora of the music loader and host shapes fuzzers.

    python3 fuzz/make_seeds.py

Small files of every layout the parsers know (the WAV reader's seeds are
written by tests/file/SeedFilesTest.cpp). Output is the same on every run.
"""
import math
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def vlq(value):
    groups = [value & 0x7F]
    value >>= 7
    while value:
        groups.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(groups))


def track(*events):
    """Events as (delta, bytes); the end of track is added."""
    body = b"".join(vlq(d) + bytes(e) for d, e in events) + b"\x00\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + body


def smf(fmt, division, *tracks):
    return b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), division) + b"".join(tracks)


def riff(form, *chunks):
    body = form + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def chunk(cid, body):
    return cid + struct.pack("<I", len(body)) + body + (b"\x00" if len(body) & 1 else b"")


def fmt_chunk(channels, rate, bits, extensible=False, valid=None):
    align = channels * bits // 8
    core = struct.pack("<HHIIHH", 0xFFFE if extensible else 1, channels, rate, rate * align, align, bits)
    if extensible:
        guid = struct.pack("<IHH", 1, 0, 0x10) + bytes([0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71])
        core += struct.pack("<HHI", 22, valid or bits, 0) + guid
    return chunk(b"fmt ", core)


def wav(channels, rate, bits, frames, extensible=False, extra=b""):
    width = bits // 8
    samples = bytearray()
    for i in range(frames):
        for c in range(channels):
            v = int(0.5 * math.sin(2 * math.pi * (i + c) / 16) * (2 ** (bits - 1) - 1))
            if bits == 8:
                v += 128
            samples += (v & (2 ** bits - 1)).to_bytes(width, "little")
    return riff(b"WAVE", fmt_chunk(channels, rate, bits, extensible), extra, chunk(b"data", bytes(samples)))


def music_seeds():
    notes = track((0, [0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20]), (0, [0xC0, 0x00]),
                  (0, [0x90, 60, 100]), (96, [0x80, 60, 64]), (0, [0x90, 64, 90]), (96, [64, 0]),
                  (0, [0xE0, 0x00, 0x40]), (10, [0xB0, 7, 100]), (0, [0xD0, 0x30]), (0, [0xA0, 64, 10]))
    conductor = track((0, [0xFF, 0x03, 0x04] + list(b"song")),
                      (0, [0xFF, 0x58, 0x04, 4, 2, 24, 8]), (48, [0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90]))
    sysex = track((0, [0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7]), (0, [0xF0, 0x02, 0x41, 0x10]),
                  (0, [0xF7, 0x02, 0x42, 0xF7]), (0, [0x99, 36, 100]), (24, [0x89, 36, 0]))
    seeds = {
        "format0.mid": smf(0, 96, notes),
        "format1.mid": smf(1, 480, conductor, notes, sysex),
        "timecode.mid": smf(0, ((0x100 - 25) << 8) | 40, notes),
        # Millennia at the slowest tempo: durations past what milliseconds hold.
        "long.mid": smf(0, 1, track((0, [0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF]), *[(0x0FFFFFFF, [0xC0, 0])] * 60)),
        "rmid.rmi": riff(b"RMID", chunk(b"data", smf(0, 96, notes))),
        "rmid_list.rmi": riff(b"RMID", chunk(b"LIST", b"INFOINAM\x03\x00\x00\x00ab\x00\x00"),
                              chunk(b"data", smf(1, 96, conductor, sysex))),
        "mono8.wav": wav(1, 8000, 8, 24),
        "stereo16.wav": wav(2, 22050, 16, 16),
        "mono24_ext.wav": wav(1, 48000, 24, 12, extensible=True),
        "stereo32_list.wav": wav(2, 44100, 32, 8, extra=chunk(b"LIST", b"INFO")),
    }
    return seeds


def host_shape_seeds():
    rng = random.Random(20240607)
    return {"shapes%02d" % i: bytes(rng.randrange(256) for _ in range(48 + 24 * i)) for i in range(12)}


def write(folder, seeds):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(path, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write("music_loader", music_seeds())
    write("host_shapes", host_shape_seeds())
