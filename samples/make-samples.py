#!/usr/bin/env python3
"""Writes the sample files next to this script: one small file for each kind of answer.

Only the first bytes of a file decide its type, so most samples are a valid header and
little else. Every byte is fixed here, so running the script again gives the same files.
"""
import io
import os
import struct
import sys
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def riff(form, chunks):
    body = form + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def chunk(tag, data):
    pad = b"\0" if len(data) % 2 else b""
    return tag + struct.pack("<I", len(data)) + data + pad


def avi():
    # RIFF "AVI " with a main header of one 8x8 frame; no frames follow.
    avih = struct.pack("<10I4I", 40000, 0, 0, 0x10, 1, 0, 1, 0, 8, 8, 0, 0, 0, 0)
    return riff(b"AVI ", [chunk(b"LIST", b"hdrl" + chunk(b"avih", avih))])


def mp3():
    # An ID3v2.3 tag (title only) followed by one silent MPEG-1 Layer III frame header.
    frame = b"TIT2" + struct.pack(">I", 7) + b"\0\0" + b"\0sample"
    tag = b"ID3\x03\x00\x00" + bytes([0, 0, 0, len(frame)]) + frame
    return tag + b"\xff\xfb\x90\x64" + bytes(413)


def mkv():
    # EBML header (version 1) announcing a Matroska document, then an empty Segment.
    fields = b"\x42\x86\x81\x01" + b"\x42\x82\x88matroska"
    header = b"\x1a\x45\xdf\xa3" + bytes([0x80 | len(fields)]) + fields
    return header + b"\x18\x53\x80\x67\x80"


def mpeg_ts():
    # Three 188-byte transport packets: PAT, then two null packets.
    pat = b"\x47\x40\x00\x10\x00\x00\xb0\x0d\x00\x01\xc1\x00\x00\x00\x01\xf0\x00\x2a\xb1\x04\xb2"
    packets = [pat.ljust(188, b"\xff")]
    packets += [b"\x47\x1f\xff\x10".ljust(188, b"\xff") for _ in range(2)]
    return b"".join(packets)


def png():
    # A real 1x1 grey image.
    def png_chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))
    ihdr = struct.pack(">IIBBBBB", 1, 1, 8, 0, 0, 0, 0)
    idat = zlib.compress(b"\x00\x80", 9)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) + png_chunk(b"IDAT", idat)
            + png_chunk(b"IEND", b""))


def zip_archive():
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_STORED) as archive:
        info = zipfile.ZipInfo("readme.txt", date_time=(2020, 1, 1, 0, 0, 0))
        archive.writestr(info, b"A file inside an archive.\n")
    return buffer.getvalue()


def torrent():
    # Bencoded: a dictionary whose first key is "announce"; it ends with "e".
    info = b"d6:lengthi1024e4:name8:clip.avi12:piece lengthi16384e6:pieces20:" + bytes(20) + b"e"
    return b"d8:announce30:http://tracker.example/announce4:info" + info + b"e"


def shortcut():
    # The fixed part of a shell link header: size 0x4C and the link class identifier.
    header = struct.pack("<I", 0x4C) + bytes.fromhex("0114020000000000c000000000000046")
    return header.ljust(0x4C, b"\0")


def unknown_binary():
    # Bytes that no signature names, with low bytes so that they are not text either.
    return bytes((i * 37 + 11) % 7 for i in range(256))


SAMPLES = {
    "empty.avi": b"",
    "shortcut.lnk": shortcut(),
    "movie.mkv.part": mkv(),
    "notes.txt": "Plain text notes.\r\n纯文本。\r\n".encode("utf-8"),
    "page.html": b"<html><head><title>Sample</title></head><body>Hello</body></html>\n",
    "picture.png": png(),
    "archive.zip": zip_archive(),
    "clip.avi": avi(),
    "song.mp3": mp3(),
    "video.mkv": mkv(),
    "stream.ts": mpeg_ts(),
    "seed.torrent": torrent(),
    "clip-renamed.txt": avi(),
    "recording": mp3(),
    "unknown.xyz": unknown_binary(),
    os.path.join("store", "VODCache", "clip.dat"): mkv(),
}


def main():
    for name, data in SAMPLES.items():
        assert len(data) < 4096, name
        path = os.path.join(HERE, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)
    print("wrote %d samples to %s" % (len(SAMPLES), HERE), file=sys.stderr)


if __name__ == "__main__":
    main()
