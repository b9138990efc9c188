#!/usr/bin/env bash
# Makes a 60 s 1280 x 720 recording like ours (MP43 pictures at 25 a second,
# 16-bit PCM stereo at 48 kHz: 440 Hz on the far side left, 1 kHz on the
# near side right) and times its export to MP4 with crop, effects and volume
# against the ffmpeg program doing the same, then shows that both wrote the
# same kind of file with much the same pictures.
#   bench/run_export_bench.sh BUILD_DIR [runs]
set -euo pipefail
build=${1:?build folder}
runs=${2:-3}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
ffmpeg -v error -f lavfi -i "testsrc2=size=1280x720:rate=25" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000" \
  -f lavfi -i "sine=frequency=1000:sample_rate=48000" \
  -filter_complex "[1:a][2:a]join=inputs=2:channel_layout=stereo[a]" \
  -map 0:v -map "[a]" -t 60 \
  -c:v msmpeg4v3 -q:v 4 -g 25 -c:a pcm_s16le "$tmp/720p.avi"
"$build/bench/export_bench" "$tmp/720p.avi" "$tmp" "$runs"
for f in ours theirs; do
  echo "$f: $(ffprobe -v error -show_entries stream=codec_name,width,height,bit_rate \
    -of csv=p=0 "$tmp/$f.mp4" | tr '\n' ' ')"
done
ffmpeg -v error -i "$tmp/ours.mp4" -i "$tmp/theirs.mp4" -lavfi "[0:v][1:v]psnr=stats_file=-" \
  -f null - | awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^psnr_avg:/) { split($i, v, ":");
    s += v[2]; n++ } } END { if (n) printf "pictures ours against theirs: mean PSNR %.1f dB over %d\n", s / n, n }'
