#!/bin/bash
# Host-side checks of a product DLL, either architecture, and of the report
# program that ships beside it: machine, system DLLs only, the header flags
# that security scanners and application control read, no time stamp or
# symbol table, and the size; the DLL's exports and its type library's system
# kind; the program's version resource.
# Usage: check_product_dll.sh DLL TLB readiness_report.exe
set -u
dll=$1
tlb=$2
program=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Little-endian integers of IMAGE at a byte offset: u16 IMAGE OFFSET, u32 IMAGE OFFSET.
u16() { od -An -tu2 --endian=little -j "$2" -N2 "$1" | tr -d ' '; }
u32() { od -An -tu4 --endian=little -j "$2" -N4 "$1" | tr -d ' '; }

# What differs between the two architectures' images, from the DLL's
# optional header: PE32 for the 32-bit product, PE32+ for the 64-bit one
# (whose C++ exceptions unwind through SEH tables of its own: no NO_SEH).
case $(u16 "$dll" $(($(u32 "$dll" 60) + 24))) in
267)
    objdump=i686-w64-mingw32-objdump format=pei-i386 machine=i386 directories=96
    syskind_wanted=1 dll_limit=112 program_limit=224
    required_flags=(0x0040:DYNAMIC_BASE 0x0100:NX_COMPAT 0x0400:NO_SEH)
    ;;
523)
    objdump=x86_64-w64-mingw32-objdump format=pei-x86-64 machine=i386:x86-64 directories=112
    syskind_wanted=3 dll_limit=84 program_limit=152
    required_flags=(0x0020:HIGH_ENTROPY_VA 0x0040:DYNAMIC_BASE 0x0100:NX_COMPAT)
    ;;
*)
    echo "FAIL: $dll is not a PE32 or PE32+ image"
    exit 1
    ;;
esac

# check_image IMAGE MAXIMUM_KB: machine, imports, header flags and size.
check_image() {
    local image=$1 maximum=$2
    local headers imports name pe optional characteristics dll_characteristics
    local sections section_table header flags size i allowed required
    headers=$("$objdump" -f "$image")
    grep -q "file format $format\$" <<<"$headers" || fail "$image: not a $format image"
    grep -q "architecture: $machine," <<<"$headers" || fail "$image: machine is not $machine"

    imports=$("$objdump" -p "$image" | awk '/DLL Name:/{print tolower($3)}')
    allowed='^(kernel32|advapi32|ole32|oleaut32|shlwapi|version|msvcrt|user32)\.dll$'
    for name in $imports; do
        grep -Eq "$allowed" <<<"$name" || fail "$image imports $name"
    done

    pe=$(u32 "$image" 60)
    optional=$((pe + 24))
    characteristics=$(u16 "$image" $((pe + 22)))
    dll_characteristics=$(u16 "$image" $((optional + 70)))
    for required in "${required_flags[@]}"; do
        (( dll_characteristics & ${required%%:*} )) ||
            fail "$image: DllCharacteristics $(printf 0x%04x "$dll_characteristics") lacks ${required#*:}"
    done
    # ASLR needs the base relocations: not stripped, and a directory (entry 5) that holds some.
    (( characteristics & 0x0001 )) && fail "$image: relocations stripped (IMAGE_FILE_RELOCS_STRIPPED)"
    [ "$(u32 "$image" $((optional + directories + 5 * 8 + 4)))" -gt 0 ] ||
        fail "$image: no base relocations"
    [ "$(u32 "$image" $((pe + 8)))" -eq 0 ] || fail "$image: a time stamp in the file header"
    [ "$(u32 "$image" $((pe + 12)))" -eq 0 ] || fail "$image: not stripped (a COFF symbol table)"
    sections=$(u16 "$image" $((pe + 6)))
    section_table=$((optional + $(u16 "$image" $((pe + 20)))))
    for ((i = 0; i < sections; i++)); do
        header=$((section_table + 40 * i))
        name=$(head -c $((header + 8)) "$image" | tail -c 8 | tr -d '\0')
        flags=$(u32 "$image" $((header + 36)))
        (( flags & 0x80000000 && flags & 0x20000000 )) &&
            fail "$image: section $name is writable and executable"
        (( flags & 0x10000000 )) && fail "$image: section $name is shared between processes"
    done

    size=$(stat -c %s "$image")
    [ "$size" -le $((maximum * 1024)) ] || fail "$image: $size bytes, more than $maximum KB"
    echo "${image##*/}: imports: $(echo $imports)"
    echo "${image##*/}: DllCharacteristics: $(printf '0x%04x' "$dll_characteristics"), size: $size bytes"
}

check_image "$dll" "$dll_limit"
check_image "$program" "$program_limit"

# The program's version resource, which publisher rules read: a name (after
# its entry's header) on one line, its value on the next but for padding.
strings=$(iconv -f UTF-16LE -t UTF-8 -c <"$program" 2>/dev/null | tr '\0' '\n')
for name_value in ProductName:Triveld OriginalFilename:readiness_report.exe FileVersion:2.0.0.0; do
    grep -a -A2 "${name_value%%:*}\$" <<<"$strings" | grep -aqx "${name_value#*:}" ||
        fail "$program: no version resource value ${name_value%%:*} ${name_value#*:}"
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

syskind=$(( $(od -An -tu1 -j20 -N1 "$tlb") & 15 ))
[ "$syskind" -eq "$syskind_wanted" ] ||
    fail "type library system kind $syskind, expected $syskind_wanted"

echo "exports: $(echo $exports)"
exit $((failures > 0))
