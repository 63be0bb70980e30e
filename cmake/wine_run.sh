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

# A prefix without Wine's 32-bit half (C:\windows\syswow64) stays so: Wine does
# not add it later. The prefix is never deleted here, since a test's later
# steps need what its earlier ones left in it.
no_32bit_half() {
    echo "wine_run: $1; ./build.sh deps (as root) installs Wine's 32-bit half (wine32:i386)" >&2
    exit 1
}

mkdir -p "$(dirname "$prefix")"
{
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
        /usr/lib/wine/wine --version >/dev/null 2>&1 ||
            no_32bit_half "Wine's 32-bit loader does not run, so $prefix is not made"
        "$wine" wineboot --init </dev/null >/dev/null 2>&1
        "$server" -w
    fi
    [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ] ||
        no_32bit_half "$prefix has no 32-bit half: delete it once Wine's is installed"
    # A second server for the same prefix exits at once, so starting one is cheap.
    setsid "$server" -p30 </dev/null >/dev/null 2>&1 9>&- &
    # The first program after a server start launches Wine's services, which
    # inherit its output and outlive it; start them here, detached, so that the
    # caller's pipes close when the program ends (a no-op once they run).
    "$wine" cmd /c exit 0 </dev/null >/dev/null 2>&1 9>&-
} 9>"$prefix.lock"
exec "$wine" "$@"
