#!/bin/sh
# Every C++ source is as clang-format (with the tree's .clang-format) would
# write it. Prints the places that differ.
# Usage: check-format.sh SOURCE_DIR
set -eu
cd "$1"
find platform db zip reconcile app tests bench -type f \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 clang-format --dry-run --Werror
