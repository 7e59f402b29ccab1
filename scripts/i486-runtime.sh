#!/usr/bin/env bash
# Builds the Windows runtime for the 486: the CRT's start-up code and libraries, libgcc,
# libstdc++ and libatomic, from Debian's own sources of exactly the installed cross
# toolchain's versions, compiled with -march=i486 -mtune=generic. Debian builds them for
# the Pentium Pro, whose conditional moves and FPU compares fault on a 486, a Pentium, a
# K6 or a 6x86. The Windows build links with -B<prefix>/lib/ so that these archives and
# objects come before the installed ones.
#
# Prints the prefix on its last line of standard output (progress goes to standard
# error). The prefix is kept in the user's cache, keyed by this script and the installed
# versions of the cross compiler, mingw-w64 and binutils, and reused while they stay the
# same. It is built in a temporary folder and moved into place whole, so an interrupted
# build leaves nothing that a later run would take for a finished one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
target=i686-w64-mingw32
cc=$target-gcc-win32
cxx=$target-g++-win32
flags="-O2 -march=i486 -mtune=generic"

"$root/scripts/setup.sh" g++-mingw-w64-i686-win32 gcc-12-source dpkg-dev libgmp-dev libmpfr-dev \
  libmpc-dev >&2

version() { dpkg-query -W -f='${Version}' "$1"; }
compiler_version="$(version gcc-mingw-w64-i686-win32)"
crt_version="$(version mingw-w64-i686-dev)"
gcc_source_version="$(version gcc-12-source)"
# The cross compiler is Debian's gcc-12 source plus a suffix of its own.
case "$compiler_version" in
  "$gcc_source_version"+*) ;;
  *) echo "gcc-12-source $gcc_source_version is not the source of the cross compiler $compiler_version" >&2
     exit 1 ;;
esac
key="$( { sha256sum "$0" | cut -d' ' -f1; echo "$compiler_version"; echo "$crt_version"
          version binutils-mingw-w64-i686; } | sha256sum | cut -c1-16)"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/veq-comport"
prefix="$cache/i486-runtime-$key"
mkdir -p "$cache"

# One build at a time: a second caller waits and then takes the finished prefix.
exec 9>"$cache/i486-runtime.lock"
flock 9
if [ -d "$prefix" ]; then
  echo "$prefix"
  exit 0
fi

work="$(mktemp -d "$cache/i486-runtime-$key.XXXXXX")"
trap 'rm -rf "$work"' EXIT
started=$(date +%s)
echo "Building the 486 runtime in $work (a few minutes, once)" >&2
lib="$work/prefix/lib"
mkdir -p "$lib"

# The mingw-w64 source, through a private apt directory with a deb-src entry for the
# suite the installed package came from; the system's apt configuration stays as it is.
apt="$work/apt"
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/sources.list.d" "$apt/preferences.d"
origin="$(apt-cache policy mingw-w64-i686-dev | awk '/^ \*\*\* /{found=1; next}
  found && $2 ~ /^https?:/ {print $2, $3; exit}')"
[ -n "$origin" ] || { echo "no archive offers the installed mingw-w64-i686-dev $crt_version" >&2; exit 1; }
read -r uri suite_component <<<"$origin"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
echo "deb-src ${keyring:+[signed-by=$keyring] }$uri ${suite_component%%/*} ${suite_component#*/}" \
  >"$apt/sources.list"
apt_options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
  -o "Dir::Etc::Preferences=$apt/preferences" -o "Dir::Etc::PreferencesParts=$apt/preferences.d"
  -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o Debug::NoLocking=1
  -o APT::Sandbox::User=root -qq)
apt-get "${apt_options[@]}" update >&2
(cd "$work" && apt-get "${apt_options[@]}" source --download-only "mingw-w64=$crt_version" >&2)
# Debian's patches to the CRT change only its Makefile.am (build flags, dlltool's
# temporary names); the tarball's generated Makefile.in builds the same code without
# autotools.
dpkg-source --no-check -x "$work"/mingw-w64_*.dsc "$work/mingw-w64" >&2

# Of the CRT, the start-up objects and the libraries that hold code a program of this
# toolchain links: the import libraries hold only jumps through the import table, and
# the other C runtimes' libraries are for other toolchains.
crt_files=(crt1.o crt2.o crt1u.o crt2u.o dllcrt1.o dllcrt2.o CRT_fp8.o CRT_fp10.o CRT_glob.o CRT_noglob.o
  binmode.o txtmode.o libmingw32.a libmingwex.a libmingwthrd.a libmoldname.a libmsvcrt.a)
