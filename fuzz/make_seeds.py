#!/usr/bin/env python3
"""Writes the committed seed corpora of the fuzz targets (run from the repository root)."""
import os
import random
import struct

ROOT = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.path.join(ROOT, "..", "samples", "vehicle")
SEP = b"\n%%%%\n"


def write(target, name, data):
    folder = os.path.join(ROOT, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def read(*parts):
    with open(os.path.join(SAMPLE, *parts), "rb") as f:
        return f.read()


def notch_seeds():
    names = ["PowerParams.txt", "BrakeParams.txt", "PowerCurrent.csv", "PowerNoLoadCurrent.csv",
             "BrakeMaxCurrent.csv", "BrakeNoLoadCurrent.csv"]
    files = [read("plugin", "Notch.txt")] + [read("plugin", "notch", n) for n in names]
    write("notch_files", "sample", SEP.join(files))
    small = [
        b"\xef\xbb\xbf[Power]\r\nParams = notch\\PowerParams.txt\r\nCurrent=notch/PowerCurrent.csv\r\n"
        b"NoLoadCurrent=notch/PowerNoLoadCurrent.csv\r\n[brake]\r\nparams=notch\\BrakeParams.txt\r\n"
        b"MaxCurrent=notch\\BrakeMaxCurrent.csv\r\nNoLoadCurrent=notch\\BrakeNoLoadCurrent.csv\r\n",
        b"RequiredNotch_Up,1,2,3\nJerkRegulation_Down,1e3\n",
        b"RequiredNotch_Up,1,2,3,4,5,6,7,8,45\nCurrentLimitingValue_Empty,250000\n"
        b"CurrentLimitingValue_Full,-1e-45\nJerkRegulation_Down,x\n",
        b"v,a,b,c\n0,1,2,3\n10,,5\n10,7,8,9 ; comment\n",
        b"v,a\n1e39,1\n",
        b"v,a,b,c,d,e,f,g,h\n0,1,2,3,4,5,6,7,8\n50,9,9,9,9,9,9,9,9\n",
        b"v,1,2,3,4,5,6,7,8\n0,0,0,0,0,0,0,0,3\n \n",
    ]
    write("notch_files", "small", SEP.join(small))
    write("notch_files", "no-notch-file", SEP + SEP.join(small[1:]))


def needle_seeds():
    names = ["PressureL.csv", "PressureR.csv", "Speed.csv", "Current.csv", "Voltage.csv"]
    write("needle_tables", "sample", SEP.join(read("NeedleTable", n) for n in names))
    write("needle_tables", "small", SEP.join([b"x,y\n0,0\n1000,270\n", b"x,y\n5,5\n", b"",
                                               b"x,y\n0,0\n0,10\n1,1e38\n", b"x,y\n-1,-2147483648\n"]))


def chain_seeds():
    listing = b"a.so\nsub/b.so\ngarbage.so\nempty.so\n\nmissing.so\nsub\r\nsub\\b.so\n"
    for mode in (0, 1, 2, 4, 8 | 16 | 4):
        write("chain_list", "mode%d" % mode, bytes([mode]) + listing)


def wav(fmt_tag, channels, rate, bits, frames, extensible=False, data=None):
    block = channels * bits // 8
    if data is None:
        data = bytes((i * 37) & 0xFF for i in range(frames * block))
    if extensible:
        sub = struct.pack("<H", fmt_tag) + b"\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71"
        fmt = struct.pack("<HHIIHHHHI", 0xFFFE, channels, rate, rate * block, block, bits, 22, bits, 0) + sub
    else:
        fmt = struct.pack("<HHIIHH", fmt_tag, channels, rate, rate * block, block, bits)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def sound_seeds():
    prefix = bytes([1, 2, 3, 0]) + struct.pack("<I", 100) + struct.pack("<I", 0x3f800000)
    write("sound_decode", "pcm16-mono", prefix + wav(1, 1, 44100, 16, 300))
    write("sound_decode", "pcm8-stereo", bytes([0, 5, 5, 0]) + struct.pack("<II", 7, 0) + wav(1, 2, 8000, 8, 200))
    write("sound_decode", "pcm24", bytes([9, 40, 1, 0]) + struct.pack("<II", 0xFFFFFFFF, 1) + wav(1, 1, 22050, 24, 100))
    write("sound_decode", "float32", prefix + wav(3, 1, 48000, 32, 64))
    write("sound_decode", "extensible", prefix + wav(1, 3, 48000, 16, 50, extensible=True))
    write("sound_decode", "truncated", prefix + wav(1, 1, 44100, 16, 300)[:90])
    write("sound_decode", "zero-rate", prefix + wav(1, 1, 0, 16, 10))
    write("sound_decode", "rate-max", prefix + wav(1, 1, 0x7FFFFFFF, 16, 10))
    write("sound_decode", "channels-255", prefix + wav(1, 255, 22050, 16, 2))
    write("sound_decode", "empty-data", prefix + wav(1, 1, 22050, 16, 0))
    write("sound_decode", "odd-length", prefix + wav(1, 1, 22050, 16, 0, data=bytes(101)))
    write("sound_decode", "small-budget", bytes([1, 2, 3, 1]) + struct.pack("<II", 0, 0x3f800000) +
          wav(1, 2, 44100, 16, 400))


class Encoder:
    """Lays out values in the order a FuzzedDataProvider consumes them (integers from the end)."""

    def __init__(self):
        self.tail = []  # consumed from the end, first consumption last in the file

    def byte(self, value):
        self.tail.append(value & 0xFF)

    def choice(self, value, count):
        self.byte(value % count if count <= 256 else value)

    def u16(self, value):
        self.byte(value >> 8)
        self.byte(value)

    def u32(self, value):
        for shift in (24, 16, 8, 0):
            self.byte(value >> shift)

    def any_int(self, value):
        # Beyond the special values: raw 32 bits.
        self.byte(255)
        self.u32(value & 0xFFFFFFFF)

    def data(self):
        return bytes(reversed(self.tail))


def corvane_seeds():
    def sequence(vehicle, steps):
        e = Encoder()
        e.choice(vehicle, 4)
        for op, args in steps:
            e.choice(op, 21)
            for kind, value in args:
                if kind == "b":
                    e.byte(value)
                elif kind == "u16":
                    e.u16(value)
                elif kind == "i":
                    e.any_int(value)
        return e.data()

    spec8 = (3, [("b", 1), ("b", 9), ("i", 0), ("i", 0), ("i", 0), ("i", 10)])
    run = (20, [("b", 63)])
    drive = [(0, []), spec8, (4, [("i", 0)]), (13, []), (8, [("b", 1), ("b", 2)]), (6, [("b", 1), ("b", 11)]),
             run, (6, [("b", 1), ("b", 8)]), (7, [("b", 1), ("b", 3)]), run, (7, [("b", 0), ("b", 1)]), run,
             (9, [("b", 1), ("b", 9)]), run, (10, [("b", 1), ("b", 9)]), (1, []), (5, [("b", 0), ("u16", 0)])]
    for vehicle in range(4):
        write("corvane_calls", "drive%d" % vehicle, sequence(vehicle, drive))
    hostile = [(5, [("b", 1), ("u16", 0xFF)]), (1, []), (1, []), (0, []), (0, []), spec8, (2, []),
               (5, [("b", 4), ("u16", 0x1FF)]), (1, []), (5, [("b", 2), ("u16", 0)])]
    write("corvane_calls", "hostile-order", sequence(3, hostile))
    rng = random.Random(14)
    for n in range(4):
        write("corvane_calls", "random%d" % n, bytes(rng.randrange(256) for _ in range(64 << n)))


def sentrel_seeds():
    rng = random.Random(6)
    for n in range(4):
        write("sentrel_calls", "random%d" % n, bytes(rng.randrange(256) for _ in range(32 << n)))


def pe_image(machine, exports):
    """A minimal PE file: one section at RVA 0x1000 (file offset 0x400) with the export directory."""
    plus = machine == 0x8664
    image = bytearray(0x400)
    image[0:2] = b"MZ"
    struct.pack_into("<I", image, 0x3C, 0x40)
    image[0x40:0x44] = b"PE\0\0"
    coff, optional_size = 0x44, 240 if plus else 224
    optional = coff + 20
    struct.pack_into("<HH", image, coff, machine, 1)
    struct.pack_into("<H", image, coff + 16, optional_size)
    struct.pack_into("<H", image, optional, 0x20B if plus else 0x10B)
    struct.pack_into("<II", image, optional + (108 if plus else 92), 16, 0x1000 if exports else 0)
    struct.pack_into("<8sIIII", image, optional + optional_size, b".edata", 0x200, 0x1000, 0x200, 0x400)
    data = bytearray(0x200)
    struct.pack_into("<II", data, 24, len(exports), 0x1000 + 40)
    text = 40 + 4 * len(exports)
    for i, name in enumerate(exports):
        struct.pack_into("<I", data, 40 + 4 * i, 0x1000 + text)
        data[text:text + len(name) + 1] = name + b"\0"
        text += len(name) + 1
    return bytes(image + data)


def chained_library_seeds():
    write("chained_library", "x86-plugin", pe_image(0x14C, [b"Elapse", b"Load", b"SetPower"]))
    write("chained_library", "x64-helper", pe_image(0x8664, [b"GetFileVersionInfoW", b"VerQueryValueW"]))
    write("chained_library", "x86-no-exports", pe_image(0x14C, []))


notch_seeds()
needle_seeds()
chain_seeds()
sound_seeds()
chained_library_seeds()
corvane_seeds()
sentrel_seeds()
