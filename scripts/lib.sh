# Shared by the scripts: installs what is missing on a Debian or Ubuntu
# machine and configures and builds the project.
#
# Build folders, each configured one way only, so that no script forces a
# rebuild of what another built:
#   build/           scripts/run and scripts/package: Qt 5, the programs only
#   build/ci-qt5     scripts/test and scripts/vm-test: Qt 5, warnings as errors, tests
#   build/ci-qt6     scripts/test: the same with Qt 6
#   build/ci-sanitize  scripts/test: Qt 5 with AddressSanitizer and UBSan
#   build/fuzz       scripts/test and scripts/fuzz: clang, libFuzzer, ASan and UBSan

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="$ROOT/build"
CI_BUILD_DIR="$BUILD_DIR/ci-qt5"

MULTIARCH="$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -dumpmachine 2>/dev/null || echo x86_64-linux-gnu)"

# Debian packages, each with a file it provides: "package:file".
BUILD_PACKAGES=(
    "g++:/usr/bin/g++"
    "make:/usr/bin/make"
    "cmake:/usr/bin/cmake"
    "pkg-config:/usr/bin/pkg-config"
    "libhidapi-dev:/usr/include/hidapi/hidapi.h"
)
QT5_PACKAGES=("qtbase5-dev:/usr/lib/$MULTIARCH/cmake/Qt5Widgets/Qt5WidgetsConfig.cmake")
QT6_PACKAGES=(
    "qt6-base-dev:/usr/lib/$MULTIARCH/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake"
    "qt6-base-dev-tools:/usr/lib/qt6/libexec/moc"
)
# The Debian package (CPack) and its check against Debian's rules: lintian,
# the AppStream validator and man for the manual pages.
PACKAGE_PACKAGES=(
    "dpkg-dev:/usr/bin/dpkg-shlibdeps"
    "file:/usr/bin/file"
    "lintian:/usr/bin/lintian"
    "appstream:/usr/bin/appstreamcli"
    "man-db:/usr/bin/man"
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}

can_be_root() {
    [ "$(id -u)" -eq 0 ] || command -v sudo >/dev/null 2>&1
}

# apt-get as root, waiting for another apt-get (a second run, the system's
# own updates) to let go of its locks instead of failing at once: dpkg's lock
# is waited for by apt itself, the package lists' lock by trying again.
APT_LOCK_TRIES=90
APT_LOCK_PAUSE_S=10
apt_get() {
    local errors tries=1 status
    errors="$(mktemp)"
    while :; do
        status=0
        as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 "$@" \
            2> >(tee "$errors" >&2) || status=$?
        wait
        if [ "$status" -eq 0 ] || ! grep -q 'Could not get lock' "$errors" ||
            [ "$tries" -ge "$APT_LOCK_TRIES" ]; then
            rm -f "$errors"
            return "$status"
        fi
        echo "nodeconfig: another apt-get holds its lock; trying again in $APT_LOCK_PAUSE_S s" >&2
        tries=$((tries + 1))
        sleep "$APT_LOCK_PAUSE_S"
    done
}

# Installs the packages whose file is missing, given as "package:file".
install_missing() {
    local missing=() entry package file
    for entry in "$@"; do
        package="${entry%%:*}"
        file="${entry#*:}"
        if [ ! -e "$file" ] && ! dpkg -s "$package" >/dev/null 2>&1; then
            missing+=("$package")
        fi
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    if ! command -v apt-get >/dev/null 2>&1; then
        echo "nodeconfig: please install: ${missing[*]}" >&2
        exit 1
    fi
    if ! can_be_root; then
        echo "nodeconfig: missing packages; install them as root, then run this again:" >&2
        echo "    sudo apt-get install ${missing[*]}" >&2
        exit 1
    fi
    echo "nodeconfig: installing ${missing[*]}"
    apt_get update -qq
    apt_get install -y -qq --no-install-recommends "${missing[@]}"
}

# make_locale LANGUAGE_TERRITORY: makes the UTF-8 locale (fr_FR: fr_FR.UTF-8)
# unless the system has it.
make_locale() {
    local name=$1
    locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8$" && return 0
    if ! can_be_root; then
        echo "nodeconfig: the $name.UTF-8 locale is missing; make it as root, then run this again:" >&2
        echo "    sudo localedef -i $name -f UTF-8 $name.UTF-8" >&2
        exit 1
    fi
    echo "nodeconfig: generating the $name.UTF-8 locale"
    as_root localedef -i "$name" -f UTF-8 "$name.UTF-8"
}

build_jobs() {
    nproc 2>/dev/null || echo 2
}

