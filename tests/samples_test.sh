#!/bin/bash
# The three sample clients against the registered DLL, in a prefix of their
# own, in the build's kind of process (the i686 build: the 32-bit regsvr32 and
# cscript under WoW64): on the example workstation, then on every row of the
# workstation table, which the three must report alike (exit code, table,
# verdict and problems), the JScript report's JSON with the row's values and
# the program's JSON equal to it but for the time. I686_BUILD_DIR holds the
# 32-bit stand-ins for the viewer. Usage:
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
# The viewer's data lies in the 32-bit view, which both DLLs read.
regedit=$(wine_tool i686 regedit)
js_report=$(windows_path "$source_dir/samples/readiness_report.js")
vbs_report=$(windows_path "$source_dir/samples/readiness_report.vbs")
exe_report=$(windows_path "$build_dir/samples/readiness_report.exe")
errors_file=$prefix-errors.txt
provision_example "$prefix" "$i686_build_dir" || fail "regedit"
# Executables that table rows register: one without version information, one
# whose version resource holds no version number.
cp "$i686_build_dir/tests/viewer_fixture_unversioned.exe" \
    "$prefix/drive_c/Program Files/Orvane/Velmar Distributed/Unversioned.exe" || fail "copy"
cp "$i686_build_dir/tests/viewer_fixture_no_fixed_info.exe" \
    "$prefix/drive_c/Program Files/Orvane/Velmar Distributed/VersionWithoutNumber.exe" || fail "copy"
run "$regsvr32" /s "$(windows_path "$build_dir/Triveld.dll")" || fail "regsvr32 exit code $?"

