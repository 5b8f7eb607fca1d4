#!/usr/bin/env bash
# Records a show to a video; `make video` calls this.
#
#   record-video.sh BUILD FPS MODE QUALITY [DIR]
#
# Records the bundled show (the pack BUILD/bin/kvxplay.kvx), or the show in
# the data folder DIR, frame by frame on a virtual clock. With ffmpeg the
# result is BUILD/showcase.mp4 (H.264 and AAC); without it the frames as
# PNG files and the soundtrack as soundtrack.wav in BUILD/showcase-video/.
set -eu
build=$1
fps=$2
mode=$3
quality=$4
show=${5:-}
if [ -n "$show" ]; then
  source=(--data "$show")
else
  source=(--pack "$build/bin/kvxplay.kvx")
fi
if command -v ffmpeg > /dev/null 2>&1; then
  out="$build/showcase.mp4"
else
  out="$build/showcase-video"
  rm -rf "$out"
  echo "record-video: ffmpeg is not installed; writing PNG frames and soundtrack.wav to $out"
fi
"$build/bin/kvxplay" "${source[@]}" --record "$out" --fps "$fps" --mode "$mode" \
  --quality "$quality"
echo "record-video: $out"
