#!/bin/sh
# Generates the small source movies the writer's real-file tests cut and
# join: 4-second clips with tiny pictures, made with the fastest preset.
# Usage: make_writer_sources.sh OUTDIR. Files already made by this version
# of the script are kept (the build directory caches them).
set -eu

out=${1:?usage: make_writer_sources.sh OUTDIR}
version=1
mkdir -p "$out"
if [ -f "$out/.done" ] && [ "$(cat "$out/.done")" = "$version" ]; then
  exit 0
fi
if ! command -v ffmpeg >/dev/null 2>&1; then
  echo "ffmpeg not installed: no sources (the writer's file tests skip, or fail under CI)" >&2
  exit 0
fi
rm -f "$out"/*.mov "$out"/*.mp4 "$out/.done"

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

x264="-c:v libx264 -preset ultrafast -pix_fmt yuv420p"
tone() { echo "-f lavfi -i sine=frequency=$1:sample_rate=16000:duration=4"; }

# Two recordings of one "camera" (identical encoder settings, so their
# fragments join): B-frames, access-unit delimiters, GOP 15, AAC.
ff -f lavfi -i testsrc2=size=128x96:rate=30:duration=4 $(tone 440) $x264 -bf 2 -g 15 -x264-params aud=1 \
  -c:a aac -b:a 32k "$out/aac_b_aud_1.mov"
ff -f lavfi -i smptebars=size=128x96:rate=30:duration=4 $(tone 660) $x264 -bf 2 -g 15 -x264-params aud=1 \
  -c:a aac -b:a 32k "$out/aac_b_aud_2.mov"
# No B-frames, delimiters, GOP 30, little-endian PCM.
ff -f lavfi -i testsrc2=size=128x96:rate=30:duration=4 $(tone 440) $x264 -bf 0 -g 30 -x264-params aud=1 \
  -c:a pcm_s16le "$out/pcm_nob_aud.mov"
# B-frames without delimiters (key-frame mode keeps key frames only), AAC.
ff -f lavfi -i testsrc2=size=128x96:rate=30:duration=4 $(tone 440) $x264 -bf 2 -g 15 \
  -c:a aac -b:a 32k "$out/aac_b_noaud.mp4"

echo "$version" > "$out/.done"
