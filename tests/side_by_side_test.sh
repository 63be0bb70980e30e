#!/bin/bash
# Both product DLLs registered side by side in one fresh prefix, each with the
# regsvr32 of its kind: either host then creates the object by each ProgID in
# process, with IDispatch from the type library of its kind; unregistering
# either one leaves the other working, shared keys included; unregistering the
# last one leaves HKEY_CLASSES_ROOT (both views) as it was. Usage:
#   side_by_side_test.sh SOURCE_DIR BUILD_DIR I686_BUILD_DIR (BUILD_DIR: x86_64)
set -uo pipefail
source_dir=$1
build_dir=$2
i686_build_dir=$3
prefix=$build_dir/side-by-side-prefix
source "$source_dir/cmake/wine_tools.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() { in_prefix "$prefix" "$@"; }

declare -A dll=([32]=$(windows_path "$i686_build_dir/Triveld.dll")
                [64]=$(windows_path "$build_dir/Triveld.dll"))
declare -A tool=([32]='C:\windows\syswow64\' [64]='')
declare -A probe=([32]=$(windows_path "$i686_build_dir/tests/activation_probe.exe")
                  [64]=$(windows_path "$build_dir/tests/activation_probe.exe"))
declare -A syskind=([32]=1 [64]=3)
progids=(Triveld.OrvWorkstationInfo Triveld.OrvWorkstationInfo.3 Triveld.OrvWorkstationInfo.2)
class='HKCR\CLSID\{5B1E0C42-7A93-4D61-9E2F-3C8A0D4B7E15}'
interface='HKCR\Interface\{9D4F1A63-2E7B-4C58-A1D6-5B3E8F0C7A24}'
typelib='HKCR\TypeLib\{A4D2F6B8-1C3E-4F57-8B9D-2E6A0C5F1B73}\2.0\0'
# The keys both views share, read as a 64-bit process sees them: under Wine a
# 64-bit KEY_WOW64_32KEY access of a ProgID lands in a key no 32-bit process sees.
shared=("HKCR\\${progids[0]}" "HKCR\\${progids[1]}" "HKCR\\${progids[2]}" 'HKCR\AppID\Triveld.DLL'
        'HKCR\AppID\{C7E3A915-4B2D-4E8F-A06C-9D1F3B5E2A48}')

# query VIEW KEY [ARGS...]: the key through the reg.exe of that view's kind,
# as UTF-8. reg.exe writes the OEM code page, which Wine takes from the
# locale: 437 under en_US, whatever the caller's.
query() {
    local view=$1 key=$2
    shift 2
    LC_ALL=en_US.UTF-8 run "${tool[$view]}reg.exe" query "$key" "$@" 2>/dev/null |
        tr -d '\r' | iconv -f CP437 -t UTF-8
}
regsvr32() {
    run "${tool[$1]}regsvr32.exe" /s "${@:2}" "${dll[$1]}" || fail "regsvr32 $* ($1-bit)"
}
# The 64-bit reg.exe's export: both views, the 32-bit one's own keys under
# HKCR\Wow6432Node.
snapshot() { python3 "$source_dir/installer/registry_snapshot.py" "$prefix" 64 "$prefix-$1.txt" || fail "snapshot $1"; }

# works VIEW: that view's host creates the object in process by every ProgID,
# and its class, interface and type library entries name its own DLL.
works() {
    local view=$1 line expected progid
    query "$view" "$class\\InprocServer32" /ve | grep -qF "${dll[$view]}" ||
        fail "$view-bit view: class not registered to ${dll[$view]}"
    query "$view" "$interface" >/dev/null || fail "$view-bit view: no interface key"
    query 64 "$typelib\\win$view" /ve | grep -qF "${dll[$view]}" ||
        fail "type library: no win$view entry for ${dll[$view]}"
    for key in "${shared[@]}"; do
        query 64 "$key" >/dev/null || fail "$view-bit host: shared key $key missing"
    done
    while read -r progid line; do
        expected="0x00000000 ${dll[$view]} ${syskind[$view]} 0"
        [ "$line" = "$expected" ] || fail "$view-bit host, $progid: '$line', expected '$expected'"
    done < <(run "${probe[$view]}" "${progids[@]}" | tr -d '\r')
}

# same NAME A B: two snapshots equal, less the type library's HELPDIR, which
# names the folder of the DLL registered last.
same() {
    local difference
    difference=$(diff <(grep -v '\\2\.0\\HELPDIR' "$prefix-$2.txt") \
        <(grep -v '\\2\.0\\HELPDIR' "$prefix-$3.txt"))
    [ -z "$difference" ] || fail "$1:"$'\n'"$(head -20 <<<"$difference")"
}

WINEPREFIX=$prefix /usr/lib/wine/wineserver64 -k 2>/dev/null
rm -rf "$prefix" "$prefix"-*.txt
run cmd /c exit 0
snapshot before
for first in 32 64; do
    second=$((96 - first))
    regsvr32 "$second"
    snapshot "$second-alone"
    regsvr32 "$first"
    works 32
    works 64
    # Unregistering one leaves what the other registers alone.
    regsvr32 "$first" /u
    snapshot "$second-left"
    same "$first-bit unregistered" "$second-alone" "$second-left"
    works "$second"
    regsvr32 "$second" /u
    snapshot "none-$first"
    same "both unregistered, $first-bit first" before "none-$first"
done
WINEPREFIX=$prefix /usr/lib/wine/wineserver64 -k 2>/dev/null
exit $((failures > 0))
