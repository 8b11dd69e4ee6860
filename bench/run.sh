#!/usr/bin/env bash
# From a drawing of any size to a saved workbook: the program against the floors beside it.
#
#   bench/run.sh [--before BINDIR] [--sizes "10x10 100x100 1000x100"] [--no-million] [--repeat N]
#                [--keep DIR] [--before-million]
#
# Makes drawn tables (every cell edge its own LINE, one TEXT per cell, R2010) in a temporary
# folder, plus one of about a million entities, and times in the same run, on each:
#   convert   gridmason T.dxf -o T.xlsx
#   floor     gm_bench_xlsx_only: the same texts and borders through libxlsxwriter alone
#   open      gridmason T.dxf with no command (load the drawing and the plug-in, then end)
#   ezdxf     ezdxf.readfile (Debian's, /usr/bin/python3)
#   wc        wc -l T.dxf
# and, when present, the conversion of every entity of the shared corpus's 7-sheet drawing.
# --before BINDIR runs another build's gridmason (e.g. of main) beside this one's; --keep DIR
# keeps the workbooks written (before-SIZE.xlsx, after-SIZE.xlsx) there. The other build's
# conversion of the million-entity drawing runs only with --before-million (main's took minutes).
# Times are the best of --repeat runs (default 1; 3 for the quick ones); peak memory is the
# largest resident size (/usr/bin/time). Never run from the tests.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${GM_BENCH_BUILD:-$root/build-bench}
before=""
sizes="10x10 100x100 1000x100"
million=1
repeat=1
keep=""
before_million=0
while [ $# -gt 0 ]; do
  case "$1" in
    --before) before=$(cd "$2" && pwd); shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --no-million) million=0; shift ;;
    --repeat) repeat=$2; shift 2 ;;
    --before-million) before_million=1; shift ;;
    --keep) mkdir -p "$2"; keep=$(cd "$2" && pwd); shift 2 ;;
    *) echo "usage: $0 [--before BINDIR] [--sizes LIST] [--no-million] [--repeat N] [--keep DIR] [--before-million]" >&2; exit 2 ;;
  esac
done
corpus=${GM_CORPUS_DIR:-$root/../shared/corpus}/zcad_unsupported_entities_convert_to_polylines.dxf

mkdir -p "$build"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGM_BUILD_TESTS=OFF \
  >"$build/bench-build.log"
cmake --build "$build" --target gridmason OrvaneGridmason2017 gm_bench_xlsx_only -j2 >>"$build/bench-build.log"
after="$build/bin"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/reg"

# measure N CMD...: prints "seconds peak_MiB" of the best of N runs.
measure() {
  local n=$1 best="" mem=0 i start end kb
  shift
  for ((i = 0; i < n; i++)); do
    start=$(date +%s.%N)
    /usr/bin/time -f %M -o "$tmp/rss" "$@" </dev/null >/dev/null 2>"$tmp/err" ||
      { echo "failed: $* ($(tail -1 "$tmp/err"))" >&2; echo "nan nan"; return; }
    end=$(date +%s.%N)
    kb=$(tail -1 "$tmp/rss")
    best=$(awk -v a="$start" -v b="$end" -v best="$best" \
      'BEGIN { t = b - a; if (best == "" || t < best) best = t; printf "%.4f", best }')
    mem=$((kb > mem ? kb : mem))
  done
  awk -v t="$best" -v kb="$mem" 'BEGIN { printf "%s %.1f\n", t, kb / 1024 }'
}


