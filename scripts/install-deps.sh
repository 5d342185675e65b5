#!/bin/sh
# Installs, from Debian's packages, whatever the build and the tests need and
# this machine lacks.  Packages already installed are left alone, so the
# script is quick on a machine that has everything.
set -e
need=""
# libcli11-dev: the icode tool's command line parser (header-only).
# lcov: genhtml and lcov, which the tests run on icode coverage's lcov export.
# libclang-cpp14-dev, libclang-14-dev and llvm-14-dev: clang's parser and
# AST for `icode cc`; gcc's gcov and python3 for scripts/compare-gcov.sh.
for pkg in cmake make g++ libboost-dev libgtest-dev libcli11-dev lcov libclang-cpp14-dev \
    libclang-14-dev llvm-14-dev gcc python3; do
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
