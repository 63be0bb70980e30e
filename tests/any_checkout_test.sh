#!/bin/bash
# The product of one architecture built from a copy of the sources below a
# folder whose name has a space, an apostrophe, brackets and a non-ASCII
# letter, under a UTF-8 locale other than C: the DLL and the report program
# must be byte for byte the main build's. The i686 run also packages it: the
# package's InprocServer32 must name the installed file, and the package,
# made without a certificate, says so and is not signed.
# Usage: any_checkout_test.sh SOURCE_DIR BUILD_DIR ARCH (the main build of ARCH)
set -u
shopt -s dotglob
source_dir=$1
build_dir=$2
arch=$3
locale=en_US.UTF-8
root=$build_dir/any-checkout
checkout="$root/Ü ber's [x]/triveld"
copy_build=$checkout/build/$arch

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
stop() { echo "FAIL: $*"; exit 1; }

locale -a | grep -qix 'en_US.utf8' || stop "no locale $locale: ./build.sh deps installs locales-all"
export LC_ALL=$locale

rm -rf "$root"
mkdir -p "$checkout"
for entry in "$source_dir"/*; do
    case ${entry##*/} in build | .git) continue ;; esac
    cp -a "$entry" "$checkout/" || stop "copying $entry"
done

cmake -S "$checkout" -B "$copy_build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$checkout/cmake/toolchain-$arch.cmake" >/dev/null || stop "configure"
cmake --build "$copy_build" --target Triveld readiness_report -j "$(nproc)" >/dev/null ||
    stop "build"
for image in Triveld.dll samples/readiness_report.exe; do
    cmp "$build_dir/$image" "$copy_build/$image" || fail "$image differs from $build_dir/$image"
done
[ "$arch" = i686 ] || exit $((failures > 0))

# The 32-bit package alone, unsigned (the program is the main build's).
output=$(env -u TRIVELD_SIGN_PFX python3 "$checkout/installer/make_package.py" "$checkout/build" \
    --i686 "$copy_build/Triveld.dll" "$build_dir/samples/readiness_report.exe" 2>"$root/stderr.txt") ||
    stop "make_package.py: $(cat "$root/stderr.txt")"
msi=$(tail -1 <<<"$output")
grep -qx 'Not signed: TRIVELD_SIGN_PFX is not set.' "$root/stderr.txt" ||
    fail "no 'Not signed' line: $(cat "$root/stderr.txt")"
osslsigncode verify -in "$msi" >/dev/null 2>&1 && fail "the package without a certificate is signed"
# Registry table rows: Registry, Root, Key, Name, Value, Component_.
inproc=$(msiinfo export "$msi" Registry | tr -d '\r' |
    awk -F'\t' '$3 ~ /\\InprocServer32$/ && $4 == "" { print $5 }')
[ "$inproc" = '[#TriveldDll]' ] || fail "InprocServer32 default value in the package: '$inproc'"
exit $((failures > 0))
