#!/usr/bin/env bash
# Builds the Debian package into a temporary directory, unpacks it into a
# throw-away root and checks that every file lands in its place, that the
# package depends on the Qt Widgets it was built with and on hidapi, and that
# the installed programs' shared libraries all resolve; then that it follows
# Debian's rules: lintian reports neither error nor warning, the AppStream
# metadata validates, every program has its manual page, and the guide, the
# copyright file and the changelog (of the package's version) are in
# /usr/share/doc/nodeconfig. Without lintian or appstreamcli the rest is
# checked and the test says it was skipped.
# Usage: check-deb.sh <CPackConfig.cmake> <generated udev rule> <extras ON|OFF>
#                     <icon sizes, ;-separated> <Qt major version, 5 or 6>
set -euo pipefail
config=$1
rule=$2
extras=$3
IFS=';' read -r -a sizes <<<"$4"
qt_major=$5
qt_widgets=libqt${qt_major}widgets${qt_major}

for tool in dpkg-deb ldd; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$tool not available: not a Debian system, skipped"
        exit 77
    fi
done
fail=0
bad() { echo "FAIL: $*"; fail=1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "cpack -G DEB --config $config"
if ! cpack -G DEB --config "$config" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack did not build the package"
    exit 1
fi
mapfile -t debs < <(find "$work/out" -maxdepth 1 -name 'nodeconfig_*.deb')
[ "${#debs[@]}" -eq 1 ] || { ls -l "$work/out"; echo "FAIL: expected one nodeconfig_*.deb"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"

root=$work/root
dpkg-deb -x "$deb" "$root"

expected=(
    usr/bin/nodeconfig
    usr/bin/nodeconfig-cli
    usr/lib/udev/rules.d/70-nodeconfig.rules
    usr/share/applications/nodeconfig.desktop
    usr/share/man/man1/nodeconfig.1.gz
    usr/share/man/man1/nodeconfig-cli.1.gz
    usr/share/doc/nodeconfig/copyright
    usr/share/doc/nodeconfig/changelog.gz
    usr/share/doc/nodeconfig/guide.md
)
for size in "${sizes[@]}"; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/nodeconfig.png")
done
[ "$extras" = ON ] && expected+=(usr/bin/nodeconfig-demo usr/share/man/man1/nodeconfig-demo.1.gz)
for file in "${expected[@]}"; do
    if [ -f "$root/$file" ]; then echo "ok: /$file"; else bad "/$file is not in the package"; fi
done
[ "$extras" = ON ] || [ ! -e "$root/usr/bin/nodeconfig-demo" ] || bad "the demo is packaged although extras are off"
for program in "$root"/usr/bin/*; do
    [ -x "$program" ] || bad "/usr/bin/$(basename "$program") is not executable"
done
# Nothing may escape /usr: a path built from the build machine or the prefix would show here.
stray=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$stray" ] || bad "files outside /usr: $stray"
if [ -n "$(cd "$root" && find . -path './usr/local*')" ]; then bad "files under /usr/local"; fi
if ! cmp -s "$root/usr/lib/udev/rules.d/70-nodeconfig.rules" "$rule"; then
    bad "the packaged udev rule differs from the generated one"
else
    echo "ok: the packaged udev rule is the generated one"
fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ "$depends" == *libhidapi-hidraw0* ]] && echo "ok: depends on libhidapi-hidraw0" || bad "no libhidapi-hidraw0 in Depends"
[[ "$depends" == *"$qt_widgets"* ]] && echo "ok: depends on $qt_widgets" || bad "no $qt_widgets in Depends"
[ "$(dpkg-deb -f "$deb" Package)" = nodeconfig ] || bad "package name is not nodeconfig"
dpkg-deb -I "$deb" postinst >/dev/null 2>&1 && echo "ok: postinst present" || bad "postinst missing"

for program in "$root"/usr/bin/*; do
    libraries=$(ldd "$program")
    if grep -q 'not found' <<<"$libraries"; then
        bad "unresolved libraries of /usr/bin/$(basename "$program"): $(grep 'not found' <<<"$libraries")"
    else
        echo "ok: every shared library of /usr/bin/$(basename "$program") resolves"
    fi
    if [ "$(basename "$program")" = nodeconfig ]; then
        grep -q 'libhidapi-hidraw' <<<"$libraries" || bad "/usr/bin/nodeconfig is not linked with libhidapi-hidraw"
        if grep -q "libQt${qt_major}Widgets" <<<"$libraries"; then
            echo "ok: /usr/bin/nodeconfig is linked with libQt${qt_major}Widgets"
        else
            bad "/usr/bin/nodeconfig is not linked with libQt${qt_major}Widgets"
        fi
    fi
    # The command-line tool needs no display: Qt Core and hidapi only.
    if [ "$(basename "$program")" = nodeconfig-cli ]; then
        grep -q 'libhidapi-hidraw' <<<"$libraries" || bad "/usr/bin/nodeconfig-cli is not linked with libhidapi-hidraw"
        if grep -Eq "libQt${qt_major}(Widgets|Gui)" <<<"$libraries"; then
            bad "/usr/bin/nodeconfig-cli is linked with Qt Widgets or Gui"
        else
            echo "ok: /usr/bin/nodeconfig-cli links neither Qt Widgets nor Qt Gui"
        fi
    fi
done

# Every program installed has its manual page; man renders each one.
for program in "$root"/usr/bin/*; do
    name=$(basename "$program")
    page="$root/usr/share/man/man1/$name.1.gz"
    if [ ! -f "$page" ]; then
        bad "/usr/bin/$name has no manual page"
    elif command -v man >/dev/null 2>&1 && ! man -l "$page" >/dev/null 2>"$work/man.err"; then
        bad "man cannot render $name.1.gz: $(cat "$work/man.err")"
    else
        echo "ok: manual page of $name"
    fi
done
# The guide's pictures lie beside it, as its links name them.
for picture in $(grep -o '([a-z-]*\.png)' "$root/usr/share/doc/nodeconfig/guide.md" | tr -d '()' | sort -u); do
    [ -f "$root/usr/share/doc/nodeconfig/$picture" ] || bad "the guide's $picture is not beside it"
done
version=$(dpkg-deb -f "$deb" Version)
logged=$(gzip -dc "$root/usr/share/doc/nodeconfig/changelog.gz" | sed -n '1s/^nodeconfig (\([^)]*\)).*/\1/p')
[ "$logged" = "$version" ] && echo "ok: the changelog's latest entry is $version" ||
    bad "the changelog's latest entry is '$logged', the package's version $version"

skipped=()
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
if [ ! -f "${metainfo[0]}" ]; then
    bad "no AppStream metadata in /usr/share/metainfo"
elif ! command -v appstreamcli >/dev/null 2>&1; then
    skipped+=("appstreamcli not installed (package appstream): the AppStream metadata is not validated")
elif output=$(appstreamcli validate --no-net --pedantic "${metainfo[0]}" 2>&1); then
    echo "ok: appstreamcli validate accepts $(basename "${metainfo[0]}")"
else
    bad "appstreamcli validate: $output"
fi
if ! command -v lintian >/dev/null 2>&1; then
    skipped+=("lintian not installed: the package is not checked against Debian's rules")
else
    # Errors and warnings only; lintian's informational notes are not shown.
    lintian --display-level ">=warning" "$deb" >"$work/lintian.out" 2>&1 || true
    if grep -Eq '^[EW]: ' "$work/lintian.out"; then
        bad "lintian reports:"
        grep -E '^[EW]: ' "$work/lintian.out"
    else
        echo "ok: lintian reports neither error nor warning"
    fi
fi

if [ "$fail" -ne 0 ]; then
    exit "$fail"
fi
if [ "${#skipped[@]}" -ne 0 ]; then
    printf 'SKIPPED: %s\n' "${skipped[@]}"
    exit 77
fi
echo "package: all checks passed"
