#!/usr/bin/python3
"""Cross-checks our ID3v2 reader and writer against independent tools.

Files we write are read back by mutagen and by the id3v2 program; files that
mutagen writes, and hand-built ID3v2.2 tags, are read by ours. The audio behind
every tag is compared byte for byte.

usage: crosscheck.py <path to id3_tool>
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

try:
    import mutagen.id3 as mid3
except ImportError:
    sys.exit("crosscheck: python3-mutagen is missing (apt-get install python3-mutagen)")
if shutil.which("id3v2") is None:
    sys.exit("crosscheck: the id3v2 program is missing (apt-get install id3v2)")

TOOL = sys.argv[1]
FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL:", what)


def audio_bytes(n=40000):
    data = bytearray(os.urandom(n))
    data[0:4] = b"\xff\xfb\x90\x64"  # an MPEG frame header, as real files start
    return bytes(data)


def tag_end(data):
    """Offset just past an ID3v2 tag at the start of data (0 without a tag)."""
    if data[:3] != b"ID3":
        return 0
    s = data[6:10]
    return 10 + ((s[0] & 0x7F) << 21 | (s[1] & 0x7F) << 14 | (s[2] & 0x7F) << 7 | (s[3] & 0x7F))


def ours_write(path, title=b"", artist=b"", album=b"", year=b"", comment=b"", track=b"", genre=b""):
    args = [TOOL, "write", path] + [v.hex() for v in (title, artist, album, year, comment, track, genre)]
    return subprocess.run(args).returncode == 0


def ours_read(path):
    result = subprocess.run([TOOL, "read", path], capture_output=True, text=True)
    if result.returncode != 0:
        return None
    return {k: bytes.fromhex(v) for k, v in (line.split("=", 1) for line in result.stdout.splitlines())}


def ours_frames(path):
    result = subprocess.run([TOOL, "frames", path], capture_output=True, text=True)
    if result.returncode != 0:
        return None
    return [(k, bytes.fromhex(v)) for k, v in (line.split("=", 1) for line in result.stdout.splitlines())]


def id3v2_listing(path):
    return subprocess.run(["id3v2", "-l", path], capture_output=True).stdout


def test_our_writes_read_by_others(work):
    path = os.path.join(work, "ours.mp3")
    audio = audio_bytes()
    with open(path, "wb") as f:
        f.write(audio)
    fields = dict(title=b"Title text", artist=b"Artist name", album=b"Album", year=b"2001",
                  comment=b"A comment", track=b"7", genre=b"Rock")
    check(ours_write(path, **fields), "our writer tags an untagged file")
    data = open(path, "rb").read()
    check(data[tag_end(data):] == audio, "audio intact after a new tag")

    tag = mid3.ID3(path, translate=False)
    check(tag.version == (2, 3, 0), "mutagen sees ID3v2.3.0, got %r" % (tag.version,))
    check(str(tag["TIT2"]) == "Title text", "mutagen TIT2")
    check(str(tag["TPE1"]) == "Artist name", "mutagen TPE1")
    check(str(tag["TALB"]) == "Album", "mutagen TALB")
    check(str(tag["TYER"]) == "2001", "mutagen TYER")
    check(str(tag["TRCK"]) == "7", "mutagen TRCK")
    check(tag["TCON"].text == ["(17)Rock"], "mutagen TCON raw text (17)Rock, got %r" % tag["TCON"].text)
    check(tag["TCON"].genres == ["Rock"], "mutagen TCON genre Rock")
    comms = tag.getall("COMM")
    check(len(comms) == 1 and comms[0].lang == "eng" and comms[0].desc == "" and comms[0].text == ["A comment"],
          "mutagen COMM eng/''/A comment, got %r" % comms)

    listing = id3v2_listing(path)
    for expected in (b"TIT2 (Title/songname/content description): Title text",
                     b"TPE1 (Lead performer(s)/Soloist(s)): Artist name",
                     b"TALB (Album/Movie/Show title): Album",
                     b"TYER (Year): 2001",
                     b"TRCK (Track number/Position in set): 7",
                     b"TCON (Content type): Rock (17)",
                     b"COMM (Comments): ()[eng]: A comment"):
        check(expected in listing, "id3v2 lists %r" % expected)

    # A longer text within the padding: the file keeps its size.
    size = len(data)
    check(ours_write(path, title=b"Title text, a little longer", genre=b"Juzz+Funk"), "rewrite in place")
    data = open(path, "rb").read()
    check(len(data) == size, "in-place rewrite keeps the file size")
    check(data[tag_end(data):] == audio, "audio intact after an in-place rewrite")
    tag = mid3.ID3(path, translate=False)
    check(str(tag["TIT2"]) == "Title text, a little longer", "mutagen reads the rewritten title")
    check(tag["TCON"].text == ["Juzz+Funk"], "a genre outside the ID3v2 list has no number")
    check("TPE1" not in tag, "an empty artist removes TPE1")

    # A false sync in the text: the unsynchronisation flag is set and the text survives.
    title = b"A\xff\xe0Z"
    check(ours_write(path, title=title, artist=b"x" * 3000), "grow the tag with a false sync")
    data = open(path, "rb").read()
    check(data[5] & 0x80 == 0x80, "unsynchronisation flag set")
    check(b"A\xff\x00\xe0Z" in data[:tag_end(data)], "zero byte inserted after 0xFF")
    check(data[tag_end(data):] == audio, "audio intact after growing the tag")
    tag = mid3.ID3(path, translate=False)
    check(tag.f_unsynch, "mutagen sees the unsynchronisation flag")
    check(str(tag["TIT2"]).encode("latin-1") == title, "mutagen reads the unsynchronised title")
    listing = id3v2_listing(path)
    # id3v2 prints ISO-8859-1 texts converted to the locale's encoding.
    check(any(b"TIT2 (Title/songname/content description): " + t in listing
              for t in (title, title.decode("latin-1").encode("utf-8"))),
          "id3v2 reads the unsynchronised title")
    check(ours_read(path)["title"] == title, "we read our unsynchronised title")


def test_mutagen_writes_read_by_ours(work):
    path = os.path.join(work, "mutagen.mp3")
    audio = audio_bytes()
    with open(path, "wb") as f:
        f.write(audio)
    tag = mid3.ID3()
    tag.add(mid3.TIT2(encoding=0, text="Their title"))
    tag.add(mid3.TPE1(encoding=0, text="Their artist"))
    tag.add(mid3.TALB(encoding=0, text="Their album"))
    tag.add(mid3.TYER(encoding=0, text="1999"))
    tag.add(mid3.TRCK(encoding=0, text="3/12"))
    tag.add(mid3.TCON(encoding=0, text="(13)Pop"))
    # The comment field is the comment without a description, wherever it stands.
    tag.add(mid3.COMM(encoding=0, lang="eng", desc="iTunNORM", text=" 0000021A 00000000"))
    tag.add(mid3.COMM(encoding=0, lang="eng", desc="", text="Their comment"))
    tag.add(mid3.TXXX(encoding=0, desc="extra", text="kept"))
    picture = os.urandom(5000)
    tag.add(mid3.APIC(encoding=0, mime="image/png", type=3, desc="cover", data=picture))
    tag.save(path, v2_version=3, padding=lambda info: 1000)
    data = open(path, "rb").read()
    check(data[3:5] == b"\x03\x00", "mutagen wrote ID3v2.3.0")

    got = ours_read(path)
    check(got is not None, "we read mutagen's tag")
    if got:
        expected = dict(title=b"Their title", artist=b"Their artist", album=b"Their album", year=b"1999",
                        comment=b"Their comment", track=b"3/12", genre=b"Pop")
        for key, value in expected.items():
            check(got[key] == value, "we read mutagen's %s: %r" % (key, got[key]))

    # A Unicode frame reads as empty.
    tag = mid3.ID3(path, translate=False)
    tag.add(mid3.TALB(encoding=1, text="Unicode album"))
    tag.save(path, v2_version=3, padding=lambda info: 1000)
    got = ours_read(path)
    check(got is not None and got["album"] == b"", "a UTF-16 album reads as empty")

    # Our write keeps mutagen's other frames, picture included.
    check(ours_write(path, title=b"New title", album=b"Plain album", genre=b"Anime(J)"), "we write into mutagen's tag")
    data = open(path, "rb").read()
    check(data[tag_end(data):] == audio, "audio intact after writing into mutagen's tag")
    tag = mid3.ID3(path, translate=False)
    check(str(tag["TIT2"]) == "New title", "mutagen reads our title")
    check(tag["TALB"].encoding == 0 and str(tag["TALB"]) == "Plain album", "album rewritten as ISO-8859-1")
    check(tag["TCON"].text == ["Anime(J)"], "Anime(J) is written without its number")
    pics = tag.getall("APIC")
    check(len(pics) == 1 and pics[0].data == picture, "the picture survives our write")
    check(str(tag["TXXX:extra"]) == "kept", "TXXX survives our write")


def frame22(fid, data):
    return fid + struct.pack(">I", len(data))[1:] + data


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


V22_IDS = [(b"TT2", "TIT2"), (b"TRK", "TRCK"), (b"TP1", "TPE1"), (b"TAL", "TALB"), (b"TYE", "TYER"),
           (b"TCO", "TCON"), (b"COM", "COMM"), (b"TCM", "TCOM"), (b"TOA", "TOPE"), (b"TCR", "TCOP"),
           (b"WXX", "WXXX"), (b"TSS", "TSSE"), (b"TEN", "TENC")]


def test_id3v22_read_by_ours(work):
    path = os.path.join(work, "v22.mp3")
    audio = audio_bytes()
    frames = b""
    for old, new in V22_IDS:
        data = b"\0eng\0" + new.encode() if old in (b"COM", b"WXX") else b"\0" + new.encode() + b" text"
        if old == b"WXX":
            data = b"\0\0http://example"
        frames += frame22(old, data)
    body = frames + frame22(b"PIC", b"\0PNG\x03\0picture") + frame22(b"TCP", b"\0after") + bytes(64)
    with open(path, "wb") as f:
        f.write(b"ID3\x02\x00\x00" + syncsafe(len(body)) + body + audio)
    got = ours_frames(path)
    check(got is not None, "we read an ID3v2.2 tag")
    if got:
        ids = sorted(k for k, _ in got)
        check(ids == sorted([new for _, new in V22_IDS] + ["APIC", "TCMP"]),
              "every frame is translated, PIC and TCP too: %r" % ids)
    fields = ours_read(path)
    check(fields and fields["title"] == b"TIT2 text" and fields["comment"] == b"COMM", "ID3v2.2 texts: %r" % fields)

    # Written back as ID3v2.3 that mutagen reads with four-character IDs.
    check(ours_write(path, title=b"Converted", artist=b"TPE1 text"), "we write an ID3v2.2 file")
    data = open(path, "rb").read()
    check(data[3:5] == b"\x03\x00", "written back as ID3v2.3.0")
    check(data[tag_end(data):] == audio, "audio intact after converting ID3v2.2")
    tag = mid3.ID3(path, translate=False)
    check(str(tag["TIT2"]) == "Converted" and str(tag["TENC"]) == "TENC text", "mutagen reads the converted tag")
    pics = tag.getall("APIC")
    check(len(pics) == 1 and pics[0].mime == "image/png" and pics[0].type == 3 and pics[0].data == b"picture",
          "the picture is converted: %r" % pics)
    check(str(tag["TCMP"]) == "after", "the frame after the picture is kept")

    # A frame without a counterpart refuses the write; the file stays as it was.
    body = frames + frame22(b"CRM", b"owner\0secret") + bytes(64)
    with open(path, "wb") as f:
        f.write(b"ID3\x02\x00\x00" + syncsafe(len(body)) + body + audio)
    before = open(path, "rb").read()
    check(not ours_write(path, title=b"Converted"), "an unconvertible ID3v2.2 tag is not written")
    check(open(path, "rb").read() == before, "the refused ID3v2.2 file is byte-identical")


def ours_read_unicode(path):
    result = subprocess.run([TOOL, "read-unicode", path], capture_output=True, text=True)
    if result.returncode != 0:
        return None
    return {k: bytes.fromhex(v).decode("utf-8") for k, v in (line.split("=", 1) for line in result.stdout.splitlines())}


UNICODE_TEXTS = dict(title="日本語のタイトル", artist="Артист", album="Ünïcödé 専辑", comment="コメント 𝄞")


def mutagen_unicode_file(path, audio, version, encoding):
    with open(path, "wb") as f:
        f.write(audio)
    tag = mid3.ID3()
    tag.add(mid3.TIT2(encoding=encoding, text=UNICODE_TEXTS["title"]))
    tag.add(mid3.TPE1(encoding=encoding, text=UNICODE_TEXTS["artist"]))
    tag.add(mid3.TALB(encoding=encoding, text=UNICODE_TEXTS["album"]))
    tag.add(mid3.COMM(encoding=encoding, lang="eng", desc="", text=UNICODE_TEXTS["comment"]))
    tag.save(path, v2_version=version)


def check_unicode_read(path, what):
    """Our Unicode reading gives what mutagen reads from the same file."""
    got = ours_read_unicode(path)
    check(got is not None, "%s: we read the tag" % what)
    if got is None:
        return
    tag = mid3.ID3(path)
    check(got["title"] == tag["TIT2"].text[0], "%s: title %r vs mutagen %r" % (what, got["title"], tag["TIT2"].text[0]))
    check(got["artist"] == tag["TPE1"].text[0], "%s: artist %r" % (what, got["artist"]))
    check(got["album"] == tag["TALB"].text[0], "%s: album %r" % (what, got["album"]))
    comms = tag.getall("COMM")
    check(comms and got["comment"] == comms[0].text[0], "%s: comment %r" % (what, got["comment"]))
    # The plain reader keeps its old answer: no ID3v2.4 tag, no Unicode text.
    plain = ours_read(path)
    if tag.version[1] == 4:
        check(plain is None, "%s: plain reading takes no ID3v2.4 tag" % what)
    else:
        check(plain is not None and plain["title"] == b"", "%s: plain reading gives no Unicode title" % what)


def frame24(fid, data, flags=0):
    return fid.encode() + syncsafe(len(data)) + struct.pack(">H", flags) + data


def frame23(fid, data, flags=0):
    return fid.encode() + struct.pack(">IH", len(data), flags) + data


def unsynchronise(data):
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and (i + 1 == len(data) or data[i + 1] == 0 or data[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def test_unicode_files_read_like_mutagen(work):
    audio = audio_bytes()
    path = os.path.join(work, "v24utf8.mp3")
    mutagen_unicode_file(path, audio, 4, 3)
    check(open(path, "rb").read()[3] == 4, "mutagen wrote ID3v2.4")
    check_unicode_read(path, "ID3v2.4 UTF-8")

    path = os.path.join(work, "v23utf16.mp3")
    mutagen_unicode_file(path, audio, 3, 1)
    check_unicode_read(path, "ID3v2.3 UTF-16 with BOM")

    # UTF-16 without byte-order marks (little-endian, as mutagen reads it) and
    # ID3v2.4's big-endian encoding 2: built by hand, read by both.
    title = UNICODE_TEXTS["title"]
    frames = (frame23("TIT2", b"\x01" + title.encode("utf-16-le")) +
              frame23("TPE1", b"\x01" + UNICODE_TEXTS["artist"].encode("utf-16-le")) +
              frame23("TALB", b"\x00plain") +
              frame23("COMM", b"\x01eng\x00\x00" + UNICODE_TEXTS["comment"].encode("utf-16-le")))
    path = os.path.join(work, "v23nobom.mp3")
    with open(path, "wb") as f:
        f.write(b"ID3\x03\x00\x00" + syncsafe(len(frames) + 64) + frames + bytes(64) + audio)
    check_unicode_read(path, "ID3v2.3 UTF-16 without BOM")

    # ID3v2.4 with unsynchronised frames (the byte-order mark FF FE needs it),
    # a data-length indicator, and the big-endian encoding.
    def unsynced(fid, text_bytes):
        data = unsynchronise(text_bytes)
        return frame24(fid, syncsafe(len(text_bytes)) + data, 0x0003)
    frames = (unsynced("TIT2", b"\x01" + title.encode("utf-16")) +
              unsynced("TPE1", b"\x01\xff\xfe" + UNICODE_TEXTS["artist"].encode("utf-16-le")) +
              frame24("TALB", b"\x02" + UNICODE_TEXTS["album"].encode("utf-16-be")) +
              unsynced("COMM", b"\x01eng\xff\xfe\x00\x00\xff\xfe" + UNICODE_TEXTS["comment"].encode("utf-16-le")))
    path = os.path.join(work, "v24unsync.mp3")
    with open(path, "wb") as f:
        f.write(b"ID3\x04\x00\x00" + syncsafe(len(frames) + 32) + frames + bytes(32) + audio)
    check_unicode_read(path, "ID3v2.4 unsynchronised frames")

    # Without Unicode reading a write into the ID3v2.4 tag is refused and leaves
    # the file as it was; with it the tag is written back as ID3v2.4.
    before = open(path, "rb").read()
    refused = subprocess.run([TOOL, "write", path] + [b"x".hex()] * 7).returncode != 0
    check(refused, "a write into an ID3v2.4 tag is refused without Unicode reading")
    check(open(path, "rb").read() == before, "the refused file is byte-identical")
    got = ours_read_unicode(path)
    texts = [b"New title", got["artist"].encode("utf-8"), got["album"].encode("utf-8"), b"",
             got["comment"].encode("utf-8"), b"", b""]
    ok = subprocess.run([TOOL, "write-unicode", path] + [t.hex() for t in texts]).returncode == 0
    check(ok, "a write into an ID3v2.4 tag with Unicode reading")
    data = open(path, "rb").read()
    check(data[3] == 4 and data[tag_end(data):] == audio, "still ID3v2.4, audio intact")
    tag = mid3.ID3(path, translate=False)
    check(tag.version == (2, 4, 0) and str(tag["TIT2"]) == "New title", "mutagen reads the new ID3v2.4 title")
    check(tag["TPE1"].text[0] == UNICODE_TEXTS["artist"] and tag["TALB"].text[0] == UNICODE_TEXTS["album"],
          "untouched ID3v2.4 frames read as before")

    # A write that changes only the year keeps mutagen's UTF-16 frames: mutagen
    # still reads every Unicode text.
    path = os.path.join(work, "v23utf16.mp3")
    got = ours_read_unicode(path)
    texts = [got[k].encode("utf-8") for k in ("title", "artist", "album")] + [b"2024", got["comment"].encode("utf-8"),
                                                                               b"", b""]
    ok = subprocess.run([TOOL, "write-unicode", path] + [t.hex() for t in texts]).returncode == 0
    check(ok, "we write the year into mutagen's UTF-16 tag")
    data = open(path, "rb").read()
    check(data[tag_end(data):] == audio, "audio intact after the write")
    tag = mid3.ID3(path, translate=False)
    check("TYER" in tag and str(tag["TYER"]) == "2024", "mutagen reads our year")
    for fid, key in (("TIT2", "title"), ("TPE1", "artist"), ("TALB", "album")):
        check(tag[fid].text[0] == UNICODE_TEXTS[key], "untouched %s still reads %r" % (fid, tag[fid].text[0]))

def ours_edit(path, mode, title=None):
    args = [TOOL, "edit", path, mode] + ([title.hex()] if title is not None else [])
    return subprocess.run(args).returncode == 0


def split_frames(body, version):
    """(id, flags, data) of each frame of a tag body, up to the padding."""
    frames, pos = [], 0
    while pos + 10 <= len(body) and body[pos:pos + 4] != b"\0\0\0\0":
        fid, size_bytes, flags = body[pos:pos + 4], body[pos + 4:pos + 8], body[pos + 8:pos + 10]
        size = struct.unpack(">I", size_bytes)[0] if version == 3 else \
            (size_bytes[0] << 21 | size_bytes[1] << 14 | size_bytes[2] << 7 | size_bytes[3])
        frames.append((fid, flags, body[pos + 10:pos + 10 + size]))
        pos += 10 + size
    return frames


def rebuild(data, unsynchronised=False, extended=False):
    """Mutagen's tag again, unsynchronised and/or behind an extended header, as
    other writers leave them (mutagen writes neither)."""
    version = data[3]
    body = data[10:tag_end(data)]
    frames = split_frames(body, version)
    out = b""
    for fid, flags, payload in frames:
        if version == 4 and unsynchronised:
            payload = unsynchronise(payload)
            flags = bytes([flags[0], flags[1] | 0x02])
        size = syncsafe(len(payload)) if version == 4 else struct.pack(">I", len(payload))
        out += fid + size + flags + payload
    out += bytes(256)
    if extended:
        out = (syncsafe(6) + b"\x01\x00" if version == 4 else struct.pack(">IHI", 6, 0, 0)) + out
    if version == 3 and unsynchronised:
        out = unsynchronise(out)
    flags = (0x80 if unsynchronised else 0) | (0x40 if extended else 0)
    return data[:5] + bytes([flags]) + syncsafe(len(out)) + out + data[tag_end(data):]


def frames_as_mutagen_sees(path, v23=False):
    tag = mid3.ID3(path, translate=False)
    if v23:
        tag.update_to_v23()
    return tag.version, {key: repr(frame) for key, frame in tag.items() if not key.startswith("TIT2")}


def mutagen_rich_file(path, audio, version):
    with open(path, "wb") as f:
        f.write(audio)
    tag = mid3.ID3()
    wide = 3 if version == 4 else 1
    tag.add(mid3.TIT2(encoding=wide, text=UNICODE_TEXTS["title"]))
    tag.add(mid3.TPE1(encoding=1, text=UNICODE_TEXTS["artist"]))
    tag.add(mid3.TALB(encoding=0, text="A" * 200))
    tag.add(mid3.TRCK(encoding=0, text="3/12"))
    for desc, value in (("replaygain_track_gain", "-6.20 dB"), ("replaygain_track_peak", "0.988"),
                        ("MusicBrainz Album Id", "0d8c5c1e"), ("Ünïcode", UNICODE_TEXTS["album"])):
        tag.add(mid3.TXXX(encoding=wide, desc=desc, text=value))
    tag.add(mid3.COMM(encoding=0, lang="eng", desc="iTunNORM", text=" 0000021A 00000000"))
    tag.add(mid3.COMM(encoding=wide, lang="eng", desc="", text=UNICODE_TEXTS["comment"]))
    tag.add(mid3.COMM(encoding=0, lang="jpn", desc="CDDB", text="9f0a1c0b"))
    tag.add(mid3.APIC(encoding=0, mime="image/jpeg", type=3, desc="front", data=b"\xff\xd8\xff\xe0" + os.urandom(3000)))
    tag.add(mid3.APIC(encoding=wide, mime="image/png", type=4, desc="back", data=os.urandom(2000)))
    tag.add(mid3.PRIV(owner="WM/MediaClassPrimaryID", data=os.urandom(16)))
    tag.add(mid3.PRIV(owner="WM/Provider", data=b"A\0M\0G\0\0\0"))
    tag.add(mid3.UFID(owner="http://musicbrainz.org", data=b"1234-5678"))
    tag.save(path, v2_version=version, padding=lambda info: 500)


def v22_rich_file(path, audio):
    frames = (frame22(b"TT2", b"\0Old title") + frame22(b"TP1", b"\x01" + "Артист".encode("utf-16")) +
              frame22(b"TAL", b"\0" + b"A" * 200) + frame22(b"TCP", b"\x001") + frame22(b"TPA", b"\x001/2") +
              frame22(b"TBP", b"\x00120") + frame22(b"TS2", b"\0Sort artist") +
              frame22(b"TXX", b"\0replaygain_track_gain\0-6.20 dB") + frame22(b"TXX", b"\0other\0x") +
              frame22(b"COM", b"\0engiTunNORM\0 0000021A") + frame22(b"COM", b"\0eng\0the comment") +
              frame22(b"ULT", b"\0eng\0some words") + frame22(b"PIC", b"\0JPG\x03front\0" + os.urandom(500)) +
              frame22(b"PIC", b"\0PNG\x04back\0" + os.urandom(300)) + frame22(b"UFI", b"owner\0id"))
    body = frames + bytes(128)
    with open(path, "wb") as f:
        f.write(b"ID3\x02\x00\x00" + syncsafe(len(body)) + body + audio)


def test_round_trip_keeps_every_frame(work):
    """Mutagen's (and hand-built) tags of every kind: a write with nothing
    changed and one that changes the title leave every other frame as mutagen
    sees it, and the audio byte for byte."""
    audio = audio_bytes()
    cases = []
    for version in (3, 4):
        base = os.path.join(work, "rich%d.mp3" % version)
        mutagen_rich_file(base, audio, version)
        original = open(base, "rb").read()
        for unsync, extended in ((False, False), (True, False), (False, True), (True, True)):
            if version == 3 and unsync and extended:
                continue  # mutagen reads only the first frame of such a tag: it cannot judge it
            cases.append(("ID3v2.%d%s%s" % (version, " unsynchronised" if unsync else "", " extended" if extended else ""),
                          rebuild(original, unsync, extended)))
    v22 = os.path.join(work, "rich22.mp3")
    v22_rich_file(v22, audio)
    cases.append(("ID3v2.2", open(v22, "rb").read()))
    for what, data in cases:
        v4 = data[3] == 4
        path = os.path.join(work, "roundtrip.mp3")
        with open(path, "wb") as f:
            f.write(data)
        version, before = frames_as_mutagen_sees(path, v23=data[3] == 2)
        check(len(before) >= 14, "%s: mutagen sees the frames (%d)" % (what, len(before)))
        # ID3v2.4 is written only with Unicode reading; the other tags either way.
        for mode in (("unicode",) if v4 else ("plain", "unicode")):
            for title in (None, "New title".encode()):
                with open(path, "wb") as f:
                    f.write(data)
                step = "%s, %s, %s" % (what, mode, "title changed" if title else "unchanged")
                check(ours_edit(path, mode, title), "%s: written" % step)
                written = open(path, "rb").read()
                check(written[tag_end(written):] == audio, "%s: audio intact" % step)
                check(written[3] == (4 if v4 else 3), "%s: version %d" % (step, written[3]))
                _, after = frames_as_mutagen_sees(path, v23=data[3] == 2)
                check(after == before, "%s: every other frame as it was: %r" %
                      (step, sorted(set(before.items()) ^ set(after.items()))[:4]))
                tag = mid3.ID3(path, translate=False)
                if title:
                    check(str(tag["TIT2"]) == "New title", "%s: mutagen reads the new title" % step)
                elif data[3] != 2:
                    check(tag["TIT2"].text[0] == UNICODE_TEXTS["title"], "%s: the title unchanged" % step)



def test_id3v24_variants_of_other_writers(work):
    """ID3v2.4 tags as some writers leave them, which mutagen reads: the
    extended-header flag with no extended header, and frame sizes as plain
    numbers. With Unicode reading we read what mutagen reads, and a title
    change keeps every other frame."""
    audio = audio_bytes()
    base = os.path.join(work, "v24base.mp3")
    mutagen_rich_file(base, audio, 4)
    original = open(base, "rb").read()
    frames = split_frames(original[10:tag_end(original)], 4)
    plain = b"".join(fid + struct.pack(">I", len(data)) + flags + data for fid, flags, data in frames) + bytes(300)
    flag_only = b"".join(fid + syncsafe(len(data)) + flags + data for fid, flags, data in frames) + bytes(300)
    for what, flags, body in (("plain frame sizes", 0, plain), ("extended-header flag only", 0x40, flag_only)):
        path = os.path.join(work, "v24variant.mp3")
        with open(path, "wb") as f:
            f.write(b"ID3\x04\x00" + bytes([flags]) + syncsafe(len(body)) + body + audio)
        check(len(mid3.ID3(path, translate=False)) >= 14, "%s: mutagen reads the frames" % what)
        got = ours_read_unicode(path)
        tag = mid3.ID3(path, translate=False)
        check(got is not None and got["title"] == tag["TIT2"].text[0] and got["artist"] == tag["TPE1"].text[0] and
              got["album"] == tag["TALB"].text[0][:128] and got["comment"] == tag["COMM::eng"].text[0],
              "%s: we read what mutagen reads: %r" % (what, got))
        _, before = frames_as_mutagen_sees(path)
        check(ours_edit(path, "unicode", "New title".encode()), "%s: written" % what)
        written = open(path, "rb").read()
        check(written[tag_end(written):] == audio, "%s: audio intact" % what)
        _, after = frames_as_mutagen_sees(path)
        check(after == before, "%s: every other frame as it was" % what)
        check(str(mid3.ID3(path)["TIT2"]) == "New title", "%s: mutagen reads the new title" % what)


def main():
    work = tempfile.mkdtemp(prefix="id3-crosscheck-")
    try:
        test_our_writes_read_by_others(work)
        test_mutagen_writes_read_by_ours(work)
        test_id3v22_read_by_ours(work)
        test_unicode_files_read_like_mutagen(work)
        test_round_trip_keeps_every_frame(work)
        test_id3v24_variants_of_other_writers(work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if FAILURES:
        print("%d cross-check(s) failed" % len(FAILURES))
        return 1
    print("all cross-checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
