#!/bin/bash
# The Windows Installer package under Wine's 32-bit msiexec, each run in a
# fresh WoW64 prefix of its own. Usage:
#   installer_test.sh SOURCE_DIR BUILD_DIR package|lifecycle|upgrade
# "package" builds the packages the other two install: the product's own
# version and a higher one for the upgrade.
set -u
source_dir=$1
build_dir=$2
mode=$3
packages=$build_dir/installer-packages
dll=$build_dir/Triveld.dll
msi=$packages/Triveld-2.0.0.msi
next_msi=$packages/next/Triveld-2.0.1.msi
clsid='{5B1E0C42-7A93-4D61-9E2F-3C8A0D4B7E15}'
typelib='HKCR\TypeLib\{A4D2F6B8-1C3E-4F57-8B9D-2E6A0C5F1B73}'
prefix=$build_dir/installer-$mode-prefix
installed="$prefix/drive_c/Program Files (x86)/Triveld/Triveld.dll"
installed_windows='C:\Program Files (x86)\Triveld\Triveld.dll'

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
source "$source_dir/cmake/wine_tools.sh"
source "$source_dir/installer/registry_entries.sh"
run() { in_prefix "$prefix" "$@"; }
msiexec() { run 'C:\windows\syswow64\msiexec.exe' "$@"; }
snapshot() { "$source_dir/installer/hkcr_snapshot.sh" "$prefix" "$prefix-$1.txt" || fail "snapshot $1"; }
# Wine passes only the low byte of a Windows exit code on to Linux.
expect_status() { [ "$1" -eq $(($3 & 255)) ] || fail "$2: exit code $1, expected $3 (low byte $(($3 & 255)))"; }
# same NAME A B [FILTER]: two snapshots must be equal, less lines matching FILTER.
same() {
    local filter=${4:-^$}
    local difference
    difference=$(diff <(grep -Ev "$filter" "$prefix-$2.txt") <(grep -Ev "$filter" "$prefix-$3.txt"))
    [ -z "$difference" ] || fail "$1: snapshot '$3' differs from '$2':"$'\n'"$(head -40 <<<"$difference")"
}
# Windows Installer's own records of installed products (Wine adds the package's
# folder to their source list once more on every run).
installer_records='^HKEY_CLASSES_ROOT\\Installer(\\|$)'
# Add/Remove Programs entries named Triveld, one "version publisher" line each
# (under Wine in the 32-bit view, where the 32-bit reg.exe looks).
arp_entries() {
    run 'C:\windows\syswow64\reg.exe' query \
        'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | tr -d '\r' | awk '
        /^HKEY/ { if (name == "Triveld") print version, publisher; name = version = publisher = "" }
        $1 == "DisplayName" { name = $3 }
        $1 == "DisplayVersion" { version = $3 }
        $1 == "Publisher" { publisher = $3 }
        END { if (name == "Triveld") print version, publisher }'
}
report() {
    run 'C:\windows\syswow64\cscript.exe' //nologo \
        "$(windows_path "$source_dir/samples/readiness_report.js")"
}
fresh_prefix() {
    WINEPREFIX=$prefix /usr/lib/wine/wineserver64 -k 2>/dev/null
    rm -rf "$prefix" "$prefix"-*.txt
    run cmd /c exit 0
}
reg32() { run 'C:\windows\syswow64\reg.exe' "$@" >/dev/null; }

