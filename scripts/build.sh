#!/usr/bin/env bash
# Configures and builds into build/ (the program, both plug-ins, menus, tests).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(( $(nproc) < 2 ? 1 : 2 ))
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build -j"$jobs"
