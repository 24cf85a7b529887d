#!/usr/bin/env bash
# Starts Tolvek with the simulated eye camera and a fresh data folder holding sample recordings.
set -euo pipefail
build=${1:-build}
demo=$(mktemp -d /tmp/tolvek-demo.XXXXXX)
mkdir -p "$demo/gazou" "$demo/runtime"
chmod 700 "$demo/runtime"
printf 'SaveFolder:%s\r\nLanguage:1\r\nID history:00000123,00004567,00000111\r\n' "$demo/gazou" > "$demo/Tolvek_config.ini"
"$build/tolvek_samples" "$demo/gazou"
echo "Demo data folder: $demo"
TOLVEK_DATA_DIR="$demo" XDG_RUNTIME_DIR="$demo/runtime" TOLVEK_CAMERA=sim "$build/tolvek"