# The generator's text step on a key, names and values that the .reg form,
# formatted text and XML each treat specially, the scratch paths below a
# folder named with brackets and braces: registered with regedit, made into a
# package and installed by msiexec, they must read back as registered, the
# scratch paths as the installed ones.
text_round_trip() {
    local work=$build_dir/installer-text
    local scratch_root='Z:\build\proj[2] {x} Ü'
    local scratch="$scratch_root\\scratch\\" target='C:\Program Files (x86)\Triveld\'
    rm -rf "$work"
    mkdir -p "$work/scratch"
    cp "$dll" "$work/scratch/Triveld.dll"
    fresh_prefix
    sed 's/$/\r/' "$source_dir/tests/fixtures/installer_text.reg" | iconv -f UTF-8 -t UTF-16 \
        >"$work/text.reg"
    run 'C:\windows\syswow64\regedit.exe' /s "$(windows_path "$work/text.reg")"
    expect_status $? "regedit of the text probe" 0
    snapshot registered
    grep -F 'HKEY_CLASSES_ROOT\TriveldText' "$prefix-registered.txt" >"$work/registered.txt"
    reg32 delete 'HKCR\TriveldText' /f
    expect_status $? "deleting the text probe" 0
    {
        echo '<Include>'
        registry_entries "$work/registered.txt" "${scratch}Triveld.dll" "$scratch" "$scratch_root"
        echo '</Include>'
    } >"$work/registry.wxi" || fail "text probe: no registry entries"
    # Data the package cannot carry as registered stops the generator: a text
    # outside Windows-1252 (wixl would empty it), a scratch path other than
    # the DLL and its folder (in any case), data that is not a string.
    for bad in '"\xce\xa9"' '"z:\\\\build\\\\PROJ[2] {x} \xc3\x9c\\\\other.dll"' 'dword:00000001'; do
        printf 'HKEY_CLASSES_ROOT\\TriveldText\t"bad"\t%b\n' "$bad" >"$work/bad.txt"
        ! registry_entries "$work/bad.txt" "${scratch}Triveld.dll" "$scratch" "$scratch_root" \
            >/dev/null 2>&1 || fail "text probe: packaged $(cut -f3 "$work/bad.txt")"
    done
    (cd "$work" && wixl -a x86 -I . -o text.msi -D ProductName=Triveld -D Manufacturer=Orvane \
        -D Description=text -D Version=2.0.0 -D ProductCode=E3A1D0C2-5B7F-4C1E-9A6D-2F8B4C0E7D15 \
        -D Dll=scratch/Triveld.dll "$source_dir/installer/Triveld.wxs") || fail "text probe: wixl"
    msiexec /i "$(windows_path "$work/text.msi")" /qn
    expect_status $? "installing the text probe" 0
    snapshot installed
    # What was registered, the scratch paths (backslashes doubled, as in a
    # .reg file) read as the installed ones.
    local from=${scratch//\\/"\\\\"} to=${target//\\/"\\\\"} expected difference
    expected=$(<"$work/registered.txt")
    expected=${expected//"$from"/"$to"}
    difference=$(diff <(printf '%s\n' "$expected") \
        <(grep -F 'HKEY_CLASSES_ROOT\TriveldText' "$prefix-installed.txt"))
    [ -z "$difference" ] || fail "text probe: installed differs from registered:"$'\n'"$difference"
}

case $mode in
package)
    rm -rf "$packages"
    "$source_dir/installer/make_package.sh" "$dll" "$packages" >/dev/null &
    product=$!
    "$source_dir/installer/make_package.sh" "$dll" "$packages/next" 2.0.1 >/dev/null &
    next=$!
    text_round_trip
    wait $product || fail "package"
    wait $next || fail "2.0.1 package"
    [ -f "$msi" ] || fail "no $msi: name or version not taken from the DLL"
    [ -f "$next_msi" ] || fail "no $next_msi"
    ;;
lifecycle)
    fresh_prefix
    # Also the first run of the 32-bit cscript, which registers its own type library.
    report >/dev/null
    expect_status $? "report before installing" 1
    # Registrations the package does not own: another version of the type
    # library and the 64-bit one of this version. Uninstalling keeps them.
    others=("$typelib\\1.0\\0\\win32" "$typelib\\2.0\\0\\win64")
    for key in "${others[@]}"; do
        reg32 add "$key" /ve /d 'C:\Other\Triveld.dll' /f
        expect_status $? "adding $key" 0
    done
    snapshot before

    msiexec /i "$(windows_path "$msi")" /qn /l*v "$(windows_path "$prefix-install.log")"
    expect_status $? "install" 0
    cmp -s "$dll" "$installed" || fail "Triveld.dll not installed in Program Files (x86)"
    [ "$(arp_entries)" = "2.0.0 Orvane" ] || fail "Add/Remove Programs entry: '$(arp_entries)'"
    snapshot installed
    output=$(report)
    expect_status $? "report from the installed DLL" 0
    grep -Eq '^Is64BitOS +S_OK +yes' <<<"$output" || fail "report: $output"

    run 'C:\windows\syswow64\reg.exe' delete "HKCR\\CLSID\\$clsid\\InprocServer32" /f >/dev/null
    expect_status $? "deleting InprocServer32" 0
    # Wine's msiexec does not implement /f (a package path gives 1605, a product
    # code "not implemented"); these are the properties /fm sets.
    msiexec /i "$(windows_path "$msi")" REINSTALL=ALL REINSTALLMODE=m /qn
    expect_status $? "repair" 0
    snapshot repaired
    same "repair" installed repaired "$installer_records"

    msiexec /x "$(windows_path "$msi")" /qn
    expect_status $? "uninstall" 0
    [ ! -e "$(dirname "$installed")" ] || fail "Triveld.dll or its folder left after uninstalling"
    [ -z "$(arp_entries)" ] || fail "Add/Remove Programs entry left: $(arp_entries)"
    for key in "${others[@]}"; do
        run 'C:\windows\syswow64\reg.exe' query "$key" /ve | grep -qF 'C:\Other\Triveld.dll' ||
            fail "uninstalling removed $key"
    done
    snapshot removed
    # Windows Installer keeps its empty record containers, as on any Windows.
    same "uninstall" before removed \
        '^HKEY_CLASSES_ROOT\\Installer(\\Features|\\Products|\\UpgradeCodes)?$'

    # What the 32-bit regsvr32 registers for the same DLL at the same path.
    mkdir -p "$(dirname "$installed")"
    cp "$dll" "$installed"
    run 'C:\windows\syswow64\regsvr32.exe' /s "$installed_windows"
    expect_status $? "regsvr32" 0
    snapshot regsvr32
    same "package against regsvr32" installed regsvr32 "$installer_records"
    ;;
