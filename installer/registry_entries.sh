# shellcheck shell=bash
# Turns registry data, as hkcr_snapshot.sh lists it, into the <RegistryValue>
# entries of a wixl package; sourced by make_package.sh and the installer test.
# Windows Installer reads the Registry table's Key, Name and Value columns as
# formatted text, so each text goes: .reg form -> plain text -> scratch paths
# replaced by placeholders -> formatted-text escapes -> placeholders made the
# installed paths -> XML attribute. Every replacement is quoted: bash 5.2's
# patsub_replacement reads an unquoted & as the matched text.

# reg_text VARIABLE QUOTED: sets VARIABLE to the text of a string or value
# name that a .reg file writes as QUOTED ("a\\b\"c\n").
reg_text() {
    local quoted=$2 text='' c
    quoted=${quoted:1:${#quoted}-2}
    while [[ $quoted == *\\* ]]; do
        text+=${quoted%%\\*}
        quoted=${quoted#*\\}
        c=${quoted:0:1}
        quoted=${quoted:1}
        case $c in
        n) text+=$'\n' ;;
        r) text+=$'\r' ;;
        *) text+=$c ;;
        esac
    done
    printf -v "$1" '%s' "$text$quoted"
}

# formatted_text VARIABLE TEXT: sets VARIABLE to formatted text that Windows
# Installer resolves to TEXT itself: brackets as [\x]; braces too where TEXT
# has brackets or the placeholders \x01 \x02, since only a brace group
# around bracketed text has a meaning (a GUID's braces stay as they are).
# Results go through variables: a command substitution drops trailing line
# breaks.
formatted_text() {
    local text=$2 escaped='' special='[]' c i
    [[ $text == *[][$'\x01\x02']* ]] && special='[]{}'
    for ((i = 0; i < ${#text}; i++)); do
        c=${text:i:1}
        if [[ $special == *"$c"* ]]; then escaped+="[\\$c]"; else escaped+=$c; fi
    done
    printf -v "$1" '%s' "$escaped"
}

# TEXT as a double-quoted XML attribute value; line breaks and tabs as
# references, which attribute normalisation would otherwise turn into spaces.
xml_attribute() {
    local text=${1//&/"&amp;"}
    text=${text//</"&lt;"}
    text=${text//>/"&gt;"}
    text=${text//\"/"&quot;"}
    text=${text//$'\n'/"&#10;"}
    text=${text//$'\r'/"&#13;"}
    printf '%s' "${text//$'\t'/"&#9;"}"
}

# registry_entries LISTING SCRATCH_DLL SCRATCH_DIR SCRATCH_ROOT: one
# <RegistryValue> per HKEY_CLASSES_ROOT value of LISTING, SCRATCH_DLL in its
# data becoming the installed file ([#TriveldDll]) and SCRATCH_DIR its folder
# ([INSTALLDIR]); plus one "*" row per key that has neither values nor keys
# below it in LISTING. Windows Installer makes every other key when it writes
# what lies below, and removes it on uninstall once it is empty; a "*" row on
# such a parent would delete its whole subtree, other products' entries with
# it. Fails on a value that is not a string, a text that XML or the package
# cannot carry, or data in which SCRATCH_ROOT is left over.
registry_entries() {
    local listing=$1 scratch_dll=$2 scratch_dir=$3 scratch_root=$4
    local key name data leftover
    local -A filled=()
    while IFS=$'\t' read -r key name data; do
        if [ -n "$name" ]; then filled[$key]=1; else filled[${key%\\*}]=1; fi
    done <"$listing"
    formatted_text leftover "${scratch_root,,}"
    while IFS=$'\t' read -r key name data; do
        if [ -z "$name" ]; then
            [ -n "${filled[$key]:-}" ] || registry_row "$key" '*' '' || return 1
            continue
        fi
        [[ $data == \"*\" ]] || { echo "not a string value: $key : $name = $data" >&2; return 1; }
        reg_text data "$data"
        if [ "$name" = @ ]; then
            name=
        else
            [[ $name == \"*\" ]] || { echo "not a quoted value name: $key : $name" >&2; return 1; }
            reg_text name "$name"
            # A lone + - or * with no value would name a key action.
            case $name in + | - | \*) name="[\\$name]" ;; *) formatted_text name "$name" ;; esac
        fi
        [[ ! "$key$name$data" =~ $xml_forbidden ]] ||
            { echo "control characters that XML cannot carry in $key : $name" >&2; return 1; }
        data=${data//"$scratch_dll"/$'\x01'}
        data=${data//"$scratch_dir"/$'\x02'}
        formatted_text data "$data"
        data=${data//$'\x01'/"[#TriveldDll]"}
        data=${data//$'\x02'/"[INSTALLDIR]"}
        [[ ${data,,} != *"$leftover"* ]] || { echo "a scratch path is left in $key : $name" >&2; return 1; }
        registry_row "$key" "$name" "$data" || return 1
    done <"$listing"
}

# Characters that XML 1.0 cannot carry; \x01 and \x02 also stand for the
# scratch paths while the data is escaped.
xml_forbidden=$'[\x01-\x08\x0b\x0c\x0e-\x1f]'

# registry_row KEY NAME VALUE: NAME and VALUE already formatted text, an
# empty NAME the default value. wixl writes the package's texts in
# Windows-1252 and silently empties a text it cannot convert.
registry_row() {
    local key name_attribute=
    iconv -f UTF-8 -t WINDOWS-1252 <<<"$1$2$3" >/dev/null 2>&1 ||
        { echo "characters outside Windows-1252 in $1 : $2" >&2; return 1; }
    formatted_text key "${1#HKEY_CLASSES_ROOT\\}"
    [ -z "$2" ] || name_attribute=" Name=\"$(xml_attribute "$2")\""
    printf '<RegistryValue Root="HKCR" Key="%s"%s Type="string" Value="%s"/>\n' \
        "$(xml_attribute "$key")" "$name_attribute" "$(xml_attribute "$3")"
}