# configure DIR [cmake options...]: configures DIR with exactly these options.
# Running it again with the same options changes nothing, so nothing rebuilds.
configure() {
    local dir=$1
    shift
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

# The folder of scripts/run and scripts/package: the programs, no tests.
configure_programs() {
    configure "$BUILD_DIR" -DNODECONFIG_QT_MAJOR=5 -DNODECONFIG_WERROR=OFF \
        -DNODECONFIG_BUILD_TESTS=OFF -DNODECONFIG_BUILD_BENCH=OFF -DNODECONFIG_SANITIZE=OFF
}

# ci_build QT_MAJOR DIR [cmake options...]: the tests' build, warnings as errors.
ci_build() {
    local major=$1 dir=$2
    shift 2
    configure "$dir" -DNODECONFIG_QT_MAJOR="$major" -DNODECONFIG_WERROR=ON \
        -DNODECONFIG_BUILD_TESTS=ON -DNODECONFIG_BUILD_BENCH=ON "$@"
    cmake --build "$dir" -j "$(build_jobs)"
}

# What the tests need besides the build: the French locale, the desktop-entry
# and package checks, the documents' link check, and the fonts the window is
# measured with.
TEST_PACKAGES=(
    "locales:/usr/sbin/locale-gen"
    "python3:/usr/bin/python3"
    "desktop-file-utils:/usr/bin/desktop-file-validate"
    "fonts-dejavu-core:/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
    "fonts-noto-core:/usr/share/fonts/truetype/noto/NotoSans-Regular.ttf"
    "fonts-cantarell:/usr/share/doc/fonts-cantarell/copyright"
    "fonts-liberation2:/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf"
)
# The fuzz build: clang, its libFuzzer and sanitizer runtimes, and the
# symbolizer that names the frames the leak suppressions match.
FUZZ_PACKAGES=(
    "clang-16:/usr/bin/clang++-16"
    "libclang-rt-16-dev:/usr/share/doc/libclang-rt-16-dev/copyright"
    "llvm-16:/usr/bin/llvm-symbolizer-16"
)
FUZZ_BUILD_DIR="$BUILD_DIR/fuzz"
FUZZ_TARGETS=(configfile commandline nodereply fieldtexts serieslog artnet)

# The fuzz build: the libFuzzer targets on the programs' libraries. The
# tests are configured (the command-line target uses their support code)
# but only the targets are built.
fuzz_build() {
    CC=clang-16 CXX=clang++-16 configure "$FUZZ_BUILD_DIR" -DNODECONFIG_QT_MAJOR=5 \
        -DNODECONFIG_WERROR=ON -DNODECONFIG_BUILD_TESTS=ON -DNODECONFIG_BUILD_BENCH=OFF \
        -DNODECONFIG_SANITIZE=ON -DNODECONFIG_FUZZ=ON
    cmake --build "$FUZZ_BUILD_DIR" -j "$(build_jobs)" --target "${FUZZ_TARGETS[@]/#/fuzz_}" \
        >"$FUZZ_BUILD_DIR/build.log" 2>&1 || { cat "$FUZZ_BUILD_DIR/build.log"; return 1; }
}

# Each target's own libFuzzer options: the longest input it is given (a reply
# is 64 bytes) and, for the window's reply, no leak check between inputs:
# Qt's caches grow with what the window shows, so the check would scan the
# heap after nearly every input (50 inputs a second instead of 700). Its
# leaks are still checked when the run ends, and by the sanitizer suite.
fuzz_options() {
    case $1 in
        nodereply) echo -max_len=64 -detect_leaks=0 ;;
        fieldtexts) echo -max_len=256 ;;
        commandline) echo -max_len=512 ;;
        artnet) echo -max_len=600 ;;
        *) echo -max_len=4096 ;;
    esac
}

# fuzz_target NAME SECONDS: fuzzes one target for that long, on a copy of
# its corpus (the clone stays clean), and prints its figures. Inputs that
# broke a property are kept in build/fuzz/findings/NAME. Fails on a finding.
fuzz_target() {
    local name=$1 seconds=$2
    local work="$FUZZ_BUILD_DIR/runs/$name" findings="$FUZZ_BUILD_DIR/findings/$name"
    rm -rf "$work"
    mkdir -p "$work/corpus" "$findings"
    cp "$ROOT/fuzz/corpus/$name/"* "$work/corpus/"
    local status=0
    env LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen \
        ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 \
        LSAN_OPTIONS="suppressions=$ROOT/tests/sanitizers/lsan.supp:print_suppressions=0" \
        UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "$FUZZ_BUILD_DIR/fuzz/fuzz_$name" -max_total_time="$seconds" \
        $(fuzz_options "$name") -dict="$ROOT/fuzz/nodeconfig.dict" \
        -artifact_prefix="$findings/" -print_final_stats=1 -close_fd_mask=1 \
        "$work/corpus" >"$work/log" 2>&1 || status=$?
    local found
    found=$(find "$findings" -type f | wc -l)
    local last runs
    last=$(grep -E '^#[0-9]+' "$work/log" | tail -n 1)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
    printf '%-12s runs %10s  coverage %5s edges %6s features  corpus %4s inputs  findings %s\n' \
        "$name" "${runs:-?}" "$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")" \
        "$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")" \
        "$(find "$work/corpus" -type f | wc -l)" "$found"
    if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
        grep -E 'nodeconfig fuzz finding|ERROR|SUMMARY' "$work/log" | head -n 5 >&2
        echo "fuzz_$name: finding kept in ${findings#"$ROOT"/}, log ${work#"$ROOT"/}/log" >&2
        return 1
    fi
}

# fuzz_all SECONDS: every target for that long each; fails if any finds.
fuzz_all() {
    local seconds=$1 failed=0 name
    for name in "${FUZZ_TARGETS[@]}"; do
        fuzz_target "$name" "$seconds" || failed=1
    done
    return "$failed"
}

# The VM run: QEMU, the guest's busybox, and what unpacks the kernel.
VM_PACKAGES=(
    "qemu-system-x86:/usr/bin/qemu-system-x86_64"
    "busybox-static:/usr/share/doc/busybox-static/copyright"
    "xz-utils:/usr/bin/xz"
    "gzip:/bin/gzip"
)
