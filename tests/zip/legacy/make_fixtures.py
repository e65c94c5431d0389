#!/usr/bin/env python3
"""Writes the decoder fixtures of tests/zip/legacy/data/streams/.

Two kinds of stream, each a file holding exactly the compressed data of one
entry, listed in data/streams/streams.tsv with its method, general-purpose
flags, compressed and uncompressed sizes, CRC-32 and the SHA-256 of the bytes
it must decode to:

* corpus-*: the entries of the legacy archives of the reader's corpus
  (tests/zip/data/legacy/), cut out of each archive by its central directory
  and local header; the expected CRC-32 and SHA-256 come from the corpus
  manifest (tests/zip/data/manifest.json).
* made-*: streams written here (and, for the benchmark and cross-checks, a
  one-entry archive of each in data/made/) by small encoders that follow the format
  description of each method, for behaviours the corpus lacks (a Shrink
  stream with wider codes, a partial clear and codes used while being
  defined; Implode streams whose trees have codes longer than the first-level
  tables, one of them over 200000 compressed bytes). Their expected bytes
  are the encoders' input.

With --check, every Shrink and Implode stream is also wrapped in a ZIP
archive of its own and decoded by Info-ZIP UnZip (`unzip -p`), which must give the
expected bytes (UnZip does not decode Reduce).

It also writes the seeds of the fuzz target (fuzz/seeds/): small streams of
each method behind the fuzz input's 5-byte header (see fuzz/LegacyFuzz.cpp).

Usage: python3 make_fixtures.py [--check]
The output is deterministic; rerun it only when the fixtures change.
"""

import hashlib
import json
import random
import struct
import subprocess
import sys
import tempfile
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
ZIP_TESTS = HERE.parent
CORPUS = ZIP_TESTS / "data"
STREAMS = HERE / "data" / "streams"


# ---------------------------------------------------------------- corpus

def corpus_streams():
    manifest = json.loads((CORPUS / "manifest.json").read_text())
    for case in (c for c in manifest["cases"] if c.get("category") == "legacy"):
        archive = (CORPUS / case["file"]).read_bytes()
        for entry in central_directory(archive):
            want = next(e for e in case["entries"] if e["file_name"] == entry["name"])
            assert want["method"] == entry["method"] and want["crc32"] == f"0x{entry['crc']:08X}"
            offset = entry["offset"]
            name_len, extra_len = struct.unpack_from("<HH", archive, offset + 26)
            start = offset + 30 + name_len + extra_len
            data = archive[start:start + entry["csize"]]
            stem = Path(case["file"]).stem
            yield {
                "name": f"corpus-{stem}-{entry['name'].replace('.', '-')}",
                "data": data,
                "method": entry["method"],
                "flags": entry["flags"],
                "usize": entry["usize"],
                "crc": entry["crc"],
                "sha256": want["extract"]["output_sha256"],
                "archive": f"data/{case['file']}",
            }


def central_directory(archive):
    end = archive.rindex(b"PK\x05\x06")
    count, _, cd_offset = struct.unpack_from("<HII", archive, end + 10)
    pos = cd_offset
    for _ in range(count):
        (flags, method, crc, csize, usize, name_len, extra_len, comment_len,
         offset) = struct.unpack_from("<8xHH4xIIIHHH8xI", archive, pos)
        name = archive[pos + 46:pos + 46 + name_len].decode("cp437")
        yield {"name": name, "flags": flags, "method": method, "crc": crc,
               "csize": csize, "usize": usize, "offset": offset}
        pos += 46 + name_len + extra_len + comment_len


# ---------------------------------------------------------------- bits

class BitWriter:
    """Packs fields least significant bit first."""

    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.count = 0

    def bits(self, value, width):
        self.acc |= value << self.count
        self.count += width
        while self.count >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.count -= 8

    def finish(self):
        if self.count:
            self.out.append(self.acc & 0xFF)
        return bytes(self.out)


# ---------------------------------------------------------------- Shrink