quick=$((repeat > 3 ? repeat : 3))
declare -A convert_per_cell
printf '%-14s %9s %7s  %-30s %s\n' drawing entities MB what "seconds  peak MiB  ratio"
run_one() {  # name dxf cells
  local name=$1 dxf=$2 cells=$3 mb entities
  mb=$(awk -v b="$(stat -c %s "$dxf")" 'BEGIN { printf "%.2f", b / 1048576 }')
  # Group 0 on a group-code line (the odd ones), less the section and table markers.
  entities=$(awk 'NR % 2 == 1 && /^ *0\r?$/ { getline v; sub(/\r$/, "", v)
    if (v !~ /^(SECTION|ENDSEC|TABLE|ENDTAB|BLOCK|ENDBLK|EOF)$/) n++ } END { print n + 0 }' "$dxf")
  local rows=${name%x*} cols=${name#*x}
  read -r wc_s wc_m < <(measure "$quick" wc -l "$dxf")
  read -r ez_s ez_m < <(measure "$repeat" /usr/bin/python3 -c 'import sys, ezdxf; ezdxf.readfile(sys.argv[1])' "$dxf")
  local fl_s=nan fl_m=nan
  if [ "$cells" -gt 0 ]; then
    read -r fl_s fl_m < <(measure "$repeat" "$after/../bench/gm_bench_xlsx_only" "$tmp/floor.xlsx" "$rows" "$cols")
  fi
  row() {
    printf '%-14s %9s %7s  %-30s %s\n' "$name" "$entities" "$mb" "$1" "$2"
  }
  row "wc -l" "$wc_s"
  row "ezdxf readfile" "$ez_s  $ez_m"
  [ "$cells" -gt 0 ] && row "libxlsxwriter alone" "$fl_s  $fl_m"
  local label bin
  for label in before after; do
    bin=$after
    if [ $label = before ]; then
      [ -n "$before" ] || continue
      bin=$before
    fi
    read -r op_s op_m < <(measure "$quick" "$bin/gridmason" --registry "$tmp/reg" "$dxf")
    if [ $label = before ] && [ "$name" = 3000x111 ] && [ "$before_million" = 0 ]; then
      row "$label: open" "$op_s  $op_m  ezdxf/open $(awk -v a="$ez_s" -v b="$op_s" 'BEGIN{printf "%.1f", a/b}')x"
      row "$label: convert" "skipped (--before-million runs it)"
      continue
    fi
    read -r cv_s cv_m < <(measure "$repeat" "$bin/gridmason" --registry "$tmp/reg" "$dxf" -o "$tmp/$label-$name.xlsx")
    row "$label: open" "$op_s  $op_m  ezdxf/open $(awk -v a="$ez_s" -v b="$op_s" 'BEGIN{printf "%.1f", a/b}')x, open/wc $(awk -v a="$op_s" -v b="$wc_s" 'BEGIN{printf "%.1f", a/b}')x"
    local extra=""
    if [ "$cells" -gt 0 ]; then
      extra="convert/floor $(awk -v a="$cv_s" -v b="$fl_s" 'BEGIN{printf "%.1f", a/b}')x, $(awk -v a="$cv_s" -v n="$cells" 'BEGIN{printf "%.1f", a/n*1e6}') us/cell"
      convert_per_cell[$label-$name]=$(awk -v a="$cv_s" -v n="$cells" 'BEGIN{printf "%.9f", a/n}')
    fi
    [ -z "$keep" ] || cp "$tmp/$label-$name.xlsx" "$keep/" 2>/dev/null || true
    row "$label: convert" "$cv_s  $cv_m  $extra, peak/file $(awk -v a="$cv_m" -v b="$mb" 'BEGIN{printf "%.1f", a/b}')x"
  done
}

for size in $sizes; do
  rows=${size%x*} cols=${size#*x}
  /usr/bin/python3 "$here/make_table.py" "$tmp/$size.dxf" "$rows" "$cols"
  run_one "$size" "$tmp/$size.dxf" $((rows * cols))
  rm -f "$tmp/$size.dxf"
done
if [ "$million" = 1 ]; then
  # 3000 x 111 cells: 669,111 LINEs and 333,000 TEXTs.
  /usr/bin/python3 "$here/make_table.py" "$tmp/3000x111.dxf" 3000 111
  run_one 3000x111 "$tmp/3000x111.dxf" 333000
  rm -f "$tmp/3000x111.dxf"
fi
if [ -f "$corpus" ]; then
  run_one corpus:zcad "$corpus" 0
fi

echo
echo "cost per cell, 1000x100 against 100x100 (goal: within 2x):"
for label in before after; do
  a=${convert_per_cell[$label-1000x100]:-} b=${convert_per_cell[$label-100x100]:-}
  [ -n "$a" ] && [ -n "$b" ] && awk -v l="$label" -v a="$a" -v b="$b" 'BEGIN { printf "  %s %.2fx\n", l, a / b }'
done
exit 0
