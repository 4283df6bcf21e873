#!/bin/sh
# Builds the release Trovik.exe and writes dist/Trovik-<version>-win64.zip with
# the program and a short README.txt. Refuses an exe that needs any DLL other
# than Windows' own.
set -eu
cd "$(dirname "$0")/.."
sh tools/setup-debian.sh
cmake -S . -B build-release --toolchain cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release -DTROVIK_TESTS=OFF -DTROVIK_WERROR=ON
cmake --build build-release -j "$(nproc 2>/dev/null || echo 2)" --target Trovik
exe=build-release/Trovik.exe
x86_64-w64-mingw32-strip "$exe"

version=$(sed -n 's/^#define TROVIK_VERSION_TEXT "\(.*\)"/\1/p' build-release/generated/TrovikVersion.h)
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "Imports:" $imports
for dll in $imports; do
  case "$dll" in
    kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|comdlg32.dll|ole32.dll|oleaut32.dll|shell32.dll|shlwapi.dll|advapi32.dll|msvcrt.dll) ;;
    *) echo "package: $exe needs $dll, which Windows does not ship" >&2; exit 1 ;;
  esac
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/Trovik.exe"
cat > "$stage/README.txt" <<TEXT
Trovik $version - find files by their content

Run Trovik.exe; nothing needs installing. Name a file pattern (for example *.*),
the text to look for and a folder, choose whether subfolders count, and press
Search. Files are searched as UTF-16 text, as RTF plain text and as 8-bit text.
Double-click a result to open it; drag it to copy it elsewhere. Recent patterns
and folders are kept under HKEY_CURRENT_USER\\Software\\Pelmora\\Trovik.

Works on Windows 7 to 11 (64-bit), and on Linux under Wine.
TEXT
mkdir -p dist
zip="dist/Trovik-$version-win64.zip"
rm -f "$zip"
(cd "$stage" && zip -q -9 "$OLDPWD/$zip" Trovik.exe README.txt)
ls -l "$zip"
unzip -l "$zip"
