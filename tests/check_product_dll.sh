#!/bin/bash
# Host-side checks of the 32-bit product: machine i386, system DLLs only,
# a SYS_WIN32 type library.
set -u
dll=$1
tlb=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

headers=$(i686-w64-mingw32-objdump -f "$dll")
grep -q 'file format pei-i386' <<<"$headers" || fail "not a pei-i386 image"
grep -q 'architecture: i386' <<<"$headers" || fail "machine is not i386"

imports=$(i686-w64-mingw32-objdump -p "$dll" | awk '/DLL Name:/{print tolower($3)}')
allowed='^(kernel32|advapi32|ole32|oleaut32|shlwapi|version|msvcrt|user32)\.dll$'
for name in $imports; do
    grep -Eq "$allowed" <<<"$name" || fail "imports $name"
done

exports=$(i686-w64-mingw32-objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/{/Table/d;p}' |
    grep -o '\] .*' | cut -c3-)
for name in $exports; do
    case "$name" in
        DllCanUnloadNow|DllGetClassObject|DllRegisterServer|DllUnregisterServer) ;;
        *) fail "exports $name" ;;
    esac
done
for name in DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer; do
    grep -qx "$name" <<<"$exports" || fail "does not export $name"
done

syskind=$(( $(od -An -tu1 -j20 -N1 "$tlb") & 15 ))
[ "$syskind" -eq 1 ] || fail "type library system kind $syskind, expected SYS_WIN32 (1)"

echo "imports: $(echo $imports)"
echo "exports: $(echo $exports)"
echo "size: $(stat -c %s "$dll") bytes"
exit $((failures > 0))
