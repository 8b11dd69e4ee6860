#!/usr/bin/env bash
# Sets up, builds and runs every test. This is what CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
cd build
ctest --output-on-failure -j2 --timeout 600
