#!/bin/sh
# The demo command: installs the Debian packages, builds the programs, makes
# a fresh demo library in build/demo (replacing the one made before) and runs
# the program on it: the window when there is a display, otherwise dorvil-cli
# with all three checks, followed by a summary of what the run changed. Run
# as root on Debian 12.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-packages.sh"
build="$root/build/normal"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDORVIL_SANITIZE=OFF \
    -DDORVIL_WERROR=ON
cmake --build "$build" -j "$(nproc)" --target dorvil dorvil-cli dorvil-demo
demo="$root/build/demo"
"$build/app/demo/dorvil-demo" --replace "$demo"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$build/app/dorvil" --dir "$demo/manager"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Every file of the library and the move folder, and the catalogue's counts.
snapshot() {
    (cd "$demo" && find library moved -type f | LC_ALL=C sort) >"$work/files.$1"
    "$build/app/demo/dorvil-demo" --counts "$demo" >"$work/counts.$1"
}
count() { awk -v table="$1" '$1 == table { print $2 }' "$work/counts.$2"; }

snapshot before
status=0
"$build/app/dorvil-cli" --dir "$demo/manager" --run compare,duplicate-files,duplicate-links ||
    status=$?
snapshot after

echo
echo "== What the run changed in $demo"
LC_ALL=C comm -23 "$work/files.before" "$work/files.after" >"$work/gone"
LC_ALL=C comm -13 "$work/files.before" "$work/files.after" >"$work/new"
echo "Files moved out of library/: $(grep -c ^library/ "$work/gone" || true), now in moved/:"
sed 's/^/  /' "$work/new"
echo "Files before: $(wc -l <"$work/files.before"), after: $(wc -l <"$work/files.after")"
echo "Records deleted: $(($(count BOOK before) - $(count BOOK after)))" \
    "(BOOK $(count BOOK before) -> $(count BOOK after))"
echo "Author links deleted: $(($(count BOOK_AUTOR before) - $(count BOOK_AUTOR after)))" \
    "(BOOK_AUTOR $(count BOOK_AUTOR before) -> $(count BOOK_AUTOR after))"
exit "$status"
