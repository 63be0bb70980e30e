#!/bin/bash
# Host-side checks of the 32-bit product: machine i386, system DLLs only,
# a SYS_WIN32 type library, the header flags that security scanners and
# application control read, and its size.
set -u
dll=$1
tlb=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Little-endian integers of the image at a byte offset: u16 OFFSET, u32 OFFSET.
u16() { od -An -tu2 --endian=little -j "$1" -N2 "$dll" | tr -d ' '; }
u32() { od -An -tu4 --endian=little -j "$1" -N4 "$dll" | tr -d ' '; }

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

# The PE headers (PE32: the i686 product).
pe=$(u32 60)
optional=$((pe + 24))
characteristics=$(u16 $((pe + 22)))
dll_characteristics=$(u16 $((optional + 70)))
flag() {
    (( dll_characteristics & $1 )) || fail "DllCharacteristics $(printf 0x%04x "$dll_characteristics") lacks $2"
}
flag 0x0040 DYNAMIC_BASE
flag 0x0100 NX_COMPAT
flag 0x0400 NO_SEH
# ASLR needs the base relocations: not stripped, and a directory (entry 5) that holds some.
(( characteristics & 0x0001 )) && fail "relocations stripped (IMAGE_FILE_RELOCS_STRIPPED)"
[ "$(u32 $((optional + 96 + 5 * 8 + 4)))" -gt 0 ] || fail "no base relocations"
sections=$(u16 $((pe + 6)))
section_table=$((optional + $(u16 $((pe + 20)))))
for ((i = 0; i < sections; i++)); do
    header=$((section_table + 40 * i))
    name=$(head -c $((header + 8)) "$dll" | tail -c 8 | tr -d '\0')
    flags=$(u32 $((header + 36)))
    (( flags & 0x80000000 && flags & 0x20000000 )) && fail "section $name is writable and executable"
    (( flags & 0x10000000 )) && fail "section $name is shared between processes"
done

size=$(stat -c %s "$dll")
[ "$size" -le $((112 * 1024)) ] || fail "$size bytes, more than 112 KB"

syskind=$(( $(od -An -tu1 -j20 -N1 "$tlb") & 15 ))
[ "$syskind" -eq 1 ] || fail "type library system kind $syskind, expected SYS_WIN32 (1)"

echo "imports: $(echo $imports)"
echo "exports: $(echo $exports)"
echo "DllCharacteristics: $(printf '0x%04x' "$dll_characteristics")"
echo "size: $size bytes"
exit $((failures > 0))
