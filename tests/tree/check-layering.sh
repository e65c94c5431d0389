#!/bin/sh
# Keeps the layers apart: app -> reconcile -> {db, zip} -> platform, Qt only
# in the window, platform differences only in platform/. Prints every
# offending line and fails when there is one.
# Usage: check-layering.sh SOURCE_DIR
set -u
cd "$1" || exit 2
status=0
sources() { find "$@" -path ./build -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print; }
# A rule: its description, then the offending lines (grep's hits).
rule() {
    if [ -n "$2" ]; then
        printf '%s:\n%s\n' "$1" "$2"
        status=1
    fi
}

rule "Qt below the window" \
    "$(sources platform db zip reconcile app/core app/cli app/demo | xargs grep -nE '#include <Q[A-Za-z]+>')"
rule "a lower layer includes reconcile/ or app/" \
    "$(sources platform db zip | xargs grep -nE '#include "(reconcile|app)/')"
rule "platform/ includes a layer above it" \
    "$(sources platform | xargs grep -nE '#include "(db|zip)/')"
rule "db/ includes zip/" "$(sources db | xargs grep -nE '#include "zip/')"
rule "zip/ includes db/" "$(sources zip | xargs grep -nE '#include "db/')"
rule "a platform difference outside platform/" \
    "$(sources . | grep -v '^\./platform/' | xargs grep -nE '\b_WIN32\b')"
exit $status
