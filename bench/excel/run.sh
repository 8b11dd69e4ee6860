#!/usr/bin/env bash
# Cells per second from DXF to a saved workbook, in process (gm_bench_excel: the shares of the
# automation layer and of saving) and through the real program (gridmason DRAWING -o OUT.xlsx).
#
#   bench/excel/run.sh [ROWSxCOLUMNS ...]   (default 10x10 100x10 100x100 1000x100)
#
# Builds in build-bench/ (or $GM_BENCH_BUILD) with the optimised RelWithDebInfo settings. Never run
# from the tests.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${GM_BENCH_BUILD:-$root/build-bench}
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10x10 100x10 100x100 1000x100)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGM_BUILD_TESTS=OFF >"$build.log"
cmake --build "$build" --target gm_bench_excel gridmason -j2 >>"$build.log"

echo "In process (times in seconds):"
"$build/bench/gm_bench_excel" "${sizes[@]}"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
echo
echo "The program, gridmason DRAWING -o OUT.xlsx (start-up, plug-in load and exit included):"
printf '%-10s %8s %9s %11s\n' table cells seconds cells/s
for size in "${sizes[@]}"; do
  "$build/bench/gm_bench_excel" --dxf "$tmp/t.dxf" "$size"
  start=$(date +%s.%N)
  "$build/bin/gridmason" --registry "$tmp" "$tmp/t.dxf" -o "$tmp/t.xlsx" </dev/null >/dev/null
  end=$(date +%s.%N)
  cells=$(( ${size%x*} * ${size#*x} ))
  awk -v s="$size" -v n="$cells" -v a="$start" -v b="$end" \
    'BEGIN { printf "%-10s %8d %9.3f %11.0f\n", s, n, b - a, n / (b - a) }'
done
