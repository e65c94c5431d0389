#!/bin/sh
# Builds the Debian package from a build tree, checks it with lintian, unpacks
# it into a scratch folder and runs the unpacked programs from there: the
# usage of dorvil-cli and a headless run of the three checks on a fresh demo.
# Usage: check-package.sh BUILD_DIR SCRATCH_DIR
set -eu
build=$1 scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch"
(cd "$build" && cpack -G DEB -B "$scratch/cpack" >"$scratch/cpack.log" 2>&1) ||
    { cat "$scratch/cpack.log"; exit 1; }
package=$(ls "$scratch"/cpack/dorvil_*.deb)
lintian --fail-on error "$package"
dpkg-deb -x "$package" "$scratch/root"
bin="$scratch/root/usr/bin"
"$bin/dorvil-cli" --help | grep -q "^usage: dorvil-cli"
"$bin/dorvil-demo" "$scratch/demo"
"$bin/dorvil-cli" --dir "$scratch/demo/manager" --run compare,duplicate-files,duplicate-links \
    >"$scratch/demo.log"
grep -q "^Найдено дублей -" "$scratch/demo.log"
echo "package $(basename "$package") checked"
