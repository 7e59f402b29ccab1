#!/usr/bin/env bash
# Builds the Windows 95/98/Me program with the i686 toolchain (in build-win, or
# $WINDOWS_BUILD_DIR) and packs it for the user: veq-comport-mapper-VERSION-win9x.zip
# in the build directory, with the program, its help page and README.TXT in CR LF. The
# import gate and the processor gate run on the program as packed; no package is written
# when either fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${WINDOWS_BUILD_DIR:-$root/build-win}")"
# shellcheck source=wine-common.sh
source "$root/scripts/wine-common.sh"

"$root/scripts/setup.sh" zip
veq_build_windows "$build"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
[ -n "$version" ] || { echo "no project version in $build/CMakeCache.txt" >&2; exit 1; }
name="veq-comport-mapper-$version"
stage="$build/package/$name"
package="$build/$name-win9x.zip"
rm -rf "$build/package" "$package"
mkdir -p "$stage"

# The symbol table serves only a debugger; without it the program is half the size.
i686-w64-mingw32-strip -o "$stage/$veq_program" "$build/src/app/$veq_program"
cp "$root/src/app/help/qtlhelp.html" "$stage/"
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$root/src/app/help/README.TXT" >"$stage/README.TXT"

veq_gate import "$stage/$veq_program" "$build/package/import-gate.log" || { echo "no package" >&2; exit 1; }
# The processor gate names functions, so it reads the program before strip; strip leaves
# the code as it was, which the comparison of the two programs' .text shows.
veq_gate processor "$build/src/app/$veq_program" "$build/package/processor-gate.log" || { echo "no package" >&2; exit 1; }
for program in "$build/src/app/$veq_program" "$stage/$veq_program"; do
  i686-w64-mingw32-objcopy -O binary -j .text "$program" "$program.text"
done
cmp -s "$build/src/app/$veq_program.text" "$stage/$veq_program.text" ||
  { echo "strip changed the program's code; no package" >&2; exit 1; }
rm "$build/src/app/$veq_program.text" "$stage/$veq_program.text"

(cd "$build/package" && zip -q -X -r "$package" "$name")
unzip -l "$package"
echo "package: $package ($(stat -c %s "$package") bytes; the program $(stat -c %s "$stage/$veq_program") bytes)"
