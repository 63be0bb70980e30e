#!/bin/bash
# Host-side checks of a product DLL, either architecture: its machine, system
# DLLs only, the four exports, the type library's system kind, the header
# flags that security scanners and application control read, and its size.
# Usage: check_product_dll.sh DLL TLB
set -u
dll=$1
tlb=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Little-endian integers of the image at a byte offset: u16 OFFSET, u32 OFFSET.
u16() { od -An -tu2 --endian=little -j "$1" -N2 "$dll" | tr -d ' '; }
u32() { od -An -tu4 --endian=little -j "$1" -N4 "$dll" | tr -d ' '; }

# What differs between the two products' images.
pe=$(u32 60)
optional=$((pe + 24))
case $(u16 "$optional") in
267) # PE32: the 32-bit product
    objdump=i686-w64-mingw32-objdump format=pei-i386 machine=i386
    directories=$((optional + 96)) syskind_wanted=1 size_limit=$((112 * 1024))
    required_flags=(0x0040:DYNAMIC_BASE 0x0100:NX_COMPAT 0x0400:NO_SEH)
    ;;
523) # PE32+: the 64-bit product, whose C++ exceptions unwind through SEH tables
    objdump=x86_64-w64-mingw32-objdump format=pei-x86-64 machine=i386:x86-64
    directories=$((optional + 112)) syskind_wanted=3 size_limit=$((84 * 1024))
    required_flags=(0x0020:HIGH_ENTROPY_VA 0x0040:DYNAMIC_BASE 0x0100:NX_COMPAT)
    ;;
*)
    echo "FAIL: $dll is not a PE32 or PE32+ image"
    exit 1
    ;;
esac

headers=$("$objdump" -f "$dll")
grep -q "file format $format\$" <<<"$headers" || fail "not a $format image"
grep -q "architecture: $machine," <<<"$headers" || fail "machine is not $machine"

imports=$("$objdump" -p "$dll" | awk '/DLL Name:/{print tolower($3)}')
allowed='^(kernel32|advapi32|ole32|oleaut32|shlwapi|version|msvcrt|user32)\.dll$'
for name in $imports; do
    grep -Eq "$allowed" <<<"$name" || fail "imports $name"
done

exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/{/Table/d;p}' |
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

characteristics=$(u16 $((pe + 22)))
dll_characteristics=$(u16 $((optional + 70)))
for required in "${required_flags[@]}"; do
    (( dll_characteristics & ${required%%:*} )) ||
        fail "DllCharacteristics $(printf 0x%04x "$dll_characteristics") lacks ${required#*:}"
done
# ASLR needs the base relocations: not stripped, and a directory (entry 5) that holds some.
(( characteristics & 0x0001 )) && fail "relocations stripped (IMAGE_FILE_RELOCS_STRIPPED)"
[ "$(u32 $((directories + 5 * 8 + 4)))" -gt 0 ] || fail "no base relocations"
[ "$(u32 $((pe + 8)))" -eq 0 ] || fail "a time stamp in the file header"
sections=$(u16 $((pe + 6)))
section_table=$((optional + $(u16 $((pe + 20)))))
for ((i = 0; i < sections; i++)); do
    header=$((section_table + 40 * i))
    name=$(head -c $((header + 8)) "$dll" | tail -c 8 | tr -d '\0')
    flags=$(u32 $((header + 36)))
    (( flags & 0x80000000 && flags & 0x20000000 )) && fail "section $name is writable and executable"
    (( flags & 0x10000000 )) && fail "section $name is shared between processes"
done
# Stripped: no COFF symbol table.
[ "$(u32 $((pe + 12)))" -eq 0 ] || fail "not stripped (a COFF symbol table)"

size=$(stat -c %s "$dll")
[ "$size" -le "$size_limit" ] || fail "$size bytes, more than $((size_limit / 1024)) KB"

syskind=$(( $(od -An -tu1 -j20 -N1 "$tlb") & 15 ))
[ "$syskind" -eq "$syskind_wanted" ] ||
    fail "type library system kind $syskind, expected $syskind_wanted"

echo "imports: $(echo $imports)"
echo "exports: $(echo $exports)"
echo "DllCharacteristics: $(printf '0x%04x' "$dll_characteristics")"
echo "size: $size bytes"
exit $((failures > 0))
