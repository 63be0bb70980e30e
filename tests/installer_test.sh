#!/bin/bash
# The Windows Installer packages under Wine's msiexec, each mode in a fresh
# WoW64 prefix of its own. Usage:
#   installer_test.sh SOURCE_DIR BUILD_DIR X64_BUILD_DIR MODE
# BUILD_DIR is the i686 build, X64_BUILD_DIR the x86_64 one. MODE:
#   package        builds the packages the other modes install: the product's
#                  own version, signed with a test certificate and time-stamped,
#                  and a higher one signed without a time stamp; checks the
#                  signatures, the refusals, an interrupted run, and the
#                  generator's text step
#   lifecycle      the 32-bit package under the 32-bit msiexec
#   lifecycle_x64  the x64 package under the 64-bit msiexec, both views
#   upgrade        the 32-bit package over itself, upgraded, downgraded
#   upgrade_x64    the x64 package over the 32-bit one of the same and of an
#                  older version
set -u
source_dir=$1
build_dir=$2
x64_build=$3
mode=$4
packages=$build_dir/installer-packages
inputs=(--i686 "$build_dir/Triveld.dll" "$build_dir/samples/readiness_report.exe"
        --x64 "$x64_build/Triveld.dll" "$x64_build/samples/readiness_report.exe")
msi=$packages/Triveld-2.0.0.msi
msi64=$packages/Triveld-2.0.0-x64.msi
next_msi=$packages/next/Triveld-2.0.1.msi
next_msi64=$packages/next/Triveld-2.0.1-x64.msi
clsid='{5B1E0C42-7A93-4D61-9E2F-3C8A0D4B7E15}'
typelib='HKCR\TypeLib\{A4D2F6B8-1C3E-4F57-8B9D-2E6A0C5F1B73}'
prefix=$build_dir/installer-$mode-prefix
signing=$build_dir/installer-signing
folder32="$prefix/drive_c/Program Files (x86)/Triveld"
folder64="$prefix/drive_c/Program Files/Triveld"
windows32='C:\Program Files (x86)\Triveld'
windows64='C:\Program Files\Triveld'
reg32='C:\windows\syswow64\reg.exe'
reg64='C:\windows\system32\reg.exe'

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
source "$source_dir/cmake/wine_tools.sh"
run() { in_prefix "$prefix" "$@"; }
msiexec32() { run 'C:\windows\syswow64\msiexec.exe' "$@"; }
msiexec64() { run 'C:\windows\system32\msiexec.exe' "$@"; }
make_package=(python3 "$source_dir/installer/make_package.py")
# snapshot NAME [VIEW...]: each view of HKEY_CLASSES_ROOT (default: 32), as
# a process of its kind sees it, in $prefix-NAME-VIEW.txt.
snapshot() {
    local name=$1 view
    shift
    for view in "${@:-32}"; do
        python3 "$source_dir/installer/registry_snapshot.py" "$prefix" "$view" \
            "$prefix-$name-$view.txt" || fail "snapshot $name ($view-bit view)"
    done
}
# Wine passes only the low byte of a Windows exit code on to Linux.
expect_status() { [ "$1" -eq $(($3 & 255)) ] || fail "$2: exit code $1, expected $3 (low byte $(($3 & 255)))"; }
# same LABEL A B FILTER VIEW...: the snapshots A and B of each VIEW must be
# equal, less lines matching FILTER.
same() {
    local label=$1 a=$2 b=$3 filter=$4 view difference
    shift 4
    for view in "${@:-32}"; do
        difference=$(diff <(grep -Ev "$filter" "$prefix-$a-$view.txt") \
            <(grep -Ev "$filter" "$prefix-$b-$view.txt"))
        [ -z "$difference" ] ||
            fail "$label: snapshot '$b' differs from '$a' ($view-bit view):"$'\n'"$(head -40 <<<"$difference")"
    done
}
# Windows Installer's own records of installed products (Wine adds the package's
# folder to their source list once more on every run).
installer_records='^HKEY_CLASSES_ROOT\\Installer(\\|$)'
# Add/Remove Programs entries named Triveld in both views, one "version
# publisher" line each (Wine writes a 32-bit package's in the 32-bit view).
arp_entries() {
    local reg
    for reg in "$reg32" "$reg64"; do
        run "$reg" query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | tr -d '\r' | awk '
            /^HKEY/ { if (name == "Triveld") print version, publisher; name = version = publisher = "" }
            $1 == "DisplayName" { name = $3 }
            $1 == "DisplayVersion" { version = $3 }
            $1 == "Publisher" { publisher = $3 }
            END { if (name == "Triveld") print version, publisher }'
    done
}
# report CSCRIPT: the JScript report through that cscript.
report() {
    run "$1" //nologo "$(windows_path "$source_dir/samples/readiness_report.js")"
}
cscript32='C:\windows\syswow64\cscript.exe'
cscript64='C:\windows\system32\cscript.exe'
fresh_prefix() {
    WINEPREFIX=$prefix /usr/lib/wine/wineserver64 -k 2>/dev/null
    rm -rf "$prefix" "$prefix"-*.txt
    run cmd /c exit 0
}
quiet() { "$@" >/dev/null; }

