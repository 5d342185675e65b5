#!/bin/sh
# Installs, from Debian's packages, whatever the build and the tests need and
# this machine lacks.  Packages already installed are left alone, so the
# script is quick on a machine that has everything.
set -e
need=""
# libcli11-dev: the icode tool's command line parser (header-only).
# lcov: genhtml and lcov, which the tests run on icode coverage's lcov export.
for pkg in cmake make g++ libboost-dev libgtest-dev libcli11-dev lcov; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        need="$need $pkg"
    fi
done
if [ -n "$need" ]; then
    echo "installing:$need"
    SUDO=""
    if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $need >/dev/null
fi
