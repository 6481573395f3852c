# Sourced by the scripts that make the container tests' movies, after they
# set "version" and "what": takes the output folder from $1, keeps files
# already made by this version of the calling script (the build directory
# caches them), and offers ff, ffmpeg with quiet, overwriting defaults.
set -eu

out=${1:?usage: $0 OUTDIR}
mkdir -p "$out"
if [ -f "$out/.done" ] && [ "$(cat "$out/.done")" = "$version" ]; then
  exit 0
fi
if ! command -v ffmpeg >/dev/null 2>&1; then
  echo "ffmpeg not installed: no $what (the tests that need them skip, or fail under CI)" >&2
  exit 0
fi
rm -f "$out"/*.mov "$out"/*.mp4 "$out/.done"

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
x264="-c:v libx264 -preset ultrafast -pix_fmt yuv420p"