upgrade)
    fresh_prefix
    msiexec /i "$(windows_path "$msi")" /qn
    expect_status $? "install" 0
    snapshot first
    msiexec /i "$(windows_path "$msi")" /qn
    expect_status $? "the same package again" 0
    snapshot again
    same "the same package again" first again "$installer_records"
    [ "$(arp_entries)" = "2.0.0 Orvane" ] || fail "entries after the second install: '$(arp_entries)'"

    msiexec /i "$(windows_path "$next_msi")" /qn
    expect_status $? "upgrade to 2.0.1" 0
    [ "$(arp_entries)" = "2.0.1 Orvane" ] || fail "entries after the upgrade: '$(arp_entries)'"
    cmp -s "$dll" "$installed" || fail "Triveld.dll missing after the upgrade"
    snapshot upgraded
    same "upgrade" first upgraded "$installer_records"

    # A downgrade stops at the launch condition (1603) and changes nothing.
    msiexec /i "$(windows_path "$msi")" /qn
    expect_status $? "downgrade to 2.0.0" 1603
    [ "$(arp_entries)" = "2.0.1 Orvane" ] || fail "entries after the downgrade: '$(arp_entries)'"

    msiexec /x "$(windows_path "$next_msi")" /qn
    expect_status $? "uninstall 2.0.1" 0
    [ -z "$(arp_entries)" ] && [ ! -e "$installed" ] || fail "2.0.1 not removed"
    ;;
*)
    echo "usage: $0 SOURCE_DIR BUILD_DIR package|lifecycle|upgrade" >&2
    exit 2
    ;;
esac
exit $((failures > 0))
