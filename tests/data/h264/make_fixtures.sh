#!/usr/bin/env bash
# Makes the small H.264 elementary streams the stream tests start from, with Debian 12's ffmpeg
# (libx264). Run once from anywhere; the files land beside this script and are committed.
# Each is 36 frames of 192x128 test pattern at 24 fps, closed GOPs of 12, two B frames.
set -euo pipefail
cd "$(dirname "$0")"

make() {
    local name=$1 pixfmt=$2 x264params=$3
    shift 3
    ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=192x128:rate=24 -frames:v 36 \
        -pix_fmt "$pixfmt" -c:v libx264 -preset veryfast -g 12 -keyint_min 12 -sc_threshold 0 \
        -bf 2 "$@" -x264-params "$x264params" -f h264 -y "$name.h264"
}

make base      yuv420p     aud=1               -profile:v high
make cavlc     yuv420p     aud=1               -profile:v high -coder 0
make baseline  yuv420p     aud=1               -profile:v baseline
make slices4   yuv420p     aud=1:slices=4      -profile:v high
make mbaff     yuv420p     aud=1:interlaced=1  -profile:v high
make cqm_jvt   yuv420p     aud=1:cqm=jvt       -profile:v high
make yuv444    yuv444p     aud=1               -profile:v high444
make high10    yuv420p10le aud=1               -profile:v high10
make hrd       yuv420p     aud=1:nal-hrd=vbr:pic-struct=1 -profile:v high \
    -b:v 200k -maxrate 200k -bufsize 200k
make noaud     yuv420p     aud=0               -profile:v high
ls -l ./*.h264
