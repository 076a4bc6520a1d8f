#!/usr/bin/env bash
# Builds a release of kindprobe (installing what the build needs) and classifies the paths
# given, or the bundled samples when none are.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"

"$root/scripts/install-deps.sh" build
(cd "$root" && cmake --preset release >/dev/null &&
  cmake --build --preset release -j "$(nproc)" --target kindprobe >/dev/null)

kindprobe="$root/build/release/cli/kindprobe"
if [ $# -eq 0 ]; then
  cd "$root"
  exec "$kindprobe" --store-path samples/store -r samples
fi
exec "$kindprobe" "$@"
