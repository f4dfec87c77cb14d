#!/usr/bin/env bash
# Installs the built project into a scratch prefix and uses it as a user would.
# Usage: run.sh BUILD_DIR consumers|readme
#   consumers: a CMake project (find_package), a C++ and a C program built with pkg-config, the
#              installed tool and the installed Python module;
#   readme:    every example in README.md, against the installed copy.
set -euo pipefail
build=$1
what=${2:-consumers}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libombrak10.so' | head -1)")
pydir=$(dirname "$(find "$prefix" -name 'ombrak10.cpython*' | head -1)")
export PKG_CONFIG_PATH=$libdir/pkgconfig LD_LIBRARY_PATH=$libdir PYTHONPATH=$pydir
export PATH=$prefix/bin:$PATH

if [ "$what" = readme ]; then
  exec /usr/bin/python3 "$here/readme_examples.py" "$here/../../README.md" "$scratch/examples"
fi

checks=0
check() { "$@" || { echo "consumer: failed: $*" >&2; exit 1; }; checks=$((checks + 1)); }

cmake -S "$here" -B "$scratch/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/build" >/dev/null
check "$scratch/build/consumer"
# shellcheck disable=SC2046
c++ -std=c++20 "$here/main.cpp" $(pkg-config --cflags --libs ombrak10) -o "$scratch/pc_cxx"
check "$scratch/pc_cxx"
# shellcheck disable=SC2046
cc -std=c99 -pedantic -Werror "$here/consumer.c" $(pkg-config --cflags --libs ombrak10) -o "$scratch/pc_c"
check "$scratch/pc_c"
check test "$(pkg-config --modversion ombrak10)" = \
  "$(sed -n 's/^project(ombrak10 VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")"
check test "$(command -v ombrak10)" = "$prefix/bin/ombrak10"
check test "$(printf 'Man' | ombrak10 base64)" = "TWFu"
check /usr/bin/python3 -c '
import ombrak10
assert ombrak10.__file__.startswith("'"$prefix"'"), ombrak10.__file__
assert ombrak10.create("Ombrak10.clsKvVeskEncDecBase64A").Encode64("Man") == "TWFu"'
echo "consumer: $checks passed, 0 failed"
