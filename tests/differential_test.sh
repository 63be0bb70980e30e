#!/bin/bash
# The two product DLLs over the same registry data in one prefix: the example
# workstation and every malformed-data fixture (tests/differential_fixtures.cpp).
# The 32-bit DLL answers in a 32-bit process, the 64-bit DLL in a 64-bit one
# (tests/answer_transcripts.cpp of each build); every answer, HRESULT and
# event-log entry must be the same, fixture by fixture. Wine stores no event
# log: its eventlog channel prints each entry's text on the process's standard
# error, in order with the transcript. Then the DoNotUpgradeTo64 flag that
# either DLL writes is what the other reads. Usage:
#   differential_test.sh SOURCE_DIR I686_BUILD_DIR X64_BUILD_DIR
set -uo pipefail
source_dir=$1
declare -A build=([32]=$2 [64]=$3)
prefix=${build[32]}/differential-prefix
parent='Software\TriveldDifferential'
source "$source_dir/cmake/wine_tools.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# transcripts VIEW [OPTIONS] ROOT...: that DLL's transcripts, thread ids cut.
transcripts() {
    local view=$1
    shift
    WINEDEBUG='-all,trace+eventlog,warn+eventlog,err+eventlog' in_prefix "$prefix" \
        "${build[$view]}/tests/answer_transcripts.exe" "$(windows_path "${build[$view]}/Triveld.dll")" \
        "$@" 2>&1 | tr -d '\r' | sed -E 's/^[0-9a-f]+:((trace|warn|err):eventlog:)/\1/'
}

in_prefix "$prefix" cmd /c exit 0
in_prefix "$prefix" reg delete "HKCU\\$parent" /f >/dev/null 2>&1
fixtures=$(in_prefix "$prefix" "${build[32]}/tests/differential_fixtures.exe" "$parent" \
    "$(windows_path "${build[32]}/tests/viewer_fixture_versioned.exe")" | tr -d '\r') ||
    fail "writing the fixtures: $fixtures"
mapfile -t roots < <(cut -f1 <<<"$fixtures")
[ "${#roots[@]}" -gt 200 ] || fail "only ${#roots[@]} fixtures"

transcripts 32 "${roots[@]}" >"$prefix-32.txt" || fail "32-bit transcripts"
transcripts 64 "${roots[@]}" >"$prefix-64.txt" || fail "64-bit transcripts"
# Each line labelled with its fixture, so that a difference names the fixture.
label() {
    awk -F'\t' 'NR == FNR { label[$1] = $2; next }
        /^== / { fixture = label[substr($0, 4)] } { print fixture ": " $0 }' \
        <(printf '%s\n' "$fixtures") "$1"
}
difference=$(diff <(label "$prefix-32.txt") <(label "$prefix-64.txt"))
[ -z "$difference" ] || fail "the DLLs answer differently:"$'\n'"$(head -40 <<<"$difference")"
# Real transcripts: every fixture's answers and the example workstation's entries.
[ "$(grep -c '^Is64BitOS 00000000 -1$' "$prefix-32.txt")" -eq "${#roots[@]}" ] ||
    fail "not every fixture answered: $(head -20 "$prefix-32.txt")"
grep -q "^trace:eventlog:ReportEventW L\"Source: Triveld  Message: Call to CWorkstationInfo::get_NetVersion returned '4.8.3761.0;528040'\"$" \
    "$prefix-32.txt" || fail "no event-log entries in the transcripts"

# The flag written by either DLL, on the example workstation (the first fixture).
transcripts 64 /put:0 "${roots[0]}" | grep -q '^put_DoNotUpgradeTo64 00000000' || fail "64-bit put"
transcripts 32 "${roots[0]}" | grep -qx 'DoNotUpgradeTo64 00000000 0' ||
    fail "the 32-bit DLL does not read the flag the 64-bit one cleared"
transcripts 32 /put:1 "${roots[0]}" | grep -q '^put_DoNotUpgradeTo64 00000000' || fail "32-bit put"
transcripts 64 "${roots[0]}" | grep -qx 'DoNotUpgradeTo64 00000000 -1' ||
    fail "the 64-bit DLL does not read the flag the 32-bit one set"

in_prefix "$prefix" reg delete "HKCU\\$parent" /f >/dev/null || fail "removing the fixtures"
exit $((failures > 0))