def shrink(data, clear_after):
    """LZW in the Shrink layout. The encoder keeps the decoder's view of the
    table (a code is defined when the code after it is read), widens codes
    before the first code that needs it, and sends one partial clear after
    the first single-byte code from the clear_after-th code on (so that the
    code the decoder defines next has a prefix the clear cannot free)."""
    table = {bytes([b]): b for b in range(256)}   # string -> code
    strings = {}                                  # code -> string, codes >= 257
    parent = {}
    next_free = 257
    size = 9
    out = BitWriter()
    pos = 0
    prev = None
    emitted = 0
    stats = {"widen": 0, "clear": 0, "kwkwk": 0}

    def find_next_free(start):
        code = start
        while code < 8192 and code in parent:
            code += 1
        return code

    while pos < len(data):
        # Longest known string; the code being defined counts too.
        best, code = data[pos:pos + 1], data[pos]
        pending = None
        if prev is not None and next_free < 8192:
            prev_string = strings[prev] if prev >= 257 else bytes([prev])
            pending = prev_string + prev_string[:1]
        length = 2
        while pos + length <= len(data):
            candidate = data[pos:pos + length]
            if candidate in table:
                best, code = candidate, table[candidate]
            elif candidate == pending:
                best, code = candidate, next_free
            else:
                break
            length += 1
        if code == next_free and prev is not None:
            stats["kwkwk"] += 1
        while code >= (1 << size):
            out.bits(256, size)
            out.bits(1, size)
            size += 1
            stats["widen"] += 1
        out.bits(code, size)
        if prev is not None and next_free < 8192:
            prev_string = strings[prev] if prev >= 257 else bytes([prev])
            new_string = prev_string + best[:1]
            parent[next_free] = prev
            strings[next_free] = new_string
            table.setdefault(new_string, next_free)
            next_free = find_next_free(next_free + 1)
        prev = code
        pos += len(best)
        emitted += 1
        if emitted >= clear_after and stats["clear"] == 0 and code < 256:
            out.bits(256, size)
            out.bits(2, size)
            stats["clear"] += 1
            in_use = [c for c in range(257, next_free)]
            used_as_prefix = {parent[c] for c in in_use}
            for c in in_use:
                if c not in used_as_prefix:
                    string = strings.pop(c)
                    del parent[c]
                    if table.get(string) == c:
                        del table[string]
            next_free = find_next_free(257)
    return out.finish(), stats


# ---------------------------------------------------------------- Implode

def staircase(total, base_length, merges):
    """A complete code of `total` lengths: all base_length, one of them split
    into the lengths base_length+1 .. 16 and 16, and `merges` pairs joined
    one bit shorter to keep the count."""
    lengths = ([base_length - 1] * merges
               + [base_length] * (total - 1 - 2 * merges)
               + list(range(base_length + 1, 17)) + [16])
    assert len(lengths) == total
    assert sum(1 << (16 - n) for n in lengths) == 1 << 16
    return lengths


def canonical_codes(lengths):
    count = [0] * 17
    for n in lengths:
        count[n] += 1
    next_code, code = [0] * 17, 0
    for n in range(1, 17):
        code = (code + count[n - 1]) << 1
        next_code[n] = code
    codes = []
    for n in lengths:
        codes.append(next_code[n])
        next_code[n] += 1
    return codes


def write_tree(out, lengths):
    runs = []
    for n in lengths:
        if runs and runs[-1][0] == n and runs[-1][1] < 16:
            runs[-1][1] += 1
        else:
            runs.append([n, 1])
    out.append(len(runs) - 1)
    out.extend(((count - 1) << 4) | (n - 1) for n, count in runs)


def implode(data, seed):
    """Implode with an 8 KiB window and a literal tree (flags 0x0006). The
    trees have fixed shapes, shuffled over the symbols, with codes up to 16
    bits, so decoding needs the second table level of every tree."""
    rng = random.Random(seed)
    trees = []
    for total, base, merges in ((256, 8, 8), (64, 6, 10), (64, 6, 10)):
        lengths = staircase(total, base, merges)
        rng.shuffle(lengths)
        trees.append(lengths)
    header = bytearray()
    for lengths in trees:
        write_tree(header, lengths)
    literal, length_tree, distance_tree = ((lengths, canonical_codes(lengths)) for lengths in trees)

    out = BitWriter()

    def code(tree, symbol):
        lengths, codes = tree
        n = lengths[symbol]
        inverted = ~codes[symbol] & ((1 << n) - 1)
        for bit in range(n - 1, -1, -1):    # most significant bit first
            out.bits((inverted >> bit) & 1, 1)

    min_match, max_match, window = 3, 63 + 255 + 3, 8192
    heads = {}
    pos = 0
    stats = {"literals": 0, "copies": 0}
    while pos < len(data):
        best_len, best_dist = 0, 0
        for start in heads.get(data[pos:pos + 3], [])[-16:]:
            if pos - start > window:
                continue
            n = 0
            while n < max_match and pos + n < len(data) and data[start + n] == data[pos + n]:
                n += 1
            if n > best_len:
                best_len, best_dist = n, pos - start
        if best_len >= min_match:
            out.bits(0, 1)
            d = best_dist - 1
            out.bits(d & 0x7F, 7)
            code(distance_tree, d >> 7)
            c = best_len - min_match
            if c >= 63:
                code(length_tree, 63)
                out.bits(c - 63, 8)
            else:
                code(length_tree, c)
            step = best_len
            stats["copies"] += 1
        else:
            out.bits(1, 1)
            code(literal, data[pos])
            step = 1
            stats["literals"] += 1
        for i in range(pos, pos + step):
            heads.setdefault(data[i:i + 3], []).append(i)
        pos += step
    return bytes(header) + out.finish(), stats


