#!/usr/bin/env bash
# Builds the DXF reader's libFuzzer target with clang++-14 (ASan + UBSan) and runs it.
#
#   fuzz/dxf/run.sh [SECONDS] [more libFuzzer options]
#
# Seeds: the small drawings in fuzz/dxf/seeds/, plus ezdxf's test drawings when Debian's ezdxf is
# there. The working corpus and any crasher land in build-fuzz/dxf/ (or $GM_FUZZ_DIR). Not part
# of the CMake build; every crasher found is pinned in tests/platform/dxf/dxf_regression_test.cpp.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-60}
[ $# -gt 0 ] && shift
out=${GM_FUZZ_DIR:-$root/build-fuzz/dxf}
mkdir -p "$out/corpus" "$out/crashes"

echo "building $out/fuzz_dxf"
clang++-14 -std=c++20 -g -O1 -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" "$here/fuzz_dxf.cpp" "$root"/platform/dxf/*.cpp "$root"/platform/win/strings.cpp \
  -o "$out/fuzz_dxf"

cp "$here"/seeds/*.dxf "$out/corpus/"
if /usr/bin/python3 -c 'import ezdxf' 2>/dev/null; then
  tmp=$(mktemp -d)
  /usr/bin/python3 "$root/tests/platform/dxf/make_ezdxf_drawings.py" "$tmp"
  for f in "$tmp"/*.dxf; do cp "$f" "$out/corpus/ezdxf_$(basename "$f")"; done
  rm -rf "$tmp"
fi

echo "fuzzing for $seconds s"
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$out/fuzz_dxf" "$out/corpus" -dict="$here/dxf.dict" -max_total_time="$seconds" \
  -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$out/crashes/" "$@"
