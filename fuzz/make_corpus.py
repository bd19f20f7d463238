#!/usr/bin/env python3
"""Seed corpora for the fuzz targets, taken from the formula case files.

usage: make_corpus.py CASES_DIR OUT_DIR

Writes OUT_DIR/<target>/ for each target:
  fuzz_compile           every formula of the case files, with the fields of its @fields line
                         laid out as fuzz_compile reads them (flags, eight name slots, text, values)
  fuzz_code_bytes        the compiled blocks that the case files spell out ("{...}" formulas and
                         "==> bytes ..." expectations); run.sh adds the blocks that fuzz_compile
                         writes for every formula
  fuzz_num               every Num line of the case files as a fuzz_num program, and number
                         literals of the formulas put through every Num operation
  fuzz_hostile_callback  one short run of every fixed formula in both encodings, with a few answer
                         patterns

The case files are UTF-8 and the library reads code page 932, so every line is converted
before its escapes (\\xNN, \\", \\\\, \\n, \\t) are resolved, as the case runner does.
"""
import hashlib
import os
import re
import struct
import sys

KINDS = {"string": 0, "number": 1, "logical": 2, "time": 3, "date": 4}
DEFAULT_VALUES = [b"abc", b"12.5", b"1", b"123456", b"20240315", b"\x07", b"\x01", b"add"]
HOSTILE_FORMULAS = 44  # entries of kFormulas in fuzz_hostile_callback.cpp


def is_lead(byte):
    return 0x81 <= byte <= 0x9F or 0xE0 <= byte <= 0xFC


def unescape(data):
    out = bytearray()
    i = 0
    while i < len(data):
        c = data[i]
        if is_lead(c) and i + 1 < len(data):
            out += data[i:i + 2]
            i += 2
            continue
        if c != 0x5C or i + 1 == len(data):
            out.append(c)
            i += 1
            continue
        nxt = data[i + 1]
        if nxt == ord("x") and i + 3 < len(data):
            out.append(int(data[i + 2:i + 4], 16))
            i += 4
        elif nxt == ord("n"):
            out += b"\n"
            i += 2
        elif nxt == ord("t"):
            out += b"\t"
            i += 2
        else:
            out.append(nxt)
            i += 2
    return bytes(out)


def split_words(text):
    words, current, quoted, any_char = [], bytearray(), False, False
    for c in text:
        if c == ord('"'):
            quoted, any_char = not quoted, True
        elif c == ord(" ") and not quoted:
            if any_char:
                words.append(bytes(current))
            current, any_char = bytearray(), False
        else:
            current.append(c)
            any_char = True
    if any_char:
        words.append(bytes(current))
    return words


def slot_of(name):
    return sum(name) & 7


def write(directory, data):
    name = hashlib.sha1(data).hexdigest()
    with open(os.path.join(directory, name), "wb") as out:
        out.write(data)


# Raw formats in the order fuzz_compile's slot entries number them (bits 3-5).
RAW_FORMATS = [0x10, 0x90, 0x20, 0xA0, 0x40, 0xC0, 0x80, 0x00]
# Unusual types fuzz_compile answers for kind 7, by bits 3-5 (index 0 is a failing callback).
UNUSUAL_TYPES = [None, 0, 3, 31, 32, 64, 128, 255]


def field_slot_entry(kind_text, value):
    """The slot entry and raw value fuzz_compile uses for one @fields entry, or None."""
    if kind_text in KINDS:
        return KINDS[kind_text], value
    try:
        if kind_text == "double":
            return 5 | (6 << 3), struct.pack("<d", float(value))
        if kind_text == "i32":
            return 5 | (5 << 3), struct.pack("<i", int(value))
        word = int(kind_text, 0)
    except ValueError:
        return None
    low, high = word & 0xFF, word >> 8
    if low in (2, 4) and high in RAW_FORMATS:
        return (5 if low == 2 else 6) | (RAW_FORMATS.index(high) << 3), value
    if low in (1, 8, 16) and high == 0:
        return [1, 2, 4, 8, 16].index(low), value
    if low in UNUSUAL_TYPES and high == 0:
        return 7 | (UNUSUAL_TYPES.index(low) << 3), value
    return None