mkdir -p "$work/crt/lib32"
(cd "$work/crt" && "$work/mingw-w64/mingw-w64-crt/configure" --host=$target --prefix=/unused \
  --enable-lib32 --disable-lib64 --disable-dependency-tracking CC=$cc CXX=$cxx CFLAGS="$flags" \
  CXXFLAGS="$flags" >&2 \
  && make -j2 "${crt_files[@]/#/lib32/}" >&2 && cp "${crt_files[@]/#/lib32/}" "$lib/")

# gcc's target libraries from the gcc-12 source, built by the installed compiler itself:
# gcc is configured as Debian configured it, for the 486, and only the headers its
# target libraries include are made, so no compiler is built.
gcc_tarball="$(ls /usr/src/gcc-12/gcc-*.tar.*)"
tar -xf "$gcc_tarball" -C "$work" --exclude='*/gcc/testsuite' --exclude='*/libgo' --exclude='*/libphobos' \
  --exclude='*/gcc/ada' --exclude='*/libgfortran' --exclude='*/libsanitizer'
gcc_src="$(ls -d "$work"/gcc-*/)"
configured="$($cc -v 2>&1 | sed -n 's/^Configured with: [^ ]*configure //p' | tr -d "'")"
gcc_options=()
for option in $configured; do
  case "$option" in --enable-languages=*|--enable-dependency-tracking) ;; *) gcc_options+=("$option") ;; esac
done
mkdir "$work/gcc"
cd "$work/gcc"
"$gcc_src/configure" "${gcc_options[@]}" --enable-languages=c,c++ --with-arch=i486 --disable-bootstrap >&2
make -j2 all-build-libiberty configure-gcc >&2
# xgcc and specs stand for the compiler, which is not built; INHIBIT_LIBC_CFLAGS is
# empty as in Debian's libgcov.
make -C gcc -j2 -o xgcc -o specs INHIBIT_LIBC_CFLAGS= libgcc.mvars tconfig.h tm.h options.h \
  insn-constants.h version.h >&2
mkdir -p gcc/include  # where libgcc puts unwind.h for the compiler
make -j2 -o all-gcc CC_FOR_TARGET=$cc GCC_FOR_TARGET=$cc CXX_FOR_TARGET=$cxx RAW_CXX_FOR_TARGET=$cxx \
  CFLAGS_FOR_TARGET="$flags" CXXFLAGS_FOR_TARGET="$flags" \
  all-target-libgcc all-target-libstdc++-v3 all-target-libatomic >&2
built="$work/gcc/$target"
cp "$built"/libgcc/{libgcc.a,libgcc_eh.a,crtbegin.o,crtend.o,crtfastmath.o} \
  "$built"/libstdc++-v3/src/.libs/libstdc++.a "$built"/libstdc++-v3/libsupc++/.libs/libsupc++.a \
  "$built"/libstdc++-v3/src/filesystem/.libs/libstdc++fs.a "$built"/libatomic/.libs/libatomic.a "$lib/"
cd "$work"

# Each archive and object must hold what Debian's does: the same members, the same
# global symbols defined (Debian strips most local ones); only the instructions differ.
contents() {
  { [[ "$1" == *.a ]] && $target-ar t "$1"; $target-nm --defined-only "$1" 2>/dev/null \
      | awk 'NF == 3 && $2 ~ /^[A-Z]$/ && $2 != "N" {print $2, $3}'; } | LC_ALL=C sort
}
differ=0
for file in "$lib"/*; do
  name="${file##*/}"
  debian="$($cc -print-file-name="$name")"
  [ "$debian" != "$name" ] || { echo "Debian's toolchain has no $name" >&2; differ=1; continue; }
  if ! diff <(contents "$debian") <(contents "$file") >"$work/difference"; then
    echo "$name differs from Debian's $debian:" >&2
    head -20 "$work/difference" >&2
    differ=1
  fi
done
[ "$differ" -eq 0 ] || exit 1

mv -T "$work/prefix" "$prefix"
echo "Built the 486 runtime in $(( $(date +%s) - started )) s" >&2
echo "$prefix"
