#!/usr/bin/env bash
# Makes the Debian package of a build, unpacks it, and runs the unpacked
# wwnpool against the unpacked library.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null
deb=$(echo "$work"/out/*.deb)
dpkg-deb -x "$deb" "$work/root"
usr=$work/root/usr
test "$(realpath "$(ldd "$usr/bin/wwnpool" | awk '/revevidozi.so.1 =>/ { print $3 }')")" = "$usr/lib/revevidozi.so.1.0"
"$usr/bin/wwnpool" --version | grep -q "^wwnpool [0-9]"
dpkg-deb -f "$deb" Depends | grep -q "libc6"
for file in include/revevidozi.h lib/revevidozi.so lib/pkgconfig/revevidozi.pc lib/cmake/revevidozi/revevidoziConfig.cmake \
  share/man/man1/wwnpool.1 share/bash-completion/completions/wwnpool; do
  test -e "$usr/$file" || { echo "missing from the package: /usr/$file"; exit 1; }
done
echo "package ok: $(basename "$deb")"