def read_cases(cases_dir):
    """Yields (kind, line bytes, fields, double backend, expectation) for every case line; kind is
    "formula", "block" (a {...} compiled block) or "num" (a Num function line)."""
    for file_name in sorted(os.listdir(cases_dir)):
        if not file_name.endswith(".cases"):
            continue
        fields = {}
        double_backend = False
        with open(os.path.join(cases_dir, file_name), encoding="utf-8") as stream:
            for line in stream:
                line = line.rstrip("\n")
                try:
                    raw = line.encode("cp932")
                except UnicodeEncodeError:
                    continue
                if raw.startswith(b"#") or not raw.strip():
                    continue
                if raw.startswith(b"@fields"):
                    fields = {}
                    for word in split_words(raw[len(b"@fields"):]):
                        name, _, rest = word.partition(b"=")
                        kind, _, value = rest.partition(b":")
                        entry = field_slot_entry(kind.decode("ascii", "replace"), unescape(value))
                        if entry is not None:
                            fields[unescape(name)] = entry
                    continue
                if raw.startswith(b"@backend"):
                    double_backend = b"double" in raw
                    continue
                if raw.startswith(b"@"):
                    continue
                at = raw.find(b"==>")
                if at < 0:
                    continue
                formula = raw[:at]
                if formula.endswith(b" "):
                    formula = formula[:-1]
                expectation = raw[at + 3:].strip()
                stripped = formula.strip()
                if stripped.startswith(b"{") and stripped.endswith(b"}"):
                    yield "block", stripped[1:-1], fields, double_backend, expectation
                elif re.match(rb"Num[A-Za-z]+( |$)", formula):
                    yield "num", formula, fields, double_backend, expectation
                else:
                    yield "formula", unescape(formula), fields, double_backend, expectation


def length_prefixed(value):
    if len(value) < 255:
        return bytes([len(value)]) + value
    return b"\xff" + struct.pack("<H", min(len(value), 0xFFFF)) + value[:0xFFFF]


def compile_seed(formula, fields, double_backend):
    slots = [0] * 8
    values = [None] * 8
    wildcard = fields.get(b"*")
    if wildcard is not None:
        slots = [wildcard[0]] * 8
        values = [wildcard[1]] * 8
    for name, (entry, value) in fields.items():
        if name == b"*":
            continue
        slots[slot_of(name)] = entry
        values[slot_of(name)] = value
    texts = [values[i] if values[i] is not None else DEFAULT_VALUES[slots[i] & 7] for i in range(8)]
    flags = 1 if double_backend else 0
    return bytes([flags] + slots) + formula.replace(b"\0", b"") + b"\0" + b"".join(length_prefixed(t) for t in texts)


def hex_bytes(text):
    try:
        return bytes(int(h, 16) for h in text.split())
    except ValueError:
        return None


# fuzz_num opcodes (Machine::step): operand byte bits 0-1 target, 2-3 source, 4-7 choice.
NUM_UNARY = {b"NumZero": 4, b"NumMin": 5, b"NumMax": 6, b"NumNeg": 7, b"NumInt": 8, b"NumFrac": 9}
NUM_BINARY = {b"NumAdd": 10, b"NumSub": 11, b"NumMul": 12, b"NumDiv": 13, b"NumCopy": 14}
NUM_WITH_INT = {b"NumInc": 15, b"NumDec": 16, b"NumCompInt": 17}


def num_from_str(register, text):
    return bytes([0, register, min(len(text), 254)]) + text[:254]


def num_line_seed(line, double_backend):
    """A Num line of the case files as a fuzz_num program, or None."""
    words = [unescape(w) for w in split_words(line)]
    if not words:
        return None
    name, args = words[0], words[1:]
    program = bytearray()
    try:
        if name == b"NumFromStr" and len(args) == 1:
            program += num_from_str(0, args[0])
        elif name == b"NumFromInt" and len(args) == 1:
            program += bytes([1, 0]) + struct.pack("<i", int(args[0]))
        elif name == b"NumFromDbl" and len(args) == 1:
            program += bytes([2, 0]) + struct.pack("<d", float(args[0]))
        elif name in NUM_UNARY and len(args) <= 1:
            if args:
                program += num_from_str(0, args[0])
            program += bytes([NUM_UNARY[name], 0])
        elif name in NUM_BINARY and len(args) == 2:
            program += num_from_str(0, args[0]) + num_from_str(1, args[1]) + bytes([NUM_BINARY[name], 0x04])
        elif name == b"NumComp" and len(args) == 2:
            program += num_from_str(0, args[0]) + num_from_str(1, args[1]) + bytes([17, 0x04]) + bytes(4)
        elif name == b"NumIsZero" and len(args) == 1:
            program += num_from_str(0, args[0]) + bytes([17, 0x00]) + bytes(4)
        elif name in NUM_WITH_INT and len(args) == 2:
            program += num_from_str(0, args[0]) + bytes([NUM_WITH_INT[name], 0x00]) + struct.pack("<i", int(args[1]))
        elif name == b"NumToStr" and len(args) == 3:
            program += num_from_str(0, args[0]) + bytes([19, 0x80, 0])
            program += struct.pack("<i", int(args[1], 0)) + struct.pack("<i", int(args[2], 0))
        else:
            return None
    except (ValueError, struct.error):
        return None
    program += bytes([19, 0x00, 0])  # the digit string of register 0
    # Numbers at an odd address, as the case runner puts them.
    return bytes([(1 if double_backend else 0) | (1 << 2)]) + bytes(program)


