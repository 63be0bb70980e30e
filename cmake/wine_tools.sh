# shellcheck shell=bash
# Shell helpers for running a build's programs under Wine; sourced by build.sh
# and the tests' scripts. Each build runs in its own kind of process: x86_64 in
# 64-bit processes, i686 (the product) in 32-bit ones under WoW64, which reach
# the 32-bit registry view and use the 32-bit tools of C:\windows\syswow64.
wine_tools_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

windows_path() {
    local path
    path=$(realpath -m "$1")
    printf 'Z:%s' "${path//\//\\}"
}

# Runs a Windows program in a private prefix: in_prefix PREFIX PROGRAM [ARGS...]
in_prefix() {
    "$wine_tools_root/cmake/wine_run.sh" "$@"
}

# The Windows tool NAME (regsvr32, cscript, regedit, ...) of the kind of
# process that runs the build for ARCH.
wine_tool() {
    local arch=$1 name=$2
    if [ "$arch" = i686 ]; then
        printf 'C:\\windows\\syswow64\\%s.exe' "$name"
    else
        printf '%s' "$name"
    fi
}

# The documented example workstation (samples/example_workstation.reg) in
# PREFIX, as the viewer's 32-bit installer leaves it: its data in the 32-bit
# registry view (written by the 32-bit regedit), and the 32-bit stand-in viewer
# of the i686 build in I686_BUILD_DIR. Both DLLs read that view, and Wine's
# 32-bit version.dll reads only a 32-bit file's version resource:
# provision_example PREFIX I686_BUILD_DIR
provision_example() {
    local prefix=$1 i686_build_dir=$2
    local viewer_dir="$prefix/drive_c/Program Files/Orvane/Velmar Distributed"
    in_prefix "$prefix" cmd /c exit 0 # creates the prefix on first use
    mkdir -p "$viewer_dir"
    cp "$i686_build_dir/samples/VelmarViewer.exe" "$viewer_dir/VelmarViewer.exe"
    in_prefix "$prefix" "$(wine_tool i686 regedit)" /s \
        "$(windows_path "$wine_tools_root/samples/example_workstation.reg")"
}
