#!/usr/bin/env bash
# Makes the Debian packages of a build (revevidozi1, revevidozi-dev, wwnpool),
# checks what each holds and needs, runs the unpacked wwnpool against the
# unpacked library.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
version=$(dpkg-deb -f "$work"/out/revevidozi1_*.deb Version)
lib=usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
expect() { # expect PACKAGE FILE...: the package holds these, and its copyright and changelog
  local deb=("$work/out/$1_${version}_"*.deb) file listing
  dpkg-deb -x "${deb[0]}" "$work/root"
  listing=$(dpkg-deb -c "${deb[0]}")
  for file in "${@:2}" "usr/share/doc/$1/copyright" "usr/share/doc/$1/changelog.Debian.gz"; do
    grep -q " \./$file\( ->.*\)\?$" <<<"$listing" || { echo "$1 lacks /$file"; exit 1; }
  done
}
expect revevidozi1 "$lib/revevidozi.so.1.0" "$lib/revevidozi.so.1"
expect revevidozi-dev usr/include/revevidozi.h "$lib/revevidozi.so" "$lib/pkgconfig/revevidozi.pc" \
  "$lib/cmake/revevidozi/revevidoziConfig.cmake"
expect wwnpool usr/bin/wwnpool usr/share/man/man1/wwnpool.1.gz usr/share/bash-completion/completions/wwnpool
if dpkg-deb -c "$work"/out/revevidozi1_*.deb | grep "revevidozi.so " >/dev/null; then
  echo "the .so link belongs in -dev"
  exit 1
fi
dpkg-deb -f "$work"/out/wwnpool_*.deb Depends | grep -q "revevidozi1 (>= "
dpkg-deb -f "$work"/out/revevidozi-dev_*.deb Depends | grep -q "revevidozi1 (= $version)"
dpkg-deb -I "$work"/out/revevidozi1_*.deb shlibs | grep -q "^revevidozi 1 revevidozi1 "
test "$(realpath "$(ldd "$work/root/usr/bin/wwnpool" | awk '/revevidozi.so.1 =>/ { print $3 }')")" = \
  "$work/root/$lib/revevidozi.so.1.0"
"$work/root/usr/bin/wwnpool" --version | grep -q "^wwnpool [0-9]"
zcat "$work/root/usr/share/man/man1/wwnpool.1.gz" | grep -q '^\.TH WWNPOOL 1'
# lintian's checks (six seconds of the whole test run) are CI's: .ci/run.
echo "packages ok: $(cd "$work/out" && echo *.deb)"
