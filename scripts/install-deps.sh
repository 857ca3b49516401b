#!/bin/sh
# Installs the Debian packages the project builds, tests and demonstrates
# with: the Build-Depends of debian/control, those only the tests use
# (<!nocheck>) included, with build-essential. Skips apt entirely when
# everything is already there.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
if command -v dpkg-checkbuilddeps >/dev/null && (cd "$root" && dpkg-checkbuilddeps >/dev/null 2>&1); then
    exit 0
fi
echo "installing the Build-Depends of debian/control"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update -qq
(cd "$root" && $SUDO env DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq ./)
