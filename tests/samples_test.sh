#!/bin/bash
# The three sample clients against the registered DLL on the example
# workstation, in a prefix of their own, in the build's kind of process (the
# i686 build: the 32-bit regsvr32 and cscript under WoW64): the table, the
# JSON report, the policy options and the exit codes. I686_BUILD_DIR holds the
# 32-bit stand-in viewer. Usage:
#   samples_test.sh SOURCE_DIR BUILD_DIR ARCH I686_BUILD_DIR
set -u
source_dir=$1
build_dir=$2
arch=$3
i686_build_dir=$4
prefix=$build_dir/samples-prefix
source "$source_dir/cmake/wine_tools.sh"
run() { in_prefix "$prefix" "$@"; }
check_json() { python3 "$source_dir/tests/report_json_check.py" "$@"; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect OUTPUT LABEL PATTERN: one line starting with LABEL must match PATTERN.
expect() {
    local line
    line=$(grep -E "^$2 " <<<"$1" | head -1)
    grep -Eq "$3" <<<"$line" || fail "$4: '$2' line is '$line', expected /$3/"
}

regsvr32=$(wine_tool "$arch" regsvr32)
cscript=$(wine_tool "$arch" cscript)
js_report=$(windows_path "$source_dir/samples/readiness_report.js")
vbs_report=$(windows_path "$source_dir/samples/readiness_report.vbs")
exe_report=$(windows_path "$build_dir/samples/readiness_report.exe")
provision_example "$prefix" "$i686_build_dir" || fail "regedit"
run "$regsvr32" /s "$(windows_path "$build_dir/Triveld.dll")" || fail "regsvr32 exit code $?"

# report_run CLIENT [OPTIONS...]: sets `output` (standard output) and `status`.
report_run() {
    local client=$1
    shift
    case $client in
        JScript) output=$(run "$cscript" //nologo "$js_report" "$@") ;;
        VBScript) output=$(run "$cscript" //nologo "$vbs_report" "$@") ;;
        C++) output=$(run "$exe_report" "$@") ;;
    esac
    status=$?
    output=${output//$'\r'/}
}

memory_bytes=$(( $(awk '/^MemTotal:/{print $2}' /proc/meminfo) * 1024 ))
if [ "$arch" = i686 ] && grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
    # qemu's user-mode sysinfo() hands a 32-bit program totalram cut to 32 bits,
    # and 32-bit Wine reports that as the physical memory.
    memory_bytes=$(( memory_bytes % (1 << 32) ))
fi
memory=$(( memory_bytes >> 20 ))
# Both DLLs run on 64-bit Wine.
is64bit=yes

check_report() {
    local output=$1 client=$2
    expect "$output" "GetPhysicalMemory" "S_OK +$memory MiB" "$client"
    expect "$output" "Is64BitOS" "S_OK +$is64bit" "$client"
    expect "$output" "DoNotUpgradeTo64" "S_OK +set" "$client"
    expect "$output" "NetVersion" "S_OK +4\\.8\\.3761\\.0;528040$" "$client"
    expect "$output" "ViewerType" "S_OK +2 \\(Velmar Distributed Lite\\)" "$client"
    expect "$output" "ViewerVersion" "S_OK +10\\.2\\.0\\.1537$" "$client"
    expect "$output" "GetLastClientInstallStatus\\(2\\)" "S_OK +0$" "$client"
    grep -q "^Verdict: READY - Velmar Distributed Lite 10.2.0.1537" <<<"$output" ||
        fail "$client verdict"
}

report_run JScript /writeback
js=$output
[ $status -eq 0 ] || fail "readiness_report.js exit code $status"
check_report "$js" "JScript"
expect "$js" "DoNotUpgradeTo64 \\(write back\\)" "S_OK +written" "JScript"

report_run VBScript
vbs=$output
[ $status -eq 0 ] || fail "readiness_report.vbs exit code $status"
check_report "$vbs" "VBScript"

report_run C++
cpp=$output
[ $status -eq 0 ] || fail "readiness_report.exe exit code $status"
check_report "$cpp" "C++"

# The JSON report parses, and its values are the table's.
report_run JScript /json /writeback
[ $status -eq 0 ] || fail "readiness_report.js /json exit code $status"
check_json report "$js" <<<"$output" || fail "JScript /json: $output"

# The report's own encoder on awkward strings, and its guard against errors.
encoder_test=$(windows_path "$source_dir/tests/report_json_test.js")
output=$(run "$cscript" //nologo "$encoder_test" "$js_report")
check_json encoder <<<"${output//$'\r'/}" || fail "the JScript report's JSON encoder"

# Policy options: EXIT|OPTIONS|the one problem of a NOT READY verdict (ERE). The
# example workstation has .NET 4.8, release 528040: 4.8 is met exactly.
above=$((memory + 1))
policy_cases=(
    "0|/minmemory:$memory /minnet:4.8|"
    "1|/minmemory:$above|physical memory $memory MiB is below the required $above MiB"
    "1|/minnet:4.8.1|\\.NET Framework 4\\.8\\.3761\\.0;528040 is below the required 4\\.8\\.1 \\(release 533320\\)"
    "0|/minnet:4.7.2|"
    "0|/minnet:3.5|"
    "3|/minmemory:abc|"
    "3|/minnet:4.9|"
)
for client in JScript VBScript C++; do
    for policy_case in "${policy_cases[@]}"; do
        IFS='|' read -r expected options pattern <<<"$policy_case"
        read -ra arguments <<<"$options"
        [ "$client" = JScript ] && arguments+=(/json)
        report_run "$client" "${arguments[@]}"
        label="$client ${arguments[*]}"
        if [ "$status" -ne "$expected" ]; then
            fail "$label: exit code $status, expected $expected: $output"
        elif [ "$expected" -eq 3 ]; then
            continue
        elif [ "$client" = JScript ]; then
            check_json verdict "$expected" "$pattern" <<<"$output" || fail "$label"
        elif [ "$expected" -eq 0 ]; then
            grep -q "^Verdict: READY - " <<<"$output" || fail "$label: $output"
        else
            grep -Eq "^Verdict: NOT READY - $pattern\$" <<<"$output" || fail "$label: $output"
        fi
    done
done

# Without registration every client says so and exits 2.
run "$regsvr32" /s /u "$(windows_path "$build_dir/Triveld.dll")" || fail "regsvr32 /u exit code $?"
for client in JScript VBScript C++; do
    report_run "$client"
    [ $status -eq 2 ] || fail "$client exit code without registration: $status: $output"
done

if [ $failures -ne 0 ]; then
    printf '%s\n' "--- JScript" "$js" "--- VBScript" "$vbs" "--- C++" "$cpp"
fi
exit $((failures > 0))
