#!/bin/bash
# The three sample clients against the registered DLL on the example
# workstation, in a prefix of their own. Usage:
#   samples_test.sh SOURCE_DIR BUILD_DIR
set -u
source_dir=$1
build_dir=$2
prefix=$build_dir/samples-prefix
run() { "$source_dir/cmake/wine_run.sh" "$prefix" "$@"; }
windows() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect OUTPUT LABEL PATTERN: one line starting with LABEL must match PATTERN.
expect() {
    local line
    line=$(grep -E "^$2 " <<<"$1" | head -1)
    grep -Eq "$3" <<<"$line" || fail "$4: '$2' line is '$line', expected /$3/"
}

viewer_dir="$prefix/drive_c/Program Files/Orvane/Velmar Distributed"
run cmd /c exit 0
mkdir -p "$viewer_dir"
cp "$build_dir/samples/VelmarViewer.exe" "$viewer_dir/VelmarViewer.exe"
run regedit /s "$(windows "$source_dir/samples/example_workstation.reg")" || fail "regedit"
run regsvr32 /s "$(windows "$build_dir/Triveld.dll")" || fail "regsvr32 exit code $?"

memory=$(( $(awk '/^MemTotal:/{print $2}' /proc/meminfo) / 1024 ))

check_report() {
    local output=$1 client=$2
    expect "$output" "GetPhysicalMemory" "S_OK +$memory MiB" "$client"
    expect "$output" "Is64BitOS" "S_OK +no" "$client"
    expect "$output" "DoNotUpgradeTo64" "S_OK +set" "$client"
    expect "$output" "NetVersion" "S_OK +4\\.8\\.3761\\.0;528040$" "$client"
    expect "$output" "ViewerType" "S_OK +2 \\(Velmar Distributed Lite\\)" "$client"
    expect "$output" "ViewerVersion" "S_OK +10\\.2\\.0\\.1537$" "$client"
    expect "$output" "GetLastClientInstallStatus\\(2\\)" "S_OK +0$" "$client"
}

js=$(run cscript //nologo "$(windows "$source_dir/samples/readiness_report.js")" /writeback)
status=$?
js=${js//$'\r'/}
[ $status -eq 0 ] || fail "readiness_report.js exit code $status"
check_report "$js" "JScript"
expect "$js" "DoNotUpgradeTo64 \\(write back\\)" "S_OK +written" "JScript"
grep -q "^Verdict: READY - Velmar Distributed Lite 10.2.0.1537" <<<"$js" || fail "JScript verdict"

vbs=$(run cscript //nologo "$(windows "$source_dir/samples/readiness_report.vbs")")
status=$?
vbs=${vbs//$'\r'/}
[ $status -eq 0 ] || fail "readiness_report.vbs exit code $status"
check_report "$vbs" "VBScript"
grep -q "^Verdict: READY - Velmar Distributed Lite 10.2.0.1537" <<<"$vbs" || fail "VBScript verdict"

cpp=$(run "$(windows "$build_dir/samples/readiness_report.exe")")
status=$?
cpp=${cpp//$'\r'/}
[ $status -eq 0 ] || fail "readiness_report.exe exit code $status"
check_report "$cpp" "C++"
grep -q "^Verdict: READY - Velmar Distributed Lite 10.2.0.1537" <<<"$cpp" || fail "C++ verdict"

# Without registration every client says so and exits 1.
run regsvr32 /s /u "$(windows "$build_dir/Triveld.dll")" || fail "regsvr32 /u exit code $?"
run cscript //nologo "$(windows "$source_dir/samples/readiness_report.js")" >/dev/null
[ $? -eq 1 ] || fail "JScript exit code without registration"
run "$(windows "$build_dir/samples/readiness_report.exe")" >/dev/null
[ $? -eq 1 ] || fail "C++ client exit code without registration"

if [ $failures -ne 0 ]; then
    printf '%s\n' "--- JScript" "$js" "--- VBScript" "$vbs" "--- C++" "$cpp"
fi
exit $((failures > 0))