def sample_text(rng, size):
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
             for _ in range(400)]
    out = bytearray()
    while len(out) < size:
        if rng.random() < 0.15:
            out.extend(rng.randbytes(rng.randint(1, 40)))     # incompressible stretch
        else:
            out.extend(rng.choice(words) + rng.choice([b" ", b", ", b".\n"]))
    return bytes(out[:size])


def made_streams():
    rng = random.Random(7)
    text = sample_text(rng, 6000) + b"a" * 300 + sample_text(rng, 3000)
    stream, stats = shrink(text, clear_after=900)
    assert stats["widen"] >= 2 and stats["clear"] == 1 and stats["kwkwk"] >= 3, stats
    yield made("made-shrink-widen-clear", stream, 1, 0, text, stats)

    small = sample_text(rng, 20000)
    stream, stats = implode(small, seed=1)
    yield made("made-implode-small", stream, 6, 6, small, stats)

    large = sample_text(rng, 330000)
    stream, stats = implode(large, seed=1)
    assert len(stream) > 200000, len(stream)
    yield made("made-implode-large", stream, 6, 6, large, stats)


def made(name, stream, method, flags, original, stats):
    print(f"{name}: {len(stream)} -> {len(original)} bytes, {stats}")
    return {"name": name, "data": stream, "method": method, "flags": flags,
            "usize": len(original), "crc": zlib.crc32(original),
            "sha256": hashlib.sha256(original).hexdigest(), "archive": f"legacy/data/made/{name}.zip"}


# ---------------------------------------------------------------- check

def zip_of(stream):
    name = b"entry"
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 10, stream["flags"], stream["method"], 0,
                        0x21, stream["crc"], len(stream["data"]), stream["usize"], len(name), 0)
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 10, 10, stream["flags"],
                          stream["method"], 0, 0x21, stream["crc"], len(stream["data"]),
                          stream["usize"], len(name), 0, 0, 0, 0, 0, 0)
    body = local + name + stream["data"]
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central) + len(name), len(body), 0)
    return body + central + name + end


def check_with_unzip(stream):
    if stream["method"] not in (1, 6):
        return
    with tempfile.TemporaryDirectory() as folder:
        path = Path(folder) / "entry.zip"
        path.write_bytes(zip_of(stream))
        output = subprocess.run(["unzip", "-p", str(path)], capture_output=True, check=True).stdout
    assert hashlib.sha256(output).hexdigest() == stream["sha256"], stream["name"]
    print(f"unzip -p agrees: {stream['name']}")


def write_fuzz_seeds(streams):
    seeds = HERE / "fuzz" / "seeds"
    seeds.mkdir(parents=True, exist_ok=True)
    chosen = [("shrink", "corpus-shrink-hwzip-runs-bin", 1, 0),
              ("shrink-clear", "made-shrink-widen-clear", 1, 0),
              ("reduce1", "corpus-reduce1-book-fb2", 2, 0),
              ("reduce2", "corpus-reduce1-book-fb2", 3, 0),
              ("reduce3", "corpus-reduce4-hwzip-book-fb2", 4, 0),
              ("reduce4", "corpus-reduce4-hwzip-book-fb2", 5, 0),
              ("implode-8k-literals", "corpus-implode-hwzip-book-fb2", 6, 6),
              ("implode-4k", "corpus-implode-4k-nolit-book-fb2", 6, 0),
              ("implode-large-table", "corpus-implode-hwzip-book-fb2", 6, 6 | 0x80)]
    by_name = {s["name"]: s for s in streams}
    for seed, name, method, flags in chosen:
        stream = by_name[name]
        usize = stream["usize"]
        assert usize < 1 << 20
        header = bytes([method - 1, flags, usize & 0xFF, (usize >> 8) & 0xFF, usize >> 16])
        (seeds / seed).write_bytes(header + stream["data"])


def main():
    check = "--check" in sys.argv[1:]
    STREAMS.mkdir(parents=True, exist_ok=True)
    (HERE / "data" / "made").mkdir(parents=True, exist_ok=True)
    rows = ["# name\tmethod\tflags\tcompressed_size\tuncompressed_size\tcrc32\tsha256\tarchive"]
    streams = list(corpus_streams()) + list(made_streams())
    for stream in streams:
        (STREAMS / (stream["name"] + ".bin")).write_bytes(stream["data"])
        rows.append("\t".join([stream["name"], str(stream["method"]), str(stream["flags"]),
                               str(len(stream["data"])), str(stream["usize"]),
                               f"{stream['crc']:08X}", stream["sha256"], stream["archive"]]))
        if stream["archive"].startswith("legacy/data/made/"):
            (ZIP_TESTS / stream["archive"]).write_bytes(zip_of(stream))
        if check:
            check_with_unzip(stream)
    (STREAMS / "streams.tsv").write_text("\n".join(rows) + "\n")
    write_fuzz_seeds(streams)


if __name__ == "__main__":
    main()
