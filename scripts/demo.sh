#!/usr/bin/env bash
# Starts Tolvek with the simulated eye camera and a fresh data folder holding sample recordings.
set -euo pipefail
build=${1:-build}
demo=$(mktemp -d /tmp/tolvek-demo.XXXXXX)
mkdir -p "$demo/gazou"
printf 'SaveFolder:%s\r\nLanguage:1\r\n' "$demo/gazou" > "$demo/Tolvek_config.ini"
make_sample() {  # id, time stamp, seconds, memo
  ffmpeg -loglevel error -y -f lavfi -i "testsrc=size=640x480:rate=30:duration=$3" \
    -c:v wmv2 -b:v 2M -metadata title="$4" -metadata copyright=Tolvek -f asf "$demo/gazou/$1$2.wmv"
}
make_sample 00000123 20250114093012 6 "left beating nystagmus, supine"
make_sample 00000123 20250114094501 4 "after Epley"
make_sample 00004567 20250302151540 5 ""
make_sample 99000000 20241201101010 3 "reference: BPPV right posterior canal"
echo "Demo data folder: $demo"
TOLVEK_DATA_DIR="$demo" TOLVEK_CAMERA=sim "$build/tolvek" /restart
