#!/usr/bin/env bash
# The main job on the bundled example: open examples/example.dxf in the host,
# convert the drawn table and save it as example.xlsx in the working folder.
set -euo pipefail
cd "$(dirname "$0")/.."
registry=$(mktemp -d)
trap 'rm -rf "$registry"' EXIT
out=${1:-example.xlsx}
build/bin/gridmason --registry "$registry" examples/example.dxf -o "$out"
echo "demo: wrote $out"
