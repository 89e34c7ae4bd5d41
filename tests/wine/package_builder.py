"""Builds kestrel test packages from the test stub (kestrel-teststub.exe).

The test stub carries placeholder entries 448..479 (tests/win32/
kestrel_test.rc); build_stub() rewrites them with the settings a test needs,
keeping both string blocks the same size, so the stub's length is unchanged
and stubSize can be set to it. A package is then the stub, optional bytes
between stub and marker, the 15-character marker and the payload.
"""
import os

import pe_resources

SETTING_IDS = {
    "cleanupWorkDir": 460, "stubSize": 461, "showProgress": 462, "extractInPlace": 463,
    "additionalCabinets": 464, "partBaseName": 465, "splitPartCount": 466, "programCount": 467,
    "payloadSizeEcho": 468, "payloadSize": 469, "optionalCabinets": 470, "askForFolder": 471,
}
FIRST_BLOCK_FILLER, SECOND_BLOCK_FILLER = 448, 479


def checksum(chunks):
    """The package checksum over the given byte strings, in order (32-bit, never cut)."""
    a = 0
    for chunk in chunks:
        for b in chunk:
            d = b << 8
            for _ in range(8):
                a = ((a << 1) ^ 0x1021) if (a ^ d) & 0x8000 else (a << 1)
                a &= 0xFFFFFFFF
                d <<= 1
    return a


def build_stub(stub_bytes, settings):
    """The stub with the given settings {field name or id: text}; an absent
    setting stays absent. Returns bytes of the same length."""
    image = pe_resources.PeImage(stub_bytes)
    entries = {}
    for key, text in settings.items():
        entries[SETTING_IDS.get(key, key)] = text
    for block_first, filler in ((448, FIRST_BLOCK_FILLER), (464, SECOND_BLOCK_FILLER)):
        block = block_first // 16 + 1
        own = {i - block_first: t for i, t in entries.items() if block_first <= i < block_first + 16}
        pe_resources.rewrite_string_block(image, block, own, filler - block_first)
    return bytes(image.data)


def build_package(stub_bytes, payload, marker=None, settings=None, between=b""):
    """A package: the stub with its settings, then between, the marker and the payload.

    settings default to a working package (stubSize = the stub's length,
    payloadSize = the payload's length, no progress dialog); a marker of None
    is "CRC1,0x" and the right checksum.
    """
    full = {"stubSize": str(len(stub_bytes)), "payloadSize": str(len(payload)),
            "payloadSizeEcho": str(len(payload)), "showProgress": "0", "cleanupWorkDir": "1",
            "programCount": "0"}
    if settings:
        full.update(settings)
    full = {k: v for k, v in full.items() if v is not None}
    stub = build_stub(stub_bytes, full)
    if marker is None:
        marker = "CRC1,0x%08x" % checksum([stub[:int(full["stubSize"])], payload])
    assert len(marker) == 15
    return stub + between + marker.encode("ascii") + payload


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