# report_run CLIENT [OPTIONS...]: sets `output` (standard output), `errors`
# (standard error) and `status`.
report_run() {
    local client=$1
    shift
    # Now and then a run under Wine prints nothing at all, with exit code 0 or
    # even the right one (seen with cscript, about once in 500 runs with two at
    # once, and with the program). Every client prints something on every
    # path, so a run that printed nothing is made once more.
    for _ in 1 2; do
        case $client in
            JScript) output=$(run "$cscript" //nologo "$js_report" "$@" 2>"$errors_file") ;;
            VBScript) output=$(run "$cscript" //nologo "$vbs_report" "$@" 2>"$errors_file") ;;
            C++) output=$(run "$exe_report" "$@" 2>"$errors_file") ;;
            *) output=$(run "$cscript" //nologo "$client" "$@" 2>"$errors_file") ;;
        esac
        status=$?
        output=${output//$'\r'/}
        errors=$(tr -d '\r' <"$errors_file")
        [ -n "$output$errors" ] && break
        echo "note: $client $* printed nothing (exit code $status); run again"
    done
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

# --- The workstation table ---
# NAME|CHANGE|OPTIONS|EXIT|ANSWERS|PROBLEMS, one row a line. CHANGE: lines of a
# .reg file, "\n" between them, applied to the example workstation
# (samples/example_workstation.reg); {lite}, {distributed}, {first}, {second},
# {ndp} and {viewer} stand for its keys and the viewer's folder. ANSWERS: the
# JSON answers that differ from the example's, MEMBER:VALUE, or
# MEMBER:VALUE@HRESULT for a failed call (DoNotUpgradeTo64Write is absent
# unless listed). PROBLEMS: as the verdict lists them, "; " between them; for
# exit 3 the message. {memory} is this process's memory figure, {above} one more.
workstations=$(cat <<'TABLE'
example|||0||
example, options in any case||/MinMemory:0 /MINNET:4.8|0||
example, written back||/writeback|0|DoNotUpgradeTo64Write:true|
memory at the threshold||/minmemory:{memory} /minnet:4.8|0||
memory below||/minmemory:{above}|1||physical memory {memory} MiB is below the required {above} MiB
memory 0||/minmemory:0|0||
memory 007||/minmemory:007|0||
memory in 11 digits||/minmemory:00000000001|0||
memory at the largest threshold||/minmemory:2147483647|1||physical memory {memory} MiB is below the required 2147483647 MiB
largest memory in 11 digits||/minmemory:02147483647|1||physical memory {memory} MiB is below the required 2147483647 MiB
memory beyond the largest||/minmemory:2147483648|3||/minmemory needs a whole number of MiB, not '2147483648'
memory negative||/minmemory:-1|3||/minmemory needs a whole number of MiB, not '-1'
memory with an exponent||/minmemory:1e3|3||/minmemory needs a whole number of MiB, not '1e3'
memory not a number||/minmemory:abc|3||/minmemory needs a whole number of MiB, not 'abc'
memory empty||/minmemory:|3||/minmemory needs a whole number of MiB, not ''
.NET version unknown||/minnet:4.9|3||/minnet knows 2.0, 3.0, 3.5 and 4.5 to 4.8.1, not '4.9'
unknown option||/fast|3||unknown option '/fast'
.NET 4.8 against 3.5||/minnet:3.5|0||
no viewer|[-{first}]\n[-{second}]||1|ViewerType:0 ViewerVersion:null@0x800700A1 GetLastClientInstallStatus:null@0x80070002|no viewer installed
viewer executable missing|[{first}\LocalServer32]\n@="{viewer}\\Missing.exe"||1|ViewerType:0 ViewerVersion:null@0x800700A1 GetLastClientInstallStatus:null@0x80070002|no viewer installed
no version information|[{first}\LocalServer32]\n@="{viewer}\\Unversioned.exe"\n[{second}\LocalServer32]\n@="{viewer}\\unversioned.exe"||1|ViewerVersion:null@0x80070714|viewer version unreadable
no version number|[{first}\LocalServer32]\n@="{viewer}\\VersionWithoutNumber.exe"\n[{second}\LocalServer32]\n@="{viewer}\\versionwithoutnumber.exe"||1|ViewerVersion:""|viewer version unreadable
Velmar Distributed only|[-{second}]\n{distributed}\n"LastInstallStatus"=dword:00000000||0|ViewerType:1|
no installation status|{lite}\n"LastInstallStatus"=-||1|GetLastClientInstallStatus:null@0x80070002|no viewer installation status
installation status 5|{lite}\n"LastInstallStatus"=dword:00000005||1|GetLastClientInstallStatus:5|last viewer installation ended with status 5
installation status -1|{lite}\n"LastInstallStatus"=dword:ffffffff||1|GetLastClientInstallStatus:-1|last viewer installation ended with status -1
installation status 0x80070643|{lite}\n"LastInstallStatus"=dword:80070643||1|GetLastClientInstallStatus:-2147023293|last viewer installation ended with status -2147023293
installation status a string|{lite}\n"LastInstallStatus"="abcde"||1|GetLastClientInstallStatus:null@0x800700EA|no viewer installation status
installation status binary|{lite}\n"LastInstallStatus"=hex:00,00,00,00||1|GetLastClientInstallStatus:null@0x8007000D|no viewer installation status
no .NET|[-{ndp}]||1|NetVersion:null@0x80070002|no .NET Framework found
no .NET version|[-{ndp}]\n[{ndp}]||1|NetVersion:"0.0.0.0;0"|no .NET Framework found
nothing at all, too little memory|[-{first}]\n[-{second}]\n[-{ndp}]|/minmemory:{above} /minnet:4.8|1|ViewerType:0 ViewerVersion:null@0x800700A1 GetLastClientInstallStatus:null@0x80070002 NetVersion:null@0x80070002|no viewer installed; no .NET Framework found; physical memory {memory} MiB is below the required {above} MiB
no .NET, thresholds named|[-{ndp}]|/minnet:4.5 /minmemory:1|1|NetVersion:null@0x80070002|no .NET Framework found
.NET 3.5 only against 3.5|[-{ndp}\v4]|/minnet:3.5|0|NetVersion:"3.5.30729.4926;0"|
.NET 3.5 only against 4.5|[-{ndp}\v4]|/minnet:4.5|1|NetVersion:"3.5.30729.4926;0"|.NET Framework 3.5.30729.4926;0 is below the required 4.5 (release 378389)
.NET 3.0 newest against 3.0|[-{ndp}\v3.5]\n[-{ndp}\v4]\n[{ndp}\v3.0]\n"Install"=dword:00000001\n"SP"=dword:00000002\n"Version"="3.0.30729.4926"|/minnet:3.0|0|NetVersion:"3.0.30729.4926;0"|
.NET 3.0 newest against 3.5|[-{ndp}\v3.5]\n[-{ndp}\v4]\n[{ndp}\v3.0]\n"Install"=dword:00000001\n"SP"=dword:00000002\n"Version"="3.0.30729.4926"|/minnet:3.5|1|NetVersion:"3.0.30729.4926;0"|.NET Framework 3.0.30729.4926;0 is below the required 3.5
.NET 4.0 against 3.5|[-{ndp}\v4]\n[{ndp}\v4\Full]\n"Install"=dword:00000001\n"Version"="4.0.30319"|/minnet:3.5|0|NetVersion:"4.0.30319.0;0"|
.NET 4.0 against 4.5|[-{ndp}\v4]\n[{ndp}\v4\Full]\n"Install"=dword:00000001\n"Version"="4.0.30319"|/minnet:4.5|1|NetVersion:"4.0.30319.0;0"|.NET Framework 4.0.30319.0;0 is below the required 4.5 (release 378389)
DoNotUpgradeTo64 absent, written back|{distributed}\n"DoNotUpgradeTo64"=-|/writeback|0|DoNotUpgradeTo64:false DoNotUpgradeTo64Write:true|
DoNotUpgradeTo64 a string|{distributed}\n"DoNotUpgradeTo64"="1"|/writeback|0|DoNotUpgradeTo64:null@0x8007000D|
TABLE
)
# /minnet from 4.5 on against a release one below, at and one above its
# documented minimum (Microsoft's list, kept here apart from the clients').
while read -r version release; do
    for offset in -1 0 1; do
        machine=$((release + offset))
        net="4.8.3761.0;$machine"
        problem=
        [ $offset -lt 0 ] &&
            problem=".NET Framework $net is below the required $version (release $release)"
        change="[-{ndp}\\v4\\Client]\\n[{ndp}\\v4\\Full]\\n"
        change+="\"Release\"=dword:$(printf %08x "$machine")"
        workstations+=$'\n'"release $machine against $version|$change|/minnet:$version|"
        workstations+="$((offset < 0))|NetVersion:\"$net\"|$problem"
    done
done <<'RELEASES'
4.5 378389
4.5.1 378675
4.5.2 379893
4.6 393295
4.6.1 394254
4.6.2 394802
4.7 460798
4.7.1 461308
4.7.2 461808
4.8 528040
4.8.1 533320
RELEASES

example_answers="GetPhysicalMemory:$memory Is64BitOS:true DoNotUpgradeTo64:true"
example_answers+=' NetVersion:"4.8.3761.0;528040" ViewerType:2 ViewerVersion:"10.2.0.1537"'
example_answers+=' GetLastClientInstallStatus:0'

# expand TEXT: the table's placeholders replaced.
expand() {
    local text=$1 orvane='HKEY_LOCAL_MACHINE\SOFTWARE\Orvane'
    text=${text//'{lite}'/"[$orvane\\Velmar Distributed Lite\\CurrentVersion]"}
    text=${text//'{distributed}'/"[$orvane\\Velmar Distributed\\CurrentVersion]"}
    text=${text//'{first}'/'HKEY_CLASSES_ROOT\CLSID\{6E2B8D34-5F1C-4A79-B3E8-0D4C7A2F9E51}'}
    text=${text//'{second}'/'HKEY_CLASSES_ROOT\CLSID\{2F9C4E71-8D3A-4B6E-9C05-7A1E4D8B3F62}'}
    text=${text//'{ndp}'/'HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\NET Framework Setup\NDP'}
    text=${text//'{viewer}'/'C:\\Program Files\\Orvane\\Velmar Distributed'}
    text=${text//'{memory}'/"$memory"}
    text=${text//'{above}'/"$((memory + 1))"}
    printf '%s' "$text"
}

# provision CHANGE: the example workstation's keys removed, written anew and
# changed, in one regedit run.
row_registry=$prefix-row.reg
provision() {
    {
        printf '%s\n' REGEDIT4 '' \
            '[-HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\NET Framework Setup\NDP]' \
            '[-HKEY_CLASSES_ROOT\CLSID\{6E2B8D34-5F1C-4A79-B3E8-0D4C7A2F9E51}]' \
            '[-HKEY_CLASSES_ROOT\CLSID\{2F9C4E71-8D3A-4B6E-9C05-7A1E4D8B3F62}]' \
            '[-HKEY_LOCAL_MACHINE\SOFTWARE\Orvane]'
        tail -n +2 "$source_dir/samples/example_workstation.reg"
        printf '\n%s\n' "${1//\\n/$'\n'}"
    } >"$row_registry"
    # The file removes what it writes first, so a second import starts clean.
    # Seen once in a CI run: regedit failed on a file that imports everywhere
    # else; what it said and its exit code are shown.
    local said status
    for _ in 1 2; do
        said=$(run "$regedit" /s "$(windows_path "$row_registry")" 2>&1)
        status=$?
        [ $status -eq 0 ] && return 0
        echo "note: regedit of $row_registry: exit code $status: ${said//$'\r'/}"
    done
    fail "regedit of $row_registry failed twice"
}

# The DoNotUpgradeTo64 answer in a JSON report.
flag_json() { grep -o '"DoNotUpgradeTo64":{[^}]*}' <<<"$1"; }

# row_run CLIENT [OPTIONS...]: report_run on the row's workstation (made anew
# after a write back, which may have created the flag), with the row's exit
# code; a write back must leave the flag as the JScript report first read it.
row_run() {
    if [ "$provisioned" = written ]; then
        provision "$change"
        provisioned=$change
    fi
    report_run "$@"
    [ $status -eq "$expected" ] || fail "$label: $* exit code $status: $output$errors"
    [[ ${*,,} == */writeback* ]] || return 0
    provisioned=written
    local saved=("$output" "$errors" "$status")
    report_run JScript /json
    [ "$(flag_json "$output")" = "$flag_before" ] ||
        fail "$label: $* wrote DoNotUpgradeTo64 $(flag_json "$output"), read $flag_before"
    output=${saved[0]} errors=${saved[1]} status=${saved[2]}
}

# differences TABLE: how TABLE differs from the JScript one.
differences() { diff <(echo "$js_table") <(echo "$1"); }

# check_row NAME OPTIONS EXIT ANSWERS PROBLEMS, on the workstation `change`.
check_row() {
    local name=$1 options=$2 expected=$3 answers=$4 problems=$5
    local arguments=() script_arguments=() argument verdict
    local js_table js_json cpp_table cpp_json vbs_table label client last
    read -ra arguments <<<"$options"
    # The VBScript report has neither /json nor /writeback.
    for argument in "${arguments[@]}"; do
        case ${argument,,} in /json | /writeback) ;; *) script_arguments+=("$argument") ;; esac
    done
    label="row '$name'"
    if [[ ${options,,} == */writeback* ]]; then
        report_run JScript /json
        flag_before=$(flag_json "$output")
    fi
    row_run VBScript "${script_arguments[@]}"
    vbs_table=$output$errors
    row_run C++ "${arguments[@]}"
    cpp_table=$output$errors
    row_run C++ "${arguments[@]}" /json
    cpp_json=$output
    row_run JScript "${arguments[@]}"
    js_table=$output$errors
    row_run JScript "${arguments[@]}" /json
    js_json=$output
    if [ "$expected" -eq 3 ]; then
        # Wine's cscript has no standard error: its messages come on standard output.
        for client in "VBScript:$vbs_table" "C++:$cpp_table" "JScript:$js_table"; do
            last=$(head -1 <<<"${client#*:}")
            [ "$last" = "$problems" ] || fail "$label: ${client%%:*} says '$last', expected '$problems'"
        done
        return
    fi
    # READY names the viewer and .NET, which the JSON check below compares.
    verdict="Verdict: NOT READY - $problems"
    for client in "VBScript:$vbs_table" "JScript:$js_table"; do
        last=$(tail -1 <<<"${client#*:}")
        if [ "$expected" -eq 0 ]; then
            [[ $last == "Verdict: READY - "* ]] || fail "$label: ${client%%:*} verdict: $last"
        else
            [ "$last" = "$verdict" ] || fail "$label: ${client%%:*} verdict: $last"
        fi
    done
    [ "$cpp_table" = "$js_table" ] ||
        fail "$label: the C++ table differs:"$'\n'"$(differences "$cpp_table")"
    [ "$vbs_table" = "$(grep -v '^DoNotUpgradeTo64 (write back) ' <<<"$js_table")" ] ||
        fail "$label: the VBScript table differs:"$'\n'"$(differences "$vbs_table")"
    check_json row "$expected" "$example_answers" "$answers" "$problems" <<<"$js_json" ||
        fail "$label: JScript /json: $js_json"
    grep -Eq '"time":"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z"' <<<"$cpp_json" ||
        fail "$label: C++ /json time: $cpp_json"
    local timeless='s/"time":"[^"]*"//'
    [ "$(sed -E "$timeless" <<<"$cpp_json")" = "$(sed -E "$timeless" <<<"$js_json")" ] ||
        fail "$label: C++ /json differs from JScript's:"$'\n'"$cpp_json"$'\n'"$js_json"
}

provisioned=
while IFS='|' read -r name change options expected answers problems; do
    change=$(expand "$change")
    if [ "$change" != "$provisioned" ]; then
        provision "$change"
        provisioned=$change
    fi
    check_row "$name" "$(expand "$options")" "$expected" "$answers" "$(expand "$problems")"
done <<<"$workstations"
provision ""

# An unexpected error ends in exit 4, never in 0 or 1: a report the program
# cannot write, and an error injected into a copy of the VBScript report.
output=$(run "$exe_report" /json 2>&1 >/dev/full)
status=$?
[ $status -eq 4 ] || fail "C++ with an unwritable standard output: exit code $status: $output"
[ "${output//$'\r'/}" = "Unexpected error: the report could not be written to standard output" ] ||
    fail "C++ with an unwritable standard output says '$output'"
injected=$prefix/drive_c/unexpected_error.vbs
sed 's/^Sub ParseOptions()$/&\n    Err.Raise 5, "samples_test", "injected"/' \
    "$source_dir/samples/readiness_report.vbs" >"$injected"
grep -c '"injected"' "$injected" | grep -qx 1 || fail "the error was not injected into $injected"
report_run 'C:\unexpected_error.vbs'
[ $status -eq 4 ] || fail "VBScript with an injected error: exit code $status: $output"
grep -qx "Unexpected error: 0x00000005 injected" <<<"$output$errors" ||
    fail "VBScript with an injected error says '$output$errors'"

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
