#!/usr/bin/env python3
"""Checks the code signature of the arm64 slice of a Mach-O file.

An Apple silicon Mac maps no arm64 page that its code signature does not
cover: the linker signs arm64 output ad hoc, and any later rewrite of the file
(strip, install_name_tool, a flipped byte) leaves page hashes that no longer
match, and the library fails to load with "code signature invalid".

For the arm64 slice of FILE (universal or thin), this checks that:
  - it has exactly one LC_CODE_SIGNATURE, whose data lies inside the slice
    and starts where the signed part of the slice ends;
  - the data is an embedded-signature SuperBlob holding a CodeDirectory;
  - the CodeDirectory covers every byte before the signature (codeLimit) in
    pages of its page size, one hash slot per page;
  - every page's hash (SHA-1, SHA-256, truncated SHA-256 or SHA-384, as the
    CodeDirectory says) equals its slot.

Layouts: <mach-o/loader.h> and <mach-o/fat.h> of the macOS SDK (little-endian
headers and load commands, big-endian fat header); the code-signing blobs are
big-endian (<kern/cs_blobs.h>: CS_SuperBlob, CS_BlobIndex, CS_CodeDirectory).

Usage: macho_signature.py FILE...   Exit status 0 when every file passes, 1
when one fails, 2 for bad usage. One line per file.
"""

import hashlib
import struct
import sys

FAT_MAGIC = 0xCAFEBABE
FAT_MAGIC_64 = 0xCAFEBABF
MH_MAGIC_64 = 0xFEEDFACF
CPU_TYPE_ARM64 = 0x0100000C
LC_CODE_SIGNATURE = 0x1D
CSMAGIC_EMBEDDED_SIGNATURE = 0xFADE0CC0
CSMAGIC_CODEDIRECTORY = 0xFADE0C02
CSSLOT_CODEDIRECTORY = 0
CS_SUPPORTSCODELIMIT64 = 0x20300
HASHES = {
    1: ("sha1", 20),
    2: ("sha256", 32),
    3: ("sha256", 20),  # SHA-256 truncated to 20 bytes
    4: ("sha384", 48),
}


class Invalid(Exception):
    pass


def unpack(fmt, data, offset):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise Invalid(f"truncated at offset {offset}")
    return struct.unpack_from(fmt, data, offset)


def arm64_slice(data):
    """The (offset, size) of the arm64 slice of `data`."""
    (magic,) = unpack(">I", data, 0)
    if magic in (FAT_MAGIC, FAT_MAGIC_64):
        (count,) = unpack(">I", data, 4)
        entry = ">iiQQI4x" if magic == FAT_MAGIC_64 else ">iiIII"
        step = struct.calcsize(entry)
        for index in range(count):
            cputype, _, offset, size, _ = unpack(entry, data, 8 + index * step)
            if cputype == CPU_TYPE_ARM64:
                if offset + size > len(data):
                    raise Invalid("the arm64 slice runs past the end of the file")
                return offset, size
        raise Invalid("no arm64 slice")
    (magic,) = unpack("<I", data, 0)
    if magic != MH_MAGIC_64:
        raise Invalid("not a 64-bit Mach-O file")
    (cputype,) = unpack("<i", data, 4)
    if cputype != CPU_TYPE_ARM64:
        raise Invalid("a thin file of another architecture")
    return 0, len(data)


def check_slice(macho):
    """Returns a one-line summary of the verified signature of `macho`."""
    magic, cputype, _, _, ncmds, sizeofcmds = unpack("<IiiIII", macho, 0)
    if magic != MH_MAGIC_64 or cputype != CPU_TYPE_ARM64:
        raise Invalid("the arm64 slice is not a 64-bit arm64 Mach-O")
    offset, end = 32, 32 + sizeofcmds
    signatures = []
    for _ in range(ncmds):
        cmd, cmdsize = unpack("<II", macho, offset)
        if cmdsize < 8 or offset + cmdsize > end:
            raise Invalid(f"malformed load command at offset {offset}")
        if cmd == LC_CODE_SIGNATURE:
            signatures.append(unpack("<II", macho, offset + 8))
        offset += cmdsize
    if len(signatures) != 1:
        raise Invalid(f"{len(signatures)} LC_CODE_SIGNATURE load commands, expected 1")
    dataoff, datasize = signatures[0]
    if dataoff + datasize > len(macho):
        raise Invalid("the signature runs past the end of the slice")
    blob = macho[dataoff : dataoff + datasize]

    magic, length, count = unpack(">III", blob, 0)
    if magic != CSMAGIC_EMBEDDED_SIGNATURE or length > len(blob):
        raise Invalid(f"not an embedded signature (magic {magic:#x})")
    directory = None
    for index in range(count):
        slot, blob_offset = unpack(">II", blob, 12 + index * 8)
        if slot == CSSLOT_CODEDIRECTORY:
            directory = blob_offset
    if directory is None:
        raise Invalid("no CodeDirectory in the signature")
    cd = blob[directory:]
    (magic, cd_length, version, _flags, hash_offset, _ident, _special, n_code_slots,
     code_limit, hash_size, hash_type, _platform, page_shift) = unpack(">IIIIIIIIIBBBB", cd, 0)
    if magic != CSMAGIC_CODEDIRECTORY or cd_length > len(cd):
        raise Invalid(f"not a CodeDirectory (magic {magic:#x})")
    if version >= CS_SUPPORTSCODELIMIT64:
        (code_limit_64,) = unpack(">Q", cd, 56)
        if code_limit_64:
            code_limit = code_limit_64
    if hash_type not in HASHES or HASHES[hash_type][1] != hash_size:
        raise Invalid(f"unknown hash type {hash_type} of size {hash_size}")
    if code_limit != dataoff:
        raise Invalid(f"signs {code_limit} bytes, but the signature starts at {dataoff}")
    page_size = 1 << page_shift if page_shift else code_limit
    pages = -(-code_limit // page_size)
    if n_code_slots != pages:
        raise Invalid(f"{n_code_slots} hash slots for {pages} pages")
    if hash_offset + pages * hash_size > cd_length:
        raise Invalid("the hash slots run past the CodeDirectory")
    name, size = HASHES[hash_type]
    for page in range(pages):
        start = page * page_size
        digest = hashlib.new(name, macho[start : min(start + page_size, code_limit)]).digest()
        slot = cd[hash_offset + page * hash_size : hash_offset + (page + 1) * hash_size]
        if digest[:size] != slot:
            raise Invalid(f"page {page} (bytes {start}-{min(start + page_size, code_limit) - 1}) "
                          "does not match its hash")
    return f"{pages} pages of {page_size} bytes, {name}{'/20' if hash_type == 3 else ''}"


def main(paths):
    if not paths:
        print(__doc__.strip().splitlines()[-3], file=sys.stderr)
        return 2
    status = 0
    for path in paths:
        try:
            with open(path, "rb") as f:
                data = f.read()
            start, size = arm64_slice(data)
            print(f"{path}: arm64 signature valid: {check_slice(data[start : start + size])}")
        except (OSError, Invalid) as error:
            print(f"{path}: arm64 signature INVALID: {error}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
