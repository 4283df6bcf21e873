#!/bin/sh
# Installs what building, running and testing Trovik need on Debian 12,
# only where something is missing.
set -e
packages="wine wine64 g++-mingw-w64-x86-64-posix googletest libgtest-dev cmake g++ make clang-14 libclang-rt-14-dev xvfb xdotool imagemagick fonts-wine x11-utils zip unzip libbenchmark-dev ripgrep bc"
missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing="$missing $package"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q $missing
fi
