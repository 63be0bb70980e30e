#!/bin/bash
# Writes HKEY_CLASSES_ROOT in PREFIX to OUTPUT: one line per key ("KEY") and
# per value ("KEY<tab>NAME<tab>DATA"), sorted in the C collation. NAME and
# DATA are as a .reg file writes them: @ the default value, a named value in
# quotes (so that a value named "@" stays apart from it). VIEW 32 (the default)
# is the 32-bit view as the 32-bit reg.exe exports it; "both" is what the
# 64-bit reg.exe exports, the 32-bit view's own keys under HKCR\Wow6432Node.
# Usage: hkcr_snapshot.sh PREFIX OUTPUT [32|both]
set -euo pipefail
prefix=$1
output=$2
view=${3:-32}
source "$(dirname "$(realpath "$0")")/../cmake/wine_tools.sh"
export_file=$(realpath -m "$output.reg")
if [ "$view" = both ]; then
    in_prefix "$prefix" reg export HKCR "$(windows_path "$export_file")" /y >/dev/null
else
    in_prefix "$prefix" 'C:\windows\syswow64\reg.exe' export HKCR "$(windows_path "$export_file")" \
        /reg:32 /y >/dev/null
fi
iconv -f UTF-16 -t UTF-8 "$export_file" | tr -d '\r' | awk '
    # Joins the continuation lines of long binary values first.
    pending != "" { $0 = pending $0; pending = "" }
    /\\$/ && !/^\[/ { pending = substr($0, 1, length($0) - 1); next }
    /^\[.*\]$/ { key = substr($0, 2, length($0) - 2); print key; next }
    /^@=/ { print key "\t@\t" substr($0, 3); next }
    /^"/ {
        if (match($0, /^"([^"\\]|\\.)*"=/)) {
            print key "\t" substr($0, 1, RLENGTH - 1) "\t" substr($0, RLENGTH + 1)
            next
        }
    }
    NF && !/^Windows Registry Editor/ { print "unparsed: " $0 > "/dev/stderr"; failed = 1 }
    END { exit failed }
' | LC_ALL=C sort >"$output"
rm -f "$export_file"
