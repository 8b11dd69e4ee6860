#!/usr/bin/env bash
# Builds and runs the libFuzzer target for StripMTextFormatting and the
# symbol map with clang++-14 (ASan + UBSan).   fuzz/mtext/run.sh [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-60}
out=${GM_FUZZ_DIR:-$root/build-fuzz/mtext}
mkdir -p "$out/corpus" "$out/crashes"
# The symbol map reads settings; the smallest set of the tree that links it.
clang++-14 -std=c++20 -g -O1 -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -DGM_LEGACY_HOST=0 \
  -I"$root" "$here/fuzz_mtext.cpp" "$root/capture/shx_map.cpp" "$root/ui/settings.cpp" \
  "$root"/platform/registry/*.cpp "$root"/platform/win/*.cpp "$root/platform/afx/afx.cpp" \
  "$root/platform/afx/message_box.cpp" -ldl -o "$out/fuzz_mtext"
cp "$here"/seeds/* "$out/corpus/"
"$out/fuzz_mtext" "$out/corpus" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -print_final_stats=1 -artifact_prefix="$out/crashes/"
