#!/bin/sh
# Makes the big source movies the writer benchmark copies: three recordings
# of about SIZE_MB megabytes each (default 300), one camera's settings
# (H.264 lossless 720p at 30 fps, AAC), so their fragments join; and one
# minute of a dash camera's shape (H.264 1080p at 12 Mbit/s without
# B-frames, 8 kHz mono PCM), about 92 MB. Not part of CI: it writes about a
# gigabyte. The movies are kept for the benchmark; a movie cut short by a
# failure or an interruption is removed.
set -eu
usage="usage: make_writer_bench_sources.sh DIR [SIZE_MB]
Writes src1.mov, src2.mov, src3.mov and dashcam.mov into DIR (made when
missing), for kp_movwriter_bench. DIR must hold nothing else; movies already
there at their size are kept."
case "${1:-}" in
  -h | --help) echo "$usage"; exit 0 ;;
  --) shift ;;
  -*) echo "unknown option $1" >&2; echo "$usage" >&2; exit 2 ;;
  "") echo "$usage" >&2; exit 2 ;;
esac
dir=${1:?}
size=${2:-300}
case "$dir" in -*) echo "DIR \"$dir\" looks like an option (name it ./$dir)" >&2; exit 2 ;; esac
case "$size" in '' | *[!0-9]*) echo "SIZE_MB must be a whole number" >&2; exit 2 ;; esac
if [ -d "$dir" ]; then
  for f in "$dir"/* "$dir"/.[!.]* "$dir"/..?*; do
    [ -e "$f" ] || continue
    case "${f##*/}" in src1.mov | src2.mov | src3.mov | dashcam.mov) ;; *)
      echo "$dir holds files of others; name a missing folder or one of this script's" >&2; exit 2 ;;
    esac
  done
fi
mkdir -p -- "$dir"
part=""
trap '[ -z "$part" ] || rm -f -- "$part"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
for i in 1 2 3; do
  out="$dir/src$i.mov"
  [ -f "$out" ] && [ "$(stat -c %s -- "$out")" -ge $((size * 1000000)) ] && continue
  part="$out"
  # Lossless noise-free test pictures run at roughly 250 kB a frame.
  ff -f lavfi -i "testsrc2=size=1280x720:rate=30,noise=alls=12:allf=t" -f lavfi -i "sine=frequency=$((400 + 100 * i)):sample_rate=48000" \
    -fs "${size}M" -c:v libx264 -preset ultrafast -qp 0 -g 30 -x264-params aud=1 -pix_fmt yuv420p \
    -c:a aac -b:a 128k -t 600 "file:$out"
  part=""
done
out="$dir/dashcam.mov"
if [ ! -f "$out" ]; then
  part="$out"
  ff -f lavfi -i "testsrc2=size=1920x1080:rate=30,noise=alls=8:allf=t" -f lavfi -i "sine=frequency=440:sample_rate=8000" \
    -t 60 -c:v libx264 -preset ultrafast -b:v 12M -maxrate 12M -bufsize 24M -g 30 -bf 0 -pix_fmt yuv420p \
    -c:a pcm_s16le "file:$out"
  part=""
fi
ls -l -- "$dir"
