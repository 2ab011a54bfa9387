#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds and runs a small C
# consumer against it twice: through find_package and through pkg-config.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR C_COMPILER "C_FLAGS"
set -euo pipefail
build=$1 src=$2 cc=$3 cflags=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null

cmake -S "$src/tests/consumer" -B "$work/cmake-build" -G Ninja -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_C_FLAGS="$cflags" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer"

pcdir=$(dirname "$(find "$work/prefix" -name revevidozi.pc)")
# shellcheck disable=SC2046,SC2086
"$cc" $cflags "$src/tests/consumer/consumer.c" -o "$work/pc-consumer" \
  $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs revevidozi)
LD_LIBRARY_PATH="$(PKG_CONFIG_PATH="$pcdir" pkg-config --variable=libdir revevidozi)" "$work/pc-consumer"
