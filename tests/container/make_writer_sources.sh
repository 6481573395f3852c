#!/bin/sh
# Generates the small source movies the writer's real-file tests cut and
# join: 4-second clips with tiny pictures, made with the fastest preset.
# Usage: make_writer_sources.sh OUTDIR. Files already made by this version
# of the script are kept (the build directory caches them).
version=3
what=sources
. "$(dirname "$0")/corpus_common.sh"

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

# Moov first, no B-frames, delimiters, 48 kHz mono PCM: ffmpeg ends the
# sound with a shorter chunk.
ff -f lavfi -i testsrc2=size=128x96:rate=30:duration=3 -f lavfi -i sine=frequency=440:sample_rate=48000:duration=3 \
  $x264 -bf 0 -g 30 -x264-params aud=1 -c:a pcm_s16le -ac 1 -movflags +faststart "$out/pcm48k_front.mov"
# Noise as sound, in blocks of 1280 frames (0.08 s) that pictures seldom
# begin with: every stretch of a source's sound is found in one place only,
# so a test can tell where it landed.
for seed in 1 2; do
  ff -f lavfi -i testsrc2=size=128x96:rate=30:duration=6 \
    -f lavfi -i anoisesrc=sample_rate=16000:nb_samples=1280:duration=6:seed=$seed:amplitude=0.5 \
    $x264 -bf 0 -g 15 -x264-params aud=1 -c:a pcm_s16le -ac 1 "$out/pcm_noise_$seed.mov"
done
# One key-frame interval for the whole recording.
ff -f lavfi -i testsrc2=size=128x96:rate=30:duration=2 $x264 -bf 0 -g 600 -x264-params aud=1 "$out/one_gop.mov"
# Motion JPEG: every frame stands alone, and there is no sync table.
ff -f lavfi -i testsrc2=size=128x96:rate=30:duration=2 -c:v mjpeg -q:v 5 "$out/mjpeg.mov"

echo "$version" > "$out/.done"
