#!/usr/bin/env python3
"""Writes the malformed tag files used by the tests, each named after its defect.

Every file is a tag followed by a few bytes of fake audio (AUDIO_TAIL), so the
tests can check that the audio is never touched.
"""
import os
import struct

AUDIO_TAIL = b"\xff\xfb\x90\x64" + bytes(range(60))


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def header(size, major=3, revision=0, flags=0):
    return b"ID3" + bytes([major, revision, flags]) + syncsafe(size)


def frame23(fid, data, size=None):
    return fid + struct.pack(">I", len(data) if size is None else size) + b"\0\0" + data


def frame22(fid, data):
    return fid + struct.pack(">I", len(data))[1:] + data


def unsynchronise(data):
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and i + 1 < len(data) and (data[i + 1] == 0 or data[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def tag23(frames, padding=0, flags=0, size=None, major=3, revision=0):
    body = b"".join(frames) + bytes(padding)
    return header(len(body) if size is None else size, major, revision, flags) + body


FIXTURES = {
    # Declares a 1 MB tag in a file of a few dozen bytes.
    "tag_size_beyond_file.mp3": tag23([frame23(b"TIT2", b"\0Title")], size=1 << 20),
    # The extended header claims more bytes than the whole body.
    "extended_header_beyond_body.mp3":
        tag23([syncsafe(5000) + b"\0\0", frame23(b"TIT2", b"\0Title")], flags=0x40),
    # The second frame's size runs far past the tag; the first frame is still read.
    "frame_size_past_tag.mp3":
        tag23([frame23(b"TIT2", b"\0Kept title"), frame23(b"TPE1", b"\0Lost", size=0x7FFFFFF0)], padding=8),
    # A text frame with no data at all, not even its encoding byte.
    "text_frame_without_encoding_byte.mp3":
        tag23([frame23(b"TIT2", b""), frame23(b"TPE1", b"\0Artist")], padding=4),
    # A comment of two bytes: shorter than its encoding byte plus language.
    "comm_shorter_than_language.mp3":
        tag23([frame23(b"COMM", b"\0e"), frame23(b"TIT2", b"\0Title")], padding=4),
    # A comment whose description never ends with a zero byte.
    "comm_description_unterminated.mp3":
        tag23([frame23(b"COMM", b"\0engdescription without end"), frame23(b"TIT2", b"\0Title")], padding=4),
    # Versions the reader does not take: ID3v2.4 and a later ID3v2.3 revision.
    "id3v24_tag.mp3": tag23([frame23(b"TIT2", b"\0Title")], major=4),
    "id3v23_later_revision.mp3": tag23([frame23(b"TIT2", b"\0Title")], revision=1),
    "id3v23_revision_above_127.mp3": tag23([frame23(b"TIT2", b"\0Title")], revision=0x80),
    # Unsynchronised body that ends in 0xFF, the last byte of the file's tag.
    "unsynchronised_body_ends_in_ff.mp3":
        tag23([unsynchronise(frame23(b"TIT2", b"\0Ti\xff\xe0tle\xff"))], flags=0x80),
    # A file of four bytes that starts like a tag.
    "header_cut_after_four_bytes.mp3": b"ID3\x03",
    # A header with no body at all.
    "header_without_body.mp3": header(100),
    # Frame sizes at the 32-bit limit (size + 10 would overflow a 32-bit sum).
    "frame_size_wraps_32_bits.mp3":
        tag23([frame23(b"TIT2", b"\0Title"), frame23(b"TALB", b"", size=0xFFFFFFFA)], padding=16),
    # An ID3v2.2 tag whose size field overflows the remaining bytes in its second frame.
    "id3v22_frame_size_past_tag.mp3":
        tag23([frame22(b"TT2", b"\0Title"), b"TP1\xff\xff\xff\0Artist"], major=2),
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, data in FIXTURES.items():
        with open(os.path.join(here, name), "wb") as f:
            f.write(data + (AUDIO_TAIL if name != "header_cut_after_four_bytes.mp3" else b""))


if __name__ == "__main__":
    main()
