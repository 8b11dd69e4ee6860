#!/usr/bin/env bash
# Builds and runs the libFuzzer target for the Jet adapter and the statement
# path with clang++-14 (ASan + UBSan).   fuzz/statements/run.sh [SECONDS]
# It needs unixODBC and the SQLite ODBC driver, as the program does.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-60}
out=${GM_FUZZ_DIR:-$root/build-fuzz/statements}
mkdir -p "$out/corpus" "$out/crashes"
clang++-14 -std=c++20 -g -O1 -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -DGM_LEGACY_HOST=0 \
  -I"$root" "$here/fuzz_statements.cpp" "$root"/platform/ado/*.cpp "$root"/platform/com/*.cpp \
  "$root"/platform/registry/*.cpp "$root"/platform/win/*.cpp "$root"/platform/afx/*.cpp \
  -lodbc -lsqlite3 -ldl -o "$out/fuzz_statements"
cp "$here"/seeds/* "$out/corpus/"
"$out/fuzz_statements" "$out/corpus" -max_total_time="$seconds" -max_len=2048 -timeout=20 \
  -print_final_stats=1 -artifact_prefix="$out/crashes/" \
  -dict="$here/statements.dict"
