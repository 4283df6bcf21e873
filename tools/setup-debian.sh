#!/bin/sh
# Installs what building, running and testing Trovik need on Debian 12,
# only where something is missing.
set -e
packages="wine wine64 g++-mingw-w64-x86-64-posix googletest libgtest-dev cmake g++ make clang-14 libclang-rt-14-dev xvfb xdotool imagemagick fonts-wine fonts-droid-fallback fonts-dejavu-core x11-utils zip unzip libbenchmark-dev ripgrep bc locales"
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
# The Japanese locale the double-byte tests run Wine under: without it Wine
# still takes code page 932 but cannot store CJK file names.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "Generating the ja_JP.UTF-8 locale"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
