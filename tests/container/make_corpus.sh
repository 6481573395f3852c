#!/bin/sh
# Generates the small movie corpus the container tests compare against
# ffprobe: short clips with tiny pictures so the whole run stays fast.
# Usage: make_corpus.sh OUTDIR. Files already made by this version of the
# script are kept (the build directory caches them).
version=3
what=corpus
. "$(dirname "$0")/corpus_common.sh"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM

video="-f lavfi -i testsrc2=size=128x96:rate=30:duration=2"
tone="-f lavfi -i sine=frequency=440:sample_rate=16000:duration=2"

cat > "$tmp/subs.srt" <<'SRT'
1
00:00:00,000 --> 00:00:00,900
N 55.7558 E 37.6173 42 km/h

2
00:00:01,000 --> 00:00:01,900
N 55.7560 E 37.6180 44 km/h
SRT

# H.264 without B-frames, GOP 15, AAC, moov first.
ff $video $tone $x264 -bf 0 -g 15 -c:a aac -b:a 32k -movflags +faststart "$out/h264_nob_g15_aac_front.mp4"
# H.264 with B-frames, GOP 30, AAC, moov last.
ff $video $tone $x264 -bf 2 -g 30 -c:a aac -b:a 32k "$out/h264_b_g30_aac_back.mov"
# Access unit delimiters, B-frames, GOP 15, little-endian PCM.
ff $video $tone $x264 -bf 3 -g 15 -x264-params aud=1 -c:a pcm_s16le "$out/h264_aud_b_g15_pcm_back.mov"
# Access unit delimiters, no B-frames, GOP 30, no sound, moov first.
ff $video $x264 -bf 0 -g 30 -x264-params aud=1 -movflags +faststart "$out/h264_aud_nob_g30_front.mp4"
# Access unit delimiters, B-frames, GOP 30, AAC, moov first.
ff $video $tone $x264 -bf 2 -g 30 -x264-params aud=1 -c:a aac -b:a 32k -movflags +faststart \
  "$out/h264_aud_b_g30_aac_front.mov"
# A subtitle text track beside video and sound.
ff $video $tone -i "$tmp/subs.srt" -map 0:v -map 1:a -map 2:s $x264 -bf 2 -g 15 -c:a aac -b:a 32k \
  -c:s mov_text "$out/h264_text_aac_back.mov"
# MPEG-4 part 2 with big-endian PCM.
ff $video $tone -c:v mpeg4 -g 15 -bf 1 -c:a pcm_s16be "$out/mpeg4_twos_back.mov"
# Motion JPEG (every frame a key frame, no sync table) with mu-law sound.
ff $video $tone -c:v mjpeg -q:v 5 -c:a pcm_mulaw -movflags +faststart "$out/mjpeg_ulaw_front.mov"

echo "$version" > "$out/.done"
