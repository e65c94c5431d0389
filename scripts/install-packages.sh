#!/bin/sh
# Installs every Debian package of scripts/packages.txt. Safe to run again.
# The loopback server's SYSDBA password is preseeded so that the install
# never asks and the tests know it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
echo "firebird3.0-server shared/firebird/sysdba_password/first_install password testpass" \
    | debconf-set-selections
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    $(grep -v '^#' "$here/packages.txt")
