#!/bin/sh
# Installs what is missing, builds Trovik and starts it under Wine.
set -e
cd "$(dirname "$0")/.."
sh tools/setup-debian.sh
cmake -S . -B build --toolchain cmake/mingw-w64.cmake
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target Trovik
WINEDEBUG=-all exec wine build/Trovik.exe
