#!/bin/sh
# The whole test command: installs the Debian packages, then builds and runs
# every test twice, once plainly and once under AddressSanitizer and
# UndefinedBehaviorSanitizer. Run as root on Debian 12.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-packages.sh"
jobs=$(nproc)
for variant in normal asan; do
    build="$root/build/$variant"
    sanitize=OFF
    [ "$variant" = asan ] && sanitize=ON
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DDORVIL_SANITIZE=$sanitize -DDORVIL_WERROR=ON
    cmake --build "$build" -j "$jobs"
    echo "== tests ($variant build)"
    ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 600
done
