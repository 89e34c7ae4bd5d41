"""Reads and rewrites resources of a PE file (PE32 or PE32+), for the kestrel tests.

Only what the tests need: finding a resource by type and id, decoding and
re-encoding string-table blocks in place (same byte size), and decoding
DIALOG templates. Every field is read through struct at an explicit offset.
"""
import struct

RT_ICON, RT_MENU, RT_DIALOG, RT_STRING, RT_ACCELERATOR, RT_GROUP_ICON, RT_VERSION = 3, 4, 5, 6, 9, 14, 16


class PeImage:
    def __init__(self, data):
        self.data = bytearray(data)
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        sections, optional_size = struct.unpack_from("<H12xH", self.data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", self.data, optional)[0]
        # The data directories follow the optional header's fixed part: 96
        # bytes in PE32, 112 in PE32+ (the x86-64 test build).
        directories = {0x10B: 96, 0x20B: 112}.get(magic)
        if directories is None:
            raise ValueError("neither PE32 nor PE32+")
        self.resource_rva, self.resource_size = struct.unpack_from("<II", self.data, optional + directories + 2 * 8)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, rva, raw_size, raw_ptr = struct.unpack_from("<8sIIII", self.data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), rva, max(vsize, raw_size), raw_ptr))

    def offset_of(self, rva):
        for _, start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("rva %#x outside every section" % rva)

    def _directory(self, rva_offset):
        """Entries (id or name offset, is_directory, target offset) of one resource directory."""
        base = self.offset_of(self.resource_rva)
        at = base + rva_offset
        named, ids = struct.unpack_from("<12xHH", self.data, at)
        entries = []
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
            entries.append((name, bool(target & 0x80000000), target & 0x7FFFFFFF))
        return entries

    def resources(self, rtype):
        """{id: (file offset, size)} for every resource of rtype (first language)."""
        found = {}
        for type_id, is_dir, target in self._directory(0):
            if type_id != rtype or not is_dir:
                continue
            for name_id, name_is_dir, lang_dir in self._directory(target):
                if not name_is_dir:
                    continue
                _, _, data_entry = self._directory(lang_dir)[0]
                at = self.offset_of(self.resource_rva) + data_entry
                rva, size = struct.unpack_from("<II", self.data, at)
                found[name_id] = (self.offset_of(rva), size)
        return found

    def resource(self, rtype, rid):
        offset, size = self.resources(rtype)[rid]
        return bytes(self.data[offset:offset + size])


def decode_string_block(blob):
    strings, at = [], 0
    for _ in range(16):
        length = struct.unpack_from("<H", blob, at)[0]
        strings.append(blob[at + 2:at + 2 + 2 * length].decode("utf-16-le"))
        at += 2 + 2 * length
    return strings


def encode_string_block(strings):
    out = b""
    for s in strings:
        encoded = s.encode("utf-16-le")
        out += struct.pack("<H", len(encoded) // 2) + encoded
    return out


def string_table(image):
    """{id: text} of every non-empty string-table entry."""
    table = {}
    for block, (offset, size) in image.resources(RT_STRING).items():
        for i, s in enumerate(decode_string_block(image.data[offset:offset + size])):
            if s:
                table[(block - 1) * 16 + i] = s
    return table


def rewrite_string_block(image, block, entries, filler_index):
    """Rewrites string block `block` in place with entries {index 0..15: text};
    the entry at filler_index absorbs the difference so the size stays."""
    offset, size = image.resources(RT_STRING)[block]
    strings = [""] * 16
    for index, text in entries.items():
        strings[index] = text
    fixed = len(encode_string_block(strings))
    spare_chars = (size - fixed) // 2
    if spare_chars < 0 or (size - fixed) % 2:
        raise ValueError("string block %d: the entries do not fit its %d bytes" % (block, size))
    strings[filler_index] = "." * spare_chars
    blob = encode_string_block(strings)
    assert len(blob) == size
    image.data[offset:offset + size] = blob


def _read_sz_or_ord(blob, at):
    """A dialog field: 0 (none), 0xFFFF + ordinal, or a NUL-terminated UTF-16 text."""
    first = struct.unpack_from("<H", blob, at)[0]
    if first == 0:
        return None, at + 2
    if first == 0xFFFF:
        return struct.unpack_from("<H", blob, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", blob, end)[0] != 0:
        end += 2
    return blob[at:end].decode("utf-16-le"), end + 2


def decode_dialog(blob):
    """A DIALOG (not DIALOGEX) template as a dict with its controls."""
    style, ex_style, count, x, y, cx, cy = struct.unpack_from("<IIHhhhh", blob, 0)
    at = 18
    menu, at = _read_sz_or_ord(blob, at)
    window_class, at = _read_sz_or_ord(blob, at)
    title, at = _read_sz_or_ord(blob, at)
    dialog = {"style": style, "exstyle": ex_style, "rect": (x, y, cx, cy), "menu": menu,
              "class": window_class, "title": title, "controls": []}
    if style & 0x40:  # DS_SETFONT
        dialog["pointsize"] = struct.unpack_from("<H", blob, at)[0]
        dialog["font"], at = _read_sz_or_ord(blob, at + 2)
    for _ in range(count):
        at = (at + 3) & ~3
        cstyle, cex, x, y, cx, cy, cid = struct.unpack_from("<IIhhhhH", blob, at)
        at += 18
        cclass, at = _read_sz_or_ord(blob, at)
        ctext, at = _read_sz_or_ord(blob, at)
        extra = struct.unpack_from("<H", blob, at)[0]
        at += 2 + extra
        dialog["controls"].append({"id": cid, "class": cclass, "text": ctext, "style": cstyle,
                                   "rect": (x, y, cx, cy)})
    return dialog


def decode_menu(blob):
    """A MENU template as nested lists: (text, id) for items, (text, [items]) for pop-ups."""
    MF_POPUP, MF_END = 0x10, 0x80

    def read_items(at):
        items = []
        while True:
            flags = struct.unpack_from("<H", blob, at)[0]
            at += 2
            item_id = None
            if not flags & MF_POPUP:
                item_id = struct.unpack_from("<H", blob, at)[0]
                at += 2
            text, at = _read_sz_or_ord(blob, at)
            if flags & MF_POPUP:
                children, at = read_items(at)
                items.append((text, children))
            else:
                items.append((text, item_id))
            if flags & MF_END:
                return items, at

    header_size = struct.unpack_from("<H", blob, 2)[0]
    return read_items(4 + header_size)[0]
