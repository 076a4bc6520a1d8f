#!/bin/sh
# Counts false alarms of --explain: files that play to their end (ffmpeg writes them, or they are
# built from ffmpeg's output the way tools and devices leave them) must get no reason at all.
# Prints every file that got one, then the count. Usage: false_alarms.sh KINDPROBE [DIR]
set -eu

kindprobe=$1
dir=${2:-$(mktemp -d)}
mkdir -p "$dir"

video="-f lavfi -i testsrc=size=64x48:rate=25:duration=2"
audio="-f lavfi -i sine=frequency=440:sample_rate=22050:duration=2"
make() { # NAME INPUT OPTIONS...
  name=$1; input=$2; shift 2
  # shellcheck disable=SC2086
  ffmpeg -hide_banner -loglevel error -nostdin -y $input "$@" "$dir/$name" ||
    echo "ffmpeg could not write $name: left out" >&2
}
make avi.avi "$video" -c:v mpeg4
make mkv.mkv "$video" -c:v mpeg4
make webm.webm "$video" -c:v libvpx
make mkv-live.mkv "$video" -c:v mpeg4 -live 1
make mp4.mp4 "$video" -c:v mpeg4
make faststart.mp4 "$video" -c:v mpeg4 -movflags +faststart
make fragmented.mp4 "$video" -c:v mpeg4 -movflags frag_keyframe -frag_duration 500000
make streaming.mp4 "$video" -c:v mpeg4 -movflags frag_keyframe+empty_moov
make mov.mov "$video" -c:v mpeg4
make 3gp.3gp "$video" -s 176x144 -c:v h263 -ar 8000 -ac 1
make m4a.m4a "$audio" -c:a aac
make flv.flv "$video" -c:v flv
make ts.ts "$video" -c:v mpeg1video -f mpegts
make ps.mpg "$video" -c:v mpeg1video -f mpeg
make vob.vob "$video" -c:v mpeg2video -f vob
make elementary.mpg "$video" -c:v mpeg1video -f mpeg1video
make vorbis.ogg "$audio" -c:a libvorbis
make opus.ogg "$audio" -c:a libopus
make wav.wav "$audio" -c:a pcm_s16le
make wmv.wmv "$video" -c:v wmv2
make wma.wma "$audio" -c:a wmav2
make mp3.mp3 "$audio" -c:a libmp3lame
make bare.mp3 "$audio" -c:a libmp3lame -id3v2_version 0
make id3v1.mp3 "$audio" -c:a libmp3lame -write_id3v1 1
make mp2.mp3 "$audio" -c:a mp2 -f mp2
make adts.mp3 "$audio" -c:a aac -f adts

# Trailers players read past: an ID3v1 tag, zero padding.
tag() { printf 'TAG%-30s%-30s%-30s2026%-30s\377' title artist album comment; }
for f in mp4.mp4 mkv.mkv flv.flv avi.avi vorbis.ogg; do
  [ -e "$dir/$f" ] || continue
  { cat "$dir/$f"; tag; } >"$dir/tagged-$f"
done
[ -e "$dir/mp4.mp4" ] && { cat "$dir/mp4.mp4"; printf '\0\0\0\0'; } >"$dir/padded-mp4.mp4"

# A video CD's AVSEQ01.DAT: RIFF/CDXA around 2352-byte sectors of the program stream.
if [ -e "$dir/ps.mpg" ]; then
  python3 - "$dir/ps.mpg" "$dir/AVSEQ01.DAT" <<'PY'
import struct, sys
ps = open(sys.argv[1], "rb").read()
sync = b"\0" + b"\xff" * 10 + b"\0"
sectors = b"".join(sync + b"\0" * 12 + ps[i:i + 2324].ljust(2324, b"\xff") + b"\0" * 4
                   for i in range(0, len(ps), 2324))
fmt = struct.pack("<IHHBBBB", 0, 0, 0x1115, ord("X"), ord("A"), 1, 0) + b"\0" * 4
body = b"CDXA" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(sectors)) + sectors
open(sys.argv[2], "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
PY
fi
# Not media at all, whatever the bytes look like.
printf '%1000s' '' | tr ' ' G >"$dir/letters.txt"
cp "$dir/letters.txt" "$dir/letters.ts"

"$kindprobe" --explain --lang en "$dir"/* >"$dir.out"
alarms=$(grep -c '^  ' "$dir.out" || true)
grep -B1 '^  ' "$dir.out" || true
echo "files: $(ls "$dir" | wc -l), false alarms: $alarms"
