#!/usr/bin/env bash
# Installs what building and testing need on Debian 12. Safe to run again:
# packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libfreetype-dev libfontconfig1-dev fontconfig fonts-liberation2 fonts-osifont
  libxlsxwriter-dev
  unixodbc unixodbc-dev odbcinst libsqliteodbc sqlite3
  libcurl4-openssl-dev  # headers, and the libcurl.so.4 the HTTP requests open at run time
  python3 python3-ezdxf python3-openpyxl
  tmux fp-utils libchm-bin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: everything is installed"
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
