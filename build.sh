#!/bin/bash
# The one entry point: ./build.sh deps|build|test|fuzz|report [--example]|bench|package
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
build_root=$root/build
i686_dir=$build_root/i686
x64_dir=$build_root/x86_64
jobs=$(nproc 2>/dev/null || echo 2)

packages=(g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-posix
          g++-mingw-w64-x86-64-win32 mingw-w64-tools
          wine wine64 libwine-dev googletest cmake ninja-build libc6:i386 wixl msitools openssl
          locales-all)
# The samples test reads the report's JSON with Python's own parser.
packages+=(python3)
# Installed once i386 programs run: some of their packages run them on setup.
packages_32bit=(wine32:i386)

say() { printf '==> %s\n' "$*"; }

# The 32-bit product runs in 32-bit Wine processes: Debian's wine32 (i386) beside
# wine64, as on 64-bit Windows. Where the kernel runs no 32-bit code (some of
# this project's machines run 64-bit user code only), the i386 programs run under
# qemu's user-mode CPU emulation, registered with binfmt_misc. qemu before 8.1
# ignores MAP_FIXED_NOREPLACE, which makes every 32-bit Wine process probe its
# address space for about 50 s; bookworm-backports has qemu 10.
qemu=/usr/bin/qemu-i386-static
qemu_minimum=1:8.1
binfmt=/proc/sys/fs/binfmt_misc
# The package test time-stamps its signatures offline (osslsigncode's
# -TSA-certs), which bookworm's osslsigncode 2.5 cannot; bookworm-backports has 2.9.
osslsigncode_minimum=2.9

need_root() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing: $1" >&2
        echo "Run ./build.sh deps as root to set it up." >&2
        exit 1
    fi
}

