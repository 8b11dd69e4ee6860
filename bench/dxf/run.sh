#!/usr/bin/env bash
# Times the DXF reader against ezdxf on one large generated drawing and prints a small table.
#
#   bench/dxf/run.sh [MEGABYTES]      (default 120)
#
# Builds gm_bench_dxf_load with the project's CMake (in build-bench/, or $GM_BENCH_BUILD; with c++
# directly when the tree does not configure), generates the drawing in a temporary folder, loads
# it with our reader (best of 3) and once with ezdxf (Debian's, via /usr/bin/python3), and reports
# seconds, MB/s and peak resident memory (ru_maxrss) of each reading process. Never run from the
# tests.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
megabytes=${1:-120}
build=${GM_BENCH_BUILD:-$root/build-bench}

bench="$build/bench/gm_bench_dxf_load"
if ! { cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGM_BUILD_TESTS=OFF &&
       cmake --build "$build" --target gm_bench_dxf_load -j2; } >"$build.log" 2>&1; then
  # The reader needs nothing of the rest of the tree: build it alone when the tree does not build.
  echo "the project's CMake build failed (see $build.log); compiling the benchmark directly"
  mkdir -p "$build/bench"
  c++ -std=c++20 -O2 -DNDEBUG -I"$root" "$here/dxf_load_bench.cpp" "$root"/platform/dxf/*.cpp \
    -o "$bench"
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
file="$tmp/bench.dxf"
echo "generating a drawing of about $megabytes MB ..."
"$bench" generate "$file" "$megabytes"

read -r mb _ entities _ ours_s _ ours_rate _ ours_mib _ < <("$bench" load "$file" 3)

ezdxf_line=$(/usr/bin/python3 - "$file" <<'PY' || echo "n/a n/a n/a"
import resource, sys, time
try:
    import ezdxf
except ImportError:
    print("n/a n/a n/a")
    sys.exit(0)
start = time.perf_counter()
doc = ezdxf.readfile(sys.argv[1])
seconds = time.perf_counter() - start
count = len(doc.modelspace())
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
print(f"{seconds:.3f} {peak:.0f} {count}")
PY
)
read -r ez_s ez_mib ez_count <<<"$ezdxf_line"
ez_rate=n/a
if [ "$ez_s" != "n/a" ]; then ez_rate=$(awk -v m="$mb" -v s="$ez_s" 'BEGIN { printf "%.1f", m / s }'); fi

printf '\nDXF load, %s MB, %s entities (ezdxf model space: %s)\n' "$mb" "$entities" "$ez_count"
printf '%-22s %10s %10s %14s\n' reader seconds MB/s "peak RSS MiB"
printf '%-22s %10s %10s %14s\n' "gm::dxf (best of 3)" "$ours_s" "$ours_rate" "$ours_mib"
printf '%-22s %10s %10s %14s\n' "ezdxf $(/usr/bin/python3 -c 'import ezdxf; print(ezdxf.__version__)' 2>/dev/null || echo '-')" "$ez_s" "$ez_rate" "$ez_mib"
