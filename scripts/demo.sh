#!/bin/sh
# Installs what is missing, builds, and runs the profiler on the bundled
# example unit.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)"
echo "== build/trelv --toolversion"
build/trelv --toolversion
echo "== build/trelv --help"
build/trelv --help
