#!/bin/bash
# Runs a Windows program under Wine in a prefix private to the build tree:
# a 64-bit program in a 64-bit process, a 32-bit one in a 32-bit process under
# WoW64 (the prefix's C:\windows\syswow64 holds the 32-bit tools).
# Usage: wine_run.sh PREFIX PROGRAM [ARGS...]
# A persistent wineserver (30 s linger) keeps each run at a fraction of a second;
# the server's descriptors are detached so CTest does not wait on its pipes.
set -u
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver64

mkdir -p "$(dirname "$prefix")"
{
    flock 9
    # A prefix made before Wine's 32-bit half was installed stays 64-bit only.
    if [ -f "$prefix/system.reg" ] && [ ! -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
        "$server" -k 2>/dev/null
        rm -rf "$prefix"
    fi
    if [ ! -f "$prefix/system.reg" ]; then
        "$wine" wineboot --init </dev/null >/dev/null 2>&1
        "$server" -w
    fi
    # A second server for the same prefix exits at once, so starting one is cheap.
    setsid "$server" -p30 </dev/null >/dev/null 2>&1 9>&- &
    # The first program after a server start launches Wine's services, which
    # inherit its output and outlive it; start them here, detached, so that the
    # caller's pipes close when the program ends (a no-op once they run).
    "$wine" cmd /c exit 0 </dev/null >/dev/null 2>&1 9>&-
} 9>"$prefix.lock"
exec "$wine" "$@"