# The generator's text step, a table whose rows are the keys, names and values
# of tests/fixtures/installer_text.reg: texts that the .reg form, formatted
# text and XML each treat specially, GUIDs, the scratch paths below a folder
# named with brackets and braces, Windows-1252 letters. Registered with
# regedit, made into a package and installed by msiexec under a locale whose
# ANSI code page is not 1252, they must read back as registered, the scratch
# paths as the installed ones. Rows the package cannot carry must stop it.
text_round_trip() {
    local work=$build_dir/installer-text
    local scratch_root='Z:\build\proj[2] {x} Ü'
    local scratch="$scratch_root\\scratch\\" target='C:\Program Files (x86)\Triveld\'
    rm -rf "$work"
    mkdir -p "$work/scratch"
    cp "$build_dir/Triveld.dll" "$build_dir/samples/readiness_report.exe" "$work/scratch/"
    fresh_prefix
    sed 's/$/\r/' "$source_dir/tests/fixtures/installer_text.reg" | iconv -f UTF-8 -t UTF-16 \
        >"$work/text.reg"
    run 'C:\windows\syswow64\regedit.exe' /s "$(windows_path "$work/text.reg")"
    expect_status $? "regedit of the text probe" 0
    snapshot registered
    grep -F 'HKEY_CLASSES_ROOT\TriveldText' "$prefix-registered-32.txt" >"$work/registered.txt"
    quiet run "$reg32" delete 'HKCR\TriveldText' /f
    expect_status $? "deleting the text probe" 0
    # Rows that must stop the generator, as "ROOT<tab>DATA": a text outside
    # Windows-1252 (wixl would empty it); a scratch path other than the DLL
    # and its folder, in another case, below a root with brackets and one
    # with braces only; data that is not a string.
    printf '%s\t%b\n' \
        "$scratch_root" '"\xce\xa9"' \
        "$scratch_root" '"z:\\\\build\\\\PROJ[2] {x} \xc3\x9c\\\\other.dll"' \
        'Z:\build\proj {x}' '"Z:\\\\build\\\\proj {x}\\\\scratch\\\\Triveld.dll Z:\\\\build\\\\proj {x}\\\\other.dll"' \
        "$scratch_root" 'dword:00000001' >"$work/refused.txt"
    python3 - "$source_dir/installer" "$work" "$scratch_root" <<'EOF' || fail "text probe: packaging"
import sys
from pathlib import Path
sys.path.insert(0, sys.argv[1])
import make_package, registry_entries, registry_snapshot
work, root = Path(sys.argv[2]), sys.argv[3]
def scratch(root):
    folder = root + "\\scratch\\"
    return registry_entries.Scratch(folder + "Triveld.dll", "TriveldDll", folder, "INSTALLDIR", root)
packaged = []
for row in (work / "refused.txt").read_text().splitlines():
    bad_root, data = row.split("\t", 1)
    line = registry_snapshot.Line("HKEY_CLASSES_ROOT\\TriveldText", '"bad"', data)
    try:
        registry_entries.rows([line], scratch(bad_root))
        packaged.append(f"{data} below {bad_root}")
    except registry_entries.PackagingError:
        pass
rows = registry_entries.rows(registry_snapshot.read(work / "registered.txt"), scratch(root))
make_package.build_package(
    work, "x86", "text.msi",
    {"ProductName": "Triveld", "Manufacturer": "Orvane", "Description": "text", "Version": "2.0.0",
     "NextVersion": "2.0.1",
     "ProductCode": "E3A1D0C2-5B7F-4C1E-9A6D-2F8B4C0E7D15", "Dll": "scratch/Triveld.dll",
     "Program": "scratch/readiness_report.exe"}, {"registry32.wxi": rows}, None)
sys.exit("packaged what it cannot carry: " + "; ".join(packaged) if packaged else 0)
EOF
    LC_ALL=ru_RU.UTF-8 msiexec32 /i "$(windows_path "$work/package-x86/text.msi")" /qn
    expect_status $? "installing the text probe" 0
    snapshot installed
    # What was registered, the scratch paths (backslashes doubled, as in a
    # .reg file, and the folder in the fixture's other case too) read as the
    # installed ones.
    local from=${scratch//\\/"\\\\"} to=${target//\\/"\\\\"} expected difference
    local other_case='z:\\BUILD\\PROJ[2] {X} ü\\Scratch\\'
    expected=$(<"$work/registered.txt")
    expected=${expected//"$from"/"$to"}
    expected=${expected//"$other_case"/"$to"}
    difference=$(diff <(printf '%s\n' "$expected") \
        <(grep -F 'HKEY_CLASSES_ROOT\TriveldText' "$prefix-installed-32.txt"))
    [ -z "$difference" ] || fail "text probe: installed differs from registered:"$'\n'"$difference"
}

# A test PKI in $signing: a root; code-signing certificates in PKCS#12 files
# (valid, expired, and one for servers only), a password file whose first
# line is the password; a time-stamping authority.
make_test_pki() {
    rm -rf "$signing"
    mkdir -p "$signing"
    (
        cd "$signing" || exit 1
        # issue NAME SUBJECT EXTENDED_KEY_USAGE [DAYS]: a key and a certificate
        # from the root, in NAME.pfx with the chain.
        issue() {
            openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -subj "$2" -out "$1.csr" &&
                openssl x509 -req -in "$1.csr" -CA root.pem -CAkey root.key -CAcreateserial \
                    -days "${4:-30}" -out "$1.pem" -extfile <(printf '%s\n' basicConstraints=CA:false \
                        keyUsage=critical,digitalSignature "extendedKeyUsage=$3") &&
                openssl pkcs12 -export -in "$1.pem" -inkey "$1.key" -certfile root.pem \
                    -passout pass:'test password' -out "$1.pfx"
        }
        openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 30 \
            -subj '/CN=Triveld Test Root' -addext basicConstraints=critical,CA:true \
            -addext keyUsage=critical,keyCertSign &&
            issue signer '/C=CH/O=Orvane Test/CN=Orvane Test' codeSigning &&
            issue expired '/CN=Orvane Expired' codeSigning -1 &&
            issue server '/CN=Orvane Server' serverAuth &&
            issue tsa '/CN=Triveld Test TSA' critical,timeStamping &&
            printf 'test password\nsecond line\n' >password && printf 'wrong\n' >wrong
    ) >/dev/null 2>&1 || fail "test PKI"
}
# signed PFX PASSWORD_FILE [TSA]: runs the rest signing with that certificate,
# time-stamped offline by the test authority when TSA is "tsa".
signed() {
    local pfx=$1 password=$2 tsa=$3
    shift 3
    if [ "$tsa" = tsa ]; then
        env TRIVELD_SIGN_PFX="$pfx" TRIVELD_SIGN_PASSWORD_FILE="$password" \
            TRIVELD_SIGN_TSA_CERT="$signing/tsa.pem" TRIVELD_SIGN_TSA_KEY="$signing/tsa.key" "$@"
    else
        env TRIVELD_SIGN_PFX="$pfx" TRIVELD_SIGN_PASSWORD_FILE="$password" "$@"
    fi
}
# verify_signature FILE [untimed]: a signature that verifies against the test
# root, time-stamped unless "untimed".
verify_signature() {
    local output
    output=$(osslsigncode verify -CAfile "$signing/root.pem" -TSA-CAfile "$signing/root.pem" -in "$1" 2>&1) ||
        return 1
    if [ "${2:-}" = untimed ]; then
        grep -q '^Timestamp is not available' <<<"$output"
    else
        grep -q '^Timestamp Server Signature verification: ok' <<<"$output"
    fi
}
# no_outputs DIR LABEL: DIR holds no output of make_package.py.
no_outputs() {
    local left
    # Relative paths: find's -path takes a pattern, and a checkout's path may
    # hold brackets.
    left=$(cd "$1" 2>/dev/null && find . -path ./package-work -prune -o -type f -print)
    [ -z "$left" ] || fail "$2 left in $1: $left"
}
# wineservers PREFIX: the process ids of the wineservers of PREFIX, found by
# the server folder that each works in (.../server-DEV-INODE, in hex).
wineservers() {
    local folder pid
    folder=$(stat -c 'server-%D' "$1")-$(printf '%x' "$(stat -c %i "$1")") || return
    for pid in /proc/[0-9]*; do
        [[ $(readlink "$pid/cwd" 2>/dev/null) == */"$folder" ]] && echo "${pid#/proc/}"
    done
}
# An interrupt (SIGINT to the process group, as Ctrl-C sends it) while Wine
# runs must stop the build, stop the wineservers it started and leave no
# outputs, not even the last run's.
interrupted_run() {
    local out=$packages/interrupted
    local scratch_prefix=$out/package-work/prefix-i686 pid status waited=0
    mkdir -p "$out"
    cp "$msi" "$packages/SHA256SUMS" "$out/"
    # With job control the run is a process group of its own that does not
    # ignore SIGINT, as a terminal's foreground job.
    set -m
    "${make_package[@]}" "$out" "${inputs[@]}" >/dev/null 2>"$out.stderr" &
    pid=$!
    set +m
    # Once the prefix is made and being copied for the x64 DLL, the next
    # server of the i686 prefix is one that lingers for 30 s unless stopped.
    until { [ -d "${scratch_prefix%-i686}-x64" ] && [ -n "$(wineservers "$scratch_prefix" 2>/dev/null)" ]; } ||
        [ $waited -ge 1200 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    local servers
    servers=$(wineservers "$scratch_prefix")
    [ -n "$servers" ] || fail "interrupt: no wineserver seen for $scratch_prefix"
    kill -INT -- "-$pid"
    wait $pid
    status=$?
    [ $status -eq 130 ] || fail "interrupt: exit status $status, expected 130 (SIGINT)"
    grep -q 'interrupted' "$out.stderr" || fail "interrupt: not said so: $(cat "$out.stderr")"
    no_outputs "$out" "an interrupted run"
    # A stopped server takes a moment to save the registry and end.
    for pid in $servers; do
        for ((waited = 0; waited < 100; waited++)); do
            [ -e "/proc/$pid" ] || break
            sleep 0.1
        done
        [ ! -e "/proc/$pid" ] || fail "interrupt: wineserver $pid still runs"
    done
}

case $mode in
package)
    rm -rf "$packages"
    for file in "${inputs[@]}"; do
        [ "${file:0:2}" = -- ] || [ -f "$file" ] || fail "no $file: build both architectures first"
    done
    make_test_pki
    signed "$signing/signer.pfx" "$signing/password" tsa "${make_package[@]}" "$packages" "${inputs[@]}" \
        >/dev/null &
    product=$!
    # Signed without a time stamp, in a locale whose collation is not C's.
    signed "$signing/signer.pfx" "$signing/password" - env LC_ALL=en_US.UTF-8 \
        "${make_package[@]}" "$packages/next" "${inputs[@]}" --version 2.0.1 \
        >/dev/null 2>"$signing/untimed.txt" &
    next=$!
    # Signing that cannot work stops before anything is built, with the
    # reason: a wrong password, a missing PKCS#12 file, an expired
    # certificate, one without the code-signing usage.
    while IFS='|' read -r pfx password reason; do
        signed "$signing/$pfx" "$signing/$password" - "${make_package[@]}" "$packages/refused" \
            "${inputs[@]}" >/dev/null 2>"$signing/refused.txt" && fail "signed with $pfx, $password"
        grep -qF "$reason" "$signing/refused.txt" ||
            fail "refused signing with $pfx: no '$reason' in: $(cat "$signing/refused.txt")"
        no_outputs "$packages/refused" "a refused signing ($pfx)"
    done <<'EOF'
signer.pfx|wrong|wrong password
missing.pfx|password|cannot read TRIVELD_SIGN_PFX
expired.pfx|password|certificate has expired
server.pfx|password|Unsupported Signer's certificate purpose
EOF
    text_round_trip
    wait $product || fail "package"
    wait $next || fail "2.0.1 package"
    for file in "$msi" "$msi64" "$next_msi" "$next_msi64"; do
        [ -f "$file" ] || fail "no $file: name or version not taken from the DLL"
    done
    interrupted_run

    # The last run's outputs go before anything can fail: a missing, a
    # non-PE and a truncated DLL.
    head -c 4096 "$build_dir/Triveld.dll" >"$signing/truncated.dll"
    for bad in "$signing/missing.dll" "$source_dir/README.md" "$signing/truncated.dll"; do
        mkdir -p "$packages/stale/x64"
        (cd "$packages" && cp -a SHA256SUMS Triveld-2.0.0*.msi Triveld.dll readiness_report.exe stale/ &&
            cp -a x64/Triveld.dll stale/x64/)
        "${make_package[@]}" "$packages/stale" --i686 "$bad" "$build_dir/samples/readiness_report.exe" \
            >/dev/null 2>&1 && fail "packaged $bad"
        no_outputs "$packages/stale" "a failed run on $bad"
    done

    for file in "$msi" "$msi64"; do
        msiextract -C "$signing/extracted-${file##*/}" "$file" >/dev/null || fail "msiextract $file"
    done
    extracted=()
    while IFS= read -r -d '' file; do extracted+=("$file"); done < \
        <(find "$signing"/extracted-* -type f -print0)
    [ ${#extracted[@]} -eq 6 ] || fail "extracted files: ${extracted[*]}"
    for file in "$msi" "$msi64" "$packages"/{Triveld.dll,readiness_report.exe,x64/Triveld.dll,x64/readiness_report.exe} \
        "${extracted[@]}"; do
        verify_signature "$file" || fail "no valid time-stamped signature on $file"
    done
    (cd "$packages" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS"
    [ "$(wc -l <"$packages/SHA256SUMS")" -eq 6 ] || fail "SHA256SUMS: $(cat "$packages/SHA256SUMS")"
    altered=$signing/altered.dll
    cp "$packages/Triveld.dll" "$altered"
    byte=$(od -An -tu1 -j4096 -N1 "$altered")
    printf "$(printf '\\%03o' $((byte ^ 1)))" | dd of="$altered" bs=1 seek=4096 conv=notrunc 2>/dev/null
    ! verify_signature "$altered" || fail "a DLL with one byte changed still verifies"
    # Without a time-stamp source: signed all the same, and said so once.
    for file in "$next_msi" "$next_msi64" "$packages/next/x64/readiness_report.exe"; do
        verify_signature "$file" untimed || fail "no valid signature without a time stamp on $file"
    done
    [ "$(grep -c 'no time-stamp source' "$signing/untimed.txt")" -eq 1 ] ||
        fail "the warning without a time-stamp source: $(cat "$signing/untimed.txt")"
    # The database's code page is the one its texts are written in.
    msiinfo export "$msi64" _ForceCodepage | grep -q '^1252' || fail "code page of $msi64"
    finished=$mode
    ;;
lifecycle | lifecycle_x64)
    if [ "$mode" = lifecycle ]; then
        package=$msi install=msiexec32 views=(32) cscripts=("$cscript32")
        files=("$packages/Triveld.dll|$folder32/Triveld.dll" "$packages/readiness_report.exe|$folder32/readiness_report.exe")
        regsvr32s=("C:\\windows\\syswow64\\regsvr32.exe|$windows32\\Triveld.dll")
        # Registrations the package does not own: another version of the
        # type library and the 64-bit one of this version.
        others=("$typelib\\1.0\\0\\win32" "$typelib\\2.0\\0\\win64")
    else
        package=$msi64 install=msiexec64 views=(32 64) cscripts=("$cscript32" "$cscript64")
        files=("$packages/Triveld.dll|$folder32/Triveld.dll" "$packages/readiness_report.exe|$folder32/readiness_report.exe"
               "$packages/x64/Triveld.dll|$folder64/Triveld.dll" "$packages/x64/readiness_report.exe|$folder64/readiness_report.exe")
        regsvr32s=("C:\\windows\\syswow64\\regsvr32.exe|$windows32\\Triveld.dll"
                   "C:\\windows\\system32\\regsvr32.exe|$windows64\\Triveld.dll")
        # Another version of the type library in both kinds, and another
        # product's localized registration inside this version's key.
        others=("$typelib\\1.0\\0\\win32" "$typelib\\1.0\\0\\win64" "$typelib\\2.0\\409\\win32")
    fi
    fresh_prefix
    # Also the first run of each cscript, which registers its own type library.
    for cscript in "${cscripts[@]}"; do
        quiet report "$cscript"
        expect_status $? "report before installing (no component), $cscript" 2
    done
    for key in "${others[@]}"; do
        quiet run "$reg32" add "$key" /ve /d 'C:\Other\Triveld.dll' /f
        expect_status $? "adding $key" 0
    done
    snapshot before "${views[@]}"

    $install /i "$(windows_path "$package")" /qn /l*v "$(windows_path "$prefix-install.log")"
    expect_status $? "install" 0
    for pair in "${files[@]}"; do
        cmp -s "${pair%%|*}" "${pair#*|}" || fail "${pair#*|} is not ${pair%%|*}"
    done
    [ "$(arp_entries)" = "2.0.0 Orvane" ] || fail "Add/Remove Programs entries: '$(arp_entries)'"
    snapshot installed "${views[@]}"
    # A bare prefix has no viewer and no .NET: NOT READY reports, from the
    # installed (signed) DLLs, in each kind of process (what the x64 DLL
    # answers is its own tests' matter).
    answer='^Is64BitOS +S_OK +yes'
    for cscript in "${cscripts[@]}"; do
        output=$(report "$cscript")
        expect_status $? "report from the installed DLL through $cscript" 1
        grep -Eq "$answer" <<<"$output" || fail "report through $cscript: $output"
        answer='^Is64BitOS +S_OK'
    done
    # The installed programs, each creating its own kind of DLL in process.
    for pair in "${files[@]}"; do
        [[ $pair == *.exe ]] || continue
        program=${pair#*|}
        output=$(run "$(windows_path "$program")")
        expect_status $? "$program" 1
        grep -Eq '^Is64BitOS +S_OK' <<<"$output" || fail "$program: $output"
    done

    for view in "${views[@]}"; do
        reg=$reg32
        [ "$view" = 64 ] && reg=$reg64
        quiet run "$reg" delete "HKCR\\CLSID\\$clsid\\InprocServer32" /f
        expect_status $? "deleting InprocServer32 with $reg" 0
    done
    # Wine's msiexec does not implement /f (a package path gives 1605, a product
    # code "not implemented"); these are the properties /fm sets.
    $install /i "$(windows_path "$package")" REINSTALL=ALL REINSTALLMODE=m /qn
    expect_status $? "repair" 0
    snapshot repaired "${views[@]}"
    same "repair" installed repaired "$installer_records" "${views[@]}"

    $install /x "$(windows_path "$package")" /qn
    expect_status $? "uninstall" 0
    [ ! -e "$folder32" ] && [ ! -e "$folder64" ] || fail "files or folders left after uninstalling"
    [ -z "$(arp_entries)" ] || fail "Add/Remove Programs entry left: $(arp_entries)"
    for key in "${others[@]}"; do
        run "$reg32" query "$key" /ve | grep -qF 'C:\Other\Triveld.dll' || fail "uninstalling removed $key"
    done
    snapshot removed "${views[@]}"
    # Windows Installer keeps its empty record containers, as on any Windows.
    same "uninstall" before removed '^HKEY_CLASSES_ROOT\\Installer(\\Features|\\Products|\\UpgradeCodes)?$' \
        "${views[@]}"

    # What each regsvr32 registers for the same DLLs at the same paths, the
    # 32-bit one first (the x64 DLL's type library folder stays, as in the
    # package).
    for pair in "${files[@]}"; do
        mkdir -p "$(dirname "${pair#*|}")"
        cp "${pair%%|*}" "${pair#*|}"
    done
    for pair in "${regsvr32s[@]}"; do
        run "${pair%%|*}" /s "${pair#*|}"
        expect_status $? "${pair%%|*} ${pair#*|}" 0
    done
    snapshot regsvr32 "${views[@]}"
    same "package against regsvr32" installed regsvr32 "$installer_records" "${views[@]}"
    finished=$mode
    ;;
upgrade)
    fresh_prefix
    msiexec32 /i "$(windows_path "$msi")" /qn
    expect_status $? "install" 0
    snapshot first
    msiexec32 /i "$(windows_path "$msi")" /qn
    expect_status $? "the same package again" 0
    snapshot again
    same "the same package again" first again "$installer_records"
    [ "$(arp_entries)" = "2.0.0 Orvane" ] || fail "entries after the second install: '$(arp_entries)'"

    msiexec32 /i "$(windows_path "$next_msi")" /qn
    expect_status $? "upgrade to 2.0.1" 0
    [ "$(arp_entries)" = "2.0.1 Orvane" ] || fail "entries after the upgrade: '$(arp_entries)'"
    cmp -s "$packages/next/Triveld.dll" "$folder32/Triveld.dll" || fail "Triveld.dll missing after the upgrade"
    snapshot upgraded
    same "upgrade" first upgraded "$installer_records"

    # A downgrade stops at the launch condition (1603) and changes nothing.
    msiexec32 /i "$(windows_path "$msi")" /qn
    expect_status $? "downgrade to 2.0.0" 1603
    [ "$(arp_entries)" = "2.0.1 Orvane" ] || fail "entries after the downgrade: '$(arp_entries)'"

    msiexec32 /x "$(windows_path "$next_msi")" /qn
    expect_status $? "uninstall 2.0.1" 0
    [ -z "$(arp_entries)" ] && [ ! -e "$folder32/Triveld.dll" ] || fail "2.0.1 not removed"
    finished=$mode
    ;;
upgrade_x64)
    fresh_prefix
    snapshot before 32 64
    # The x64 package alone, as the state to reach from the 32-bit one.
    msiexec64 /i "$(windows_path "$msi64")" /qn
    expect_status $? "install of the x64 package" 0
    snapshot x64 32 64
    msiexec64 /x "$(windows_path "$msi64")" /qn
    expect_status $? "uninstall of the x64 package" 0
    # The x64 package over the 32-bit one of its own version, then of an
    # older one: one entry, both registrations, the 32-bit product gone.
    for takeover in "2.0.0|$msi64" "2.0.1|$next_msi64"; do
        version=${takeover%%|*} package=${takeover#*|}
        msiexec32 /i "$(windows_path "$msi")" /qn
        expect_status $? "install of the 32-bit package 2.0.0" 0
        msiexec64 /i "$(windows_path "$package")" /qn
        expect_status $? "the x64 package $version over the 32-bit 2.0.0" 0
        [ "$(arp_entries)" = "$version Orvane" ] || fail "entries after the x64 $version: '$(arp_entries)'"
        snapshot "over-$version" 32 64
        same "x64 $version over the 32-bit package" x64 "over-$version" "$installer_records" 32 64
        for program in "$windows32\\readiness_report.exe" "$windows64\\readiness_report.exe"; do
            quiet run "$program"
            expect_status $? "$program after the x64 $version" 1
        done
        if [ "$version" = 2.0.0 ]; then
            # The 32-bit package refuses to install beside the x64 one of its
            # version (1603), which would leave two entries for one set of
            # keys.
            msiexec32 /i "$(windows_path "$msi")" /qn
            expect_status $? "the 32-bit 2.0.0 beside the x64 2.0.0" 1603
            [ "$(arp_entries)" = "2.0.0 Orvane" ] || fail "entries after the refusal: '$(arp_entries)'"
        else
            # A downgrade stops at the launch condition (1603) and changes nothing.
            msiexec64 /i "$(windows_path "$msi64")" /qn
            expect_status $? "downgrade to the x64 2.0.0" 1603
            [ "$(arp_entries)" = "2.0.1 Orvane" ] || fail "entries after the downgrade: '$(arp_entries)'"
        fi
        msiexec64 /x "$(windows_path "$package")" /qn
        expect_status $? "uninstall of the x64 $version" 0
        [ -z "$(arp_entries)" ] || fail "entries after uninstalling the x64 $version: '$(arp_entries)'"
        [ ! -e "$folder32" ] && [ ! -e "$folder64" ] || fail "files left by the x64 $version"
        snapshot "removed-$version" 32 64
        same "uninstall of the x64 $version" before "removed-$version" \
            '^HKEY_CLASSES_ROOT\\Installer(\\Features|\\Products|\\UpgradeCodes)?$' 32 64
    done
    finished=$mode
    ;;
*)
    echo "usage: $0 SOURCE_DIR BUILD_DIR X64_BUILD_DIR package|lifecycle|lifecycle_x64|upgrade|upgrade_x64" >&2
    exit 2
    ;;
esac
# A shell error (a bad expansion) abandons the whole case, not the script.
[ "${finished:-}" = "$mode" ] || fail "$mode: the test stopped before its end"
exit $((failures > 0))
