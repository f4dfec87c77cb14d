#!/usr/bin/env bash
# Installs the built library into a scratch prefix, then builds and runs the consumer against it.
# Usage: run.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
cmake -S "$here" -B "$scratch/build" -DCMAKE_PREFIX_PATH="$scratch/prefix" >/dev/null
cmake --build "$scratch/build" >/dev/null
LD_LIBRARY_PATH="$scratch/prefix/lib:$scratch/prefix/lib64" "$scratch/build/consumer"
echo "consumer: 1 passed, 0 failed"
