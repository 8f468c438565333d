#!/usr/bin/env bash
# Builds the Debian package of Kitemail Pro (Release, in build/package, or
# the folder given) with CPack and prints its path:
#   scripts/package.sh [BUILD_DIR]
#   sudo apt install ./build/package/kitemail_0.50_amd64.deb
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${1:-$root/build/package}

"$root/scripts/deps.sh"
cmake -S "$root" -B "$dir" -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release -DKITEMAIL_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j "${KITEMAIL_JOBS:-$(nproc)}" --target kitemail kitemail-cli kitemail-cli-qt kitemail_dist_files
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$dir"/kitemail_*.deb
