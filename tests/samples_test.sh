#!/bin/bash
# The three sample clients against the registered DLL on the example
# workstation, in a prefix of their own, in the build's kind of process (the
# i686 build: the 32-bit regsvr32 and cscript under WoW64). Usage:
#   samples_test.sh SOURCE_DIR BUILD_DIR ARCH
set -u
source_dir=$1
build_dir=$2
arch=$3
prefix=$build_dir/samples-prefix
source "$source_dir/cmake/wine_tools.sh"
run() { in_prefix "$prefix" "$@"; }


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
provision_example "$prefix" "$arch" "$build_dir" || fail "regedit"
run "$regsvr32" /s "$(windows_path "$build_dir/Triveld.dll")" || fail "regsvr32 exit code $?"

memory_bytes=$(( $(awk '/^MemTotal:/{print $2}' /proc/meminfo) * 1024 ))
if [ "$arch" = i686 ] && grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
    # qemu's user-mode sysinfo() hands a 32-bit program totalram cut to 32 bits,
    # and 32-bit Wine reports that as the physical memory.
    memory_bytes=$(( memory_bytes % (1 << 32) ))
fi
memory=$(( memory_bytes >> 20 ))
is64bit=no
[ "$arch" = i686 ] && is64bit=yes

check_report() {
    local output=$1 client=$2
    expect "$output" "GetPhysicalMemory" "S_OK +$memory MiB" "$client"
    expect "$output" "Is64BitOS" "S_OK +$is64bit" "$client"
    expect "$output" "DoNotUpgradeTo64" "S_OK +set" "$client"
    expect "$output" "NetVersion" "S_OK +4\\.8\\.3761\\.0;528040$" "$client"
    expect "$output" "ViewerType" "S_OK +2 \\(Velmar Distributed Lite\\)" "$client"
    expect "$output" "ViewerVersion" "S_OK +10\\.2\\.0\\.1537$" "$client"
    expect "$output" "GetLastClientInstallStatus\\(2\\)" "S_OK +0$" "$client"
}

js=$(run "$cscript" //nologo "$(windows_path "$source_dir/samples/readiness_report.js")" /writeback)
status=$?
js=${js//$'\r'/}
[ $status -eq 0 ] || fail "readiness_report.js exit code $status"
check_report "$js" "JScript"
expect "$js" "DoNotUpgradeTo64 \\(write back\\)" "S_OK +written" "JScript"
grep -q "^Verdict: READY - Velmar Distributed Lite 10.2.0.1537" <<<"$js" || fail "JScript verdict"

vbs=$(run "$cscript" //nologo "$(windows_path "$source_dir/samples/readiness_report.vbs")")
status=$?
vbs=${vbs//$'\r'/}
[ $status -eq 0 ] || fail "readiness_report.vbs exit code $status"
check_report "$vbs" "VBScript"
grep -q "^Verdict: READY - Velmar Distributed Lite 10.2.0.1537" <<<"$vbs" || fail "VBScript verdict"

cpp=$(run "$(windows_path "$build_dir/samples/readiness_report.exe")")
status=$?
cpp=${cpp//$'\r'/}
[ $status -eq 0 ] || fail "readiness_report.exe exit code $status"
check_report "$cpp" "C++"
grep -q "^Verdict: READY - Velmar Distributed Lite 10.2.0.1537" <<<"$cpp" || fail "C++ verdict"

# Without registration every client says so and exits 1.
run "$regsvr32" /s /u "$(windows_path "$build_dir/Triveld.dll")" || fail "regsvr32 /u exit code $?"
run "$cscript" //nologo "$(windows_path "$source_dir/samples/readiness_report.js")" >/dev/null
[ $? -eq 1 ] || fail "JScript exit code without registration"
run "$(windows_path "$build_dir/samples/readiness_report.exe")" >/dev/null
[ $? -eq 1 ] || fail "C++ client exit code without registration"

if [ $failures -ne 0 ]; then
    printf '%s\n' "--- JScript" "$js" "--- VBScript" "$vbs" "--- C++" "$cpp"
fi
exit $((failures > 0))
