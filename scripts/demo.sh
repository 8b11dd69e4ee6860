#!/usr/bin/env bash
# The main job on the bundled example: open examples/example.dxf in the host,
# select everything and convert the drawn table.
set -euo pipefail
cd "$(dirname "$0")/.."
registry=$(mktemp -d)
trap 'rm -rf "$registry"' EXIT
printf 'LineText2Excel\nALL\n\nQUIT\n' |
  build/bin/gridmason --registry "$registry" examples/example.dxf
