#!/bin/bash
# Runs widl, then replaces the creation time it stamps into the type library
# with a fixed one, so that two builds of the same sources give the same .tlb
# and so the same DLL. widl 7 stamps MIDL's two custom data items, the text
# "Created by WIDL version V at <ctime>" and the same time as a VT_UI4, from
# time() and ignores SOURCE_DATE_EPOCH.
# Usage: widl_fixed_time.sh TLB WIDL [ARGS...]
set -euo pipefail
export LC_ALL=C TZ=UTC
tlb=$1
shift
fixed_time=0

fail() { echo "widl_fixed_time: $*" >&2; exit 1; }
# The text ctime() makes of a time, as widl writes it (TZ=UTC).
ctime_text() { date -u -d "@$1" '+%a %b %e %H:%M:%S %Y'; }
# VT_UI4 (0x0013) and the time, little-endian, as a grep -P pattern.
number_pattern() {
    printf '\\x13\\x00\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) \
        $(($1 >> 16 & 255)) $(($1 >> 24 & 255))
}
# The byte offsets of every match of grep's pattern (grep options first).
offsets() { { grep -obUa "$@" "$tlb" || true; } | cut -d: -f1; }
# write_at OFFSET BYTES: overwrites the type library in place (BYTES may hold \xHH).
write_at() { printf "%b" "$2" | dd of="$tlb" bs=1 seek="$1" conv=notrunc status=none; }

start=$(date +%s)
"$@"
end=$(date +%s)

stamp=
for ((time = start; time <= end; time++)); do
    number_at=$(offsets -P "$(number_pattern "$time")")
    [ -z "$number_at" ] || { stamp=$time; break; }
done
[ -n "$stamp" ] || fail "no creation time of this run found in $tlb"
text_at=$(offsets -F "$(ctime_text "$stamp")")
[ "$(wc -w <<<"$number_at")" -eq 1 ] && [ "$(wc -w <<<"$text_at")" -eq 1 ] ||
    fail "the creation time is not exactly once a number and once a text in $tlb"

write_at "$number_at" "$(number_pattern "$fixed_time")"
write_at "$text_at" "$(ctime_text "$fixed_time")"