# apt_get ARGUMENTS...: apt-get, tried again a few times, since a Debian mirror
# in the middle of a sync serves index files of the wrong size for a while.
apt_get() {
    local attempt
    for attempt in 1 2 3 4 5; do
        apt-get "$@" && return 0
        [ "$attempt" -eq 5 ] && break
        say "apt-get $1 failed; trying again in 30 s"
        sleep 30
    done
    return 1
}

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# debian_packages NAME...: installs those not installed yet.
debian_packages() {
    local missing=()
    for p in "$@"; do
        installed "$p" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    need_root "Debian packages ${missing[*]}"
    say "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt_get update -qq
    apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

runs_32bit() {
    /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# backport_current PACKAGE MINIMUM: PACKAGE is installed in MINIMUM or later.
backport_current() {
    local version
    version=$(dpkg-query -W -f='${Version}' "$1" 2>/dev/null) || return 1
    dpkg --compare-versions "$version" ge "$2"
}

# install_backport PACKAGE MINIMUM: from bookworm-backports, unless installed
# in MINIMUM or later.
install_backport() {
    backport_current "$1" "$2" && return 0
    need_root "$1 $2 or later (bookworm-backports)"
    say "installing $1 from bookworm-backports"
    local sources=/etc/apt/sources.list.d/bookworm-backports.sources
    if ! apt-cache policy | grep -q 'bookworm-backports'; then
        printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' \
            'Suites: bookworm-backports' 'Components: main' \
            'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' >"$sources"
        apt_get update -qq
    fi
    DEBIAN_FRONTEND=noninteractive apt_get install -y -qq --no-install-recommends \
        -t bookworm-backports "$1" >/dev/null
}

# Registers qemu for i386 ELF programs. The F flag keeps the registered file
# open, so a qemu that deps upgraded counts only once registered anew.
register_qemu() {
    [ -f "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
    [ -e "$binfmt/qemu-i386" ] && echo -1 >"$binfmt/qemu-i386"
    local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:$qemu:F" >"$binfmt/register"
}

thirty_two_bit_programs() {
    # A kernel that runs 32-bit programs itself needs no emulation.
    [ ! -e "$binfmt/qemu-i386" ] && runs_32bit && return 0
    local fresh=0
    backport_current qemu-user-static "$qemu_minimum" || fresh=1
    install_backport qemu-user-static "$qemu_minimum"
    if [ $fresh -eq 1 ] || [ ! -e "$binfmt/qemu-i386" ]; then
        need_root "qemu registered with binfmt_misc for i386 programs"
        register_qemu
    fi
    runs_32bit || { echo "32-bit programs do not run, even under $qemu" >&2; exit 1; }
}

deps() {
    debian_packages "${packages[@]}"
    install_backport osslsigncode "$osslsigncode_minimum"
    thirty_two_bit_programs
    debian_packages "${packages_32bit[@]}"
    /usr/lib/wine/wine --version >/dev/null 2>&1 || { echo "Wine's 32-bit loader does not run" >&2; exit 1; }
}

# Every option is given on every run, so that what an earlier command left in
# the cache (the benchmark, say) never reaches a later one: configure ARCH DIR
# [-DOPTION=VALUE...], the later value of an option winning. Each build knows
# where the other lies: the x86_64 suite drives both registrations, the i686
# suite compares the two DLLs.
configure() {
    local arch=$1 dir=$2; shift 2
    local other=(-DTRIVELD_X64_BUILD_DIR="$x64_dir")
    [ "$arch" = x86_64 ] && other=(-DTRIVELD_I686_DLL="$i686_dir/Triveld.dll")
    cmake -S "$root" -B "$dir" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch.cmake" \
        -DTRIVELD_TESTS=ON -DTRIVELD_BENCH=OFF "${other[@]}" "$@" >/dev/null
}

configure_and_build() {
    configure "$@"
    cmake --build "$2" -j "$jobs"
}

# build [-DOPTION=VALUE...]: both trees, with those options.
build() {
    say "building the 32-bit product and its tests (i686)"
    configure_and_build i686 "$i686_dir" "$@"
    say "building the 64-bit product and its tests (x86_64)"
    configure_and_build x86_64 "$x64_dir" "$@"
}

# The whole suite twice: the x86_64 programs in 64-bit processes, then the
# i686 ones (with the host checks of the product) in 32-bit processes.
run_tests() {
    local status=0
    say "test suite under Wine (x86_64, 64-bit processes)"
    (cd "$x64_dir" && ctest --output-on-failure -j "$jobs") || status=1
    no_scratch_roots_left "$x64_dir" || status=1
    say "test suite under Wine (i686, the product, 32-bit processes under WoW64)"
    (cd "$i686_dir" && ctest --output-on-failure -j "$jobs") || status=1
    no_scratch_roots_left "$i686_dir" || status=1
    return $status
}

# Every test program removes the scratch registry roots it made, and the last
# one to end removes their parent key; a root left in a test prefix would be
# met by a later run: no_scratch_roots_left BUILD_DIR
no_scratch_roots_left() {
    local prefix left=0
    for prefix in "$1/wineprefix" "$1/registration-prefix"; do
        [ -f "$prefix/system.reg" ] || continue
        if in_prefix "$prefix" reg query 'HKCU\Software\TriveldTests' >/dev/null 2>&1; then
            echo "FAILED: scratch registry roots left in $prefix (HKCU\Software\TriveldTests)" >&2
            left=1
        fi
    done
    return $left
}

# The long randomized runs and the long thread run, in the test prefix. Set
# TRIVELD_SEED to replay a seed that a run printed.
fuzz() {
    local status=0 dir program log
    log=$(mktemp)
    for dir in "$x64_dir" "$i686_dir"; do
        for program in text_fuzz_test script_fuzz_test threads_test; do
            say "long run: $program ($(basename "$dir"))"
            local failed=0
            TRIVELD_LONG_RUN=1 "$root/cmake/wine_run.sh" "$dir/wineprefix" \
                "$dir/tests/$program.exe" 2>&1 | tee "$log" || failed=1
            # Wine may end a crashed program with status 0.
            if grep -Eq 'wine: Unhandled|CRASH:' "$log"; then
                failed=1
            fi
            if [ $failed -ne 0 ]; then
                echo "FAILED: $program ($(basename "$dir"))" >&2
                status=1
            fi
        done
    done
    rm -f "$log"
    return $status
}

source "$root/cmake/wine_tools.sh"

# Registers BUILD_DIR's DLL in PREFIX with the regsvr32 of its kind of process;
# stops on failure: register_dll PREFIX ARCH BUILD_DIR
register_dll() {
    local prefix=$1 arch=$2 build_dir=$3
    local dll regsvr32
    dll=$(windows_path "$build_dir/Triveld.dll")
    regsvr32=$(wine_tool "$arch" regsvr32)
    say "registering $dll with $regsvr32"
    if ! in_prefix "$prefix" "$regsvr32" /s "$dll"; then
        echo "registration failed" >&2
        exit 1
    fi
}

report_prefix=$build_root/report-prefix

# readiness_report ARCH [OPTIONS...]: the JScript report in PREFIX's cscript of
# ARCH's kind, on the DLL registered there for that kind.
readiness_report() {
    local arch=$1
    shift
    in_prefix "$report_prefix" "$(wine_tool "$arch" cscript)" //nologo \
        "$(windows_path "$root/samples/readiness_report.js")" "$@"
}

# same_answers JSON32 JSON64: the two reports equal but for "time"; otherwise
# lists the fields that differ and fails.
same_answers() {
    local strip='s/"time":"[^"]*",?//'
    [ "$(sed -E "$strip" <<<"$1")" = "$(sed -E "$strip" <<<"$2")" ] && return 0
    python3 -c '
import json, sys
one, two = (json.loads(text) for text in sys.argv[1:])
for key in sorted((set(one) | set(two)) - {"time"}):
    if one.get(key) != two.get(key):
        print("  %s: 32-bit %s, 64-bit %s" % (key, json.dumps(one.get(key)), json.dumps(two.get(key))))
' "$1" "$2" >&2
    return 1
}

# The report needs the two products and the example viewer only, not the test
# programs; the build trees stay configured for ./build.sh test.
report() {
    local example=0
    [ "${1:-}" = "--example" ] && example=1
    say "building the products and the example viewer"
    configure i686 "$i686_dir"
    cmake --build "$i686_dir" -j "$jobs" --target Triveld example_viewer
    configure x86_64 "$x64_dir"
    cmake --build "$x64_dir" -j "$jobs" --target Triveld
    if [ $example -eq 1 ]; then
        say "provisioning the example workstation (samples/example_workstation.reg)"
        provision_example "$report_prefix" "$i686_dir"
    fi
    register_dll "$report_prefix" i686 "$i686_dir"
    register_dll "$report_prefix" x86_64 "$x64_dir"
    say "readiness report (the 32-bit product in a 32-bit cscript)"
    local options=()
    [ $example -eq 1 ] && options+=(/writeback)
    local status=0
    readiness_report i686 "${options[@]}" || status=$?
    echo
    say "The product DLLs: $i686_dir/Triveld.dll (32-bit), $x64_dir/Triveld.dll (64-bit)"
    # READY (0) and NOT READY (1) are both a report; 2 to 4 are none.
    if [ $status -gt 1 ]; then
        echo "no report could be made (readiness_report.js exit code $status)" >&2
        return $status
    fi
    # The same report as JSON from a 32-bit and a 64-bit host, each on its own DLL.
    local json32 json64 status64=0
    json32=$(readiness_report i686 /json "${options[@]}" | tr -d '\r') || true
    json64=$(readiness_report x86_64 /json "${options[@]}" | tr -d '\r') || status64=$?
    if [ $status64 -gt 1 ]; then
        echo "the 64-bit host made no report (exit code $status64): $json64" >&2
        return $status64
    fi
    if ! same_answers "$json32" "$json64"; then
        echo "The 64-bit host (64-bit cscript, 64-bit DLL) gave other answers than the 32-bit one (above)." >&2
        return 1
    fi
    echo "The 64-bit host (64-bit cscript, 64-bit DLL) gave the same answers as the 32-bit one."
}

# --- ./build.sh bench: both DLLs, each in its own kind of process and prefix ---
bench() {
    say "building the 32-bit product and its benchmark (i686)"
    configure_and_build i686 "$i686_dir" -DTRIVELD_BENCH=ON
    say "building the 64-bit product and its benchmark (x86_64)"
    configure_and_build x86_64 "$x64_dir" -DTRIVELD_BENCH=ON
    local size imports arch dir prefix
    for arch in i686 x86_64; do
        dir=$build_root/$arch
        prefix=$dir/bench-prefix
        size=$(stat -c %s "$dir/Triveld.dll")
        imports=$("$arch-w64-mingw32-objdump" -p "$dir/Triveld.dll" | awk '/DLL Name:/{print $3}' |
            paste -sd, -)
        say "provisioning the example workstation for the $arch benchmark"
        provision_example "$prefix" "$i686_dir"
        register_dll "$prefix" "$arch" "$dir"
        say "benchmark of $dir/Triveld.dll in $([ "$arch" = i686 ] &&
            echo "32-bit processes under WoW64" || echo "64-bit processes") (a few minutes)"
        in_prefix "$prefix" "$dir/bench/triveld_bench.exe" --dll-size="$size" \
            --dll-imports="$imports"
    done
}

# --- ./build.sh package: the Windows Installer packages of the product ---
package() {
    local make_package=("$root/installer/make_package.py" "$build_root")
    # The last run's outputs go first, so that a failed build leaves none.
    python3 "${make_package[@]}" --remove-outputs
    say "building the DLL and the readiness report (i686)"
    configure i686 "$i686_dir"
    cmake --build "$i686_dir" -j "$jobs" --target Triveld readiness_report
    say "building the DLL and the readiness report (x86_64)"
    configure x86_64 "$x64_dir"
    cmake --build "$x64_dir" -j "$jobs" --target Triveld readiness_report
    say "packaging (registers each DLL in a scratch prefix first; about a minute)"
    python3 "${make_package[@]}" --i686 "$i686_dir/Triveld.dll" "$i686_dir/samples/readiness_report.exe" \
        --x64 "$x64_dir/Triveld.dll" "$x64_dir/samples/readiness_report.exe"
    say "$build_root/SHA256SUMS:"
    cat "$build_root/SHA256SUMS"
}

case "${1:-}" in
    deps) deps ;;
    build) deps; build ;;
    # The benchmark programs are built, not run, so that they never stop building unseen.
    test) deps; build -DTRIVELD_BENCH=ON; run_tests ;;
    fuzz) deps; build; fuzz ;;
    report) deps; shift; report "$@" ;;
    bench) deps; bench ;;
    package) deps; package ;;
    *) echo "usage: $0 deps|build|test|fuzz|report [--example]|bench|package" >&2; exit 2 ;;
esac
