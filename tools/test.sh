#!/bin/sh
# Installs what is missing, builds everything and runs every test: the native
# engine under sanitizers first, then the Windows build under Wine.
set -e
cd "$(dirname "$0")/.."
sh tools/setup-debian.sh
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build-native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_C_COMPILER=clang-14
cmake --build build-native -j "$jobs"
(cd build-native && ctest --output-on-failure -j "$jobs")

# A second compiler for the Windows target: the program must build clean with it too.
cmake -S . -B build-clang --toolchain cmake/clang-mingw-w64.cmake -DTROVIK_WERROR=ON -DTROVIK_TESTS=OFF
cmake --build build-clang -j "$jobs"

# The release package, exactly as it ships (warnings as errors, no DLL beyond
# Windows' own): a release that no longer builds fails here.
sh tools/package.sh

# No test is run again here: the Wine wrapper alone starts a program once
# more, and only after Wine's rare start-up failure; each such start is listed
# at the end so that the log shows it.
rm -f build/wine-retries.log
cmake -S . -B build --toolchain cmake/mingw-w64.cmake -DTROVIK_WERROR=ON
cmake --build build -j "$jobs"
cd build
status=0
ctest --output-on-failure -j "$jobs" || status=$?
if [ -s wine-retries.log ]; then
  echo "Programs Wine failed to start and that were started once more:"
  cat wine-retries.log
fi
exit "$status"