NUMBER = re.compile(rb"-?\d+(?:\.\d+)?(?:[eE][-+]?\d+)?")


def number_seeds(literals):
    """Pairs of literals through every operation, under both backends."""
    ops = bytearray()
    # Add, Sub, Mul, Div into registers 2 and 3 from copies; Int, Frac, Neg; comparisons; texts.
    ops += bytes([14, 0x02, 10, 0x06, 14, 0x03, 11, 0x07])      # r2 = r0; r2 += r1; r3 = r0; r3 -= r1
    ops += bytes([19, 0x02, 0, 19, 0x13, 4, 19, 0x32, 0])     # texts of r2 and r3
    ops += bytes([14, 0x02, 12, 0x06, 14, 0x03, 13, 0x07])      # r2 = r0 * r1; r3 = r0 / r1
    ops += bytes([19, 0x22, 1, 19, 0x03, 2, 19, 0x43, 5])
    ops += bytes([14, 0x02, 8, 0x02, 14, 0x03, 9, 0x03, 7, 0x00, 17, 0x04, 1, 0, 0, 0])
    ops += bytes([15, 0x01, 1, 0, 0, 0, 16, 0x01, 255, 255, 255, 255, 5, 0x02, 6, 0x03, 17, 0x0E, 2, 0, 0, 0])
    ops += bytes([1, 0x02, 0x78, 0x56, 0x34, 0x12, 2, 0x03]) + bytes(8)
    ops += bytes([19, 0x12, 6, 19, 0x22, 0, 19, 0x72, 3, 19, 0x53, 9])
    seeds = []
    for i, a in enumerate(literals):
        b = literals[(i * 7 + 3) % len(literals)]
        for backend in (0, 1):
            seed = bytes([backend]) + bytes([0, 0x00, len(a)]) + a + bytes([0, 0x01, len(b)]) + b + bytes(ops)
            seeds.append(seed)
    return seeds


def hostile_seeds():
    seeds = []
    patterns = [
        b"",
        b"\x00\x01\x01" + b"5" + b"\x00\x01\x00",
        b"\x00\x21\x01" + b"7" + b"\x28\x40\x00" + b"\x20" * 8,
        b"\x45\x02\x00\x61" + b"\x2d" * 4,
        b"\x44" + b"\x00" * 16,
    ]
    for index in range(HOSTILE_FORMULAS):
        for mode in (0, 1):
            for pattern in patterns:
                seeds.append(bytes([index | (mode << 6)]) + pattern)
    return seeds


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    cases_dir, out_dir = sys.argv[1], sys.argv[2]
    targets = ["fuzz_compile", "fuzz_code_bytes", "fuzz_num", "fuzz_hostile_callback"]
    for target in targets:
        os.makedirs(os.path.join(out_dir, target), exist_ok=True)
    literals = set()
    counts = dict.fromkeys(targets, 0)
    for kind, text, fields, double_backend, expectation in read_cases(cases_dir):
        if kind == "block":
            block = hex_bytes(text)
            if block:
                write(os.path.join(out_dir, "fuzz_code_bytes"), block)
                counts["fuzz_code_bytes"] += 1
            continue
        if kind == "num":
            seed = num_line_seed(text, double_backend)
            if seed:
                write(os.path.join(out_dir, "fuzz_num"), seed)
                counts["fuzz_num"] += 1
            continue
        write(os.path.join(out_dir, "fuzz_compile"), compile_seed(text, fields, double_backend))
        counts["fuzz_compile"] += 1
        if expectation.startswith(b"bytes "):
            block = hex_bytes(expectation[6:])
            if block:
                write(os.path.join(out_dir, "fuzz_code_bytes"), block)
                counts["fuzz_code_bytes"] += 1
        for match in NUMBER.findall(text) + NUMBER.findall(expectation):
            if len(match) < 200:
                literals.add(match)
    literals.update([b"0", b"-0", b"1.5", b"150000000e-8", b"1.500000000000000e+00", b"99999999.99999999",
                     b"1e16", b"1e-3", b"123456789012345678901234567890123456789012345678901234567890",
                     b"0.000000000000000000000000000000000000000000000000001", b"-2147483648", b"nan", b"inf",
                     b"1e400", b"1e-400", b"  +12abc"])
    for seed in number_seeds(sorted(literals)):
        write(os.path.join(out_dir, "fuzz_num"), seed)
        counts["fuzz_num"] += 1
    for seed in hostile_seeds():
        write(os.path.join(out_dir, "fuzz_hostile_callback"), seed)
        counts["fuzz_hostile_callback"] += 1
    print("seeds: " + ", ".join(f"{target} {counts[target]}" for target in targets))


if __name__ == "__main__":
    main()
