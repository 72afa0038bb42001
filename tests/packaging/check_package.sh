#!/usr/bin/env bash
# Builds the Debian package of a build tree with cpack and checks it: its files and control
# data, lintian, the desktop-entry and AppStream validators, the file types as the desktop
# resolves them, the maintainer scripts with and without udevadm, and the programs, manual pages
# and bash completion run from a scratch root the package was unpacked into.
# Usage: check_package.sh BUILD_DIR VERSION APP_ID WORK_DIR
set -uo pipefail
build=$1 version=$2 app_id=$3 work=$4

failures=0
fail()
{
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
for tool in cpack dpkg-deb lintian desktop-file-validate appstreamcli update-mime-database gio; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/setup installs it)" >&2; exit 1; }
done

rm -rf "$work"
mkdir -p "$work"
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack" >&2
    exit 1
fi
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no single .deb in $work/out" >&2; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# Control data: the version CMake sets, and library dependencies found by dpkg-shlibdeps.
[ "$(dpkg-deb -f "$deb" Package)" = trivel ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version), want $version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libhidapi-hidraw0; do
    [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

# Contents, with owner and mode where they matter.
dpkg-deb -c "$deb" >"$work/contents"
expect()
{
    local mode=$1 path=$2
    local line
    line=$(awk -v p="./$path" '$6 == p' "$work/contents")
    if [ -z "$line" ]; then
        fail "missing /$path"
    elif [[ $line != "$mode root/root "* ]]; then
        fail "/$path: $line (want $mode root/root)"
    fi
}
for program in trivel trivelctl trivel-boxsim; do
    expect -rwxr-xr-x "usr/bin/$program"
    expect -rw-r--r-- "usr/share/man/man1/$program.1.gz"
done
expect -rw-r--r-- usr/lib/udev/rules.d/60-trivel.rules
expect -rw-r--r-- "usr/share/applications/$app_id.desktop"
expect -rw-r--r-- "usr/share/metainfo/$app_id.metainfo.xml"
expect -rw-r--r-- usr/share/mime/packages/trivel.xml
expect -rw-r--r-- usr/share/icons/hicolor/scalable/apps/trivel.svg
for size in 16 22 24 32 48 64 128 256; do
    expect -rw-r--r-- "usr/share/icons/hicolor/${size}x${size}/apps/trivel.png"
done
expect -rw-r--r-- usr/share/bash-completion/completions/trivelctl
expect -rw-r--r-- usr/share/doc/trivel/copyright
expect -rw-r--r-- usr/share/doc/trivel/changelog.gz
mkdir -p "$work/control"
dpkg-deb -e "$deb" "$work/control"
for script in postinst postrm; do
    [ -x "$work/control/$script" ] || fail "control $script missing or not executable"
done

# lintian: errors fail; warnings are shown for the record.
lintian --fail-on error --display-level '>=warning' --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
lintian_status=$?
grep -v '^running with root privileges' "$work/lintian.log" | sed 's/^/lintian: /'
[ $lintian_status -eq 0 ] || fail "lintian reports errors"

root=$work/root
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" >"$work/appstream.log" 2>&1 \
    || { cat "$work/appstream.log" >&2; fail "appstreamcli validate"; }
[ "$(head -c 8 "$root/usr/share/icons/hicolor/256x256/apps/trivel.png" | od -An -c | tr -d ' ')" = "211PNG\r\n032\n" ] \
    || fail "256x256 icon is no PNG"

# The programs from the scratch root, without a display: --version and --help never need one.
export LC_ALL=C.UTF-8
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
for program in trivel trivelctl trivel-boxsim; do
    out=$("${nodisplay[@]}" "$root/usr/bin/$program" --version 2>&1)
    [ "$out" = "$program $version" ] || fail "$program --version said '$out'"
    "${nodisplay[@]}" "$root/usr/bin/$program" --help >"$work/$program.help" 2>&1 || fail "$program --help failed"
done
grep -q -- '--port' "$work/trivel-boxsim.help" || fail "trivel-boxsim --help lacks --port"
grep -q -- '--firmware-version' "$work/trivel-boxsim.help" || fail "trivel-boxsim --help lacks --firmware-version"

# Manual pages: generated from the very --help, and man renders them without complaint.
for program in trivel trivelctl trivel-boxsim; do
    page=$root/usr/share/man/man1/$program.1.gz
    zcat "$page" >"$work/$program.1"
    grep -q "^\\.TH ${program^^} \"1\" .*\"$program $version\"" "$work/$program.1" || fail "$program.1: no .TH with $version"
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$program.1: $warnings"
done
grep -q 'readback' "$work/trivelctl.1" || fail "trivelctl.1 lacks the commands of --help"
grep -q 'screenshot' "$work/trivel.1" || fail "trivel.1 lacks the options of --help"

# File types as a file manager resolves them: by extension in any case, by magic without one.
mime=$work/mime-share
mkdir -p "$mime/mime/packages" "$work/files"
cp "$root/usr/share/mime/packages/trivel.xml" "$mime/mime/packages/"
update-mime-database "$mime/mime" >"$work/mime.log" 2>&1 || { cat "$work/mime.log" >&2; fail "update-mime-database"; }
while read -r name content want; do
    printf '%b' "$content" >"$work/files/$name"
    got=$(XDG_DATA_HOME=$work/nohome XDG_DATA_DIRS=$mime:/usr/share gio info -a standard::content-type \
        "$work/files/$name" | sed -n 's/^ *standard::content-type: //p')
    [ "$got" = "$want" ] || fail "file type of $name ($content): $got, want $want"
done <<'CASES'
HALL.WBF    \x00\x01garbage       application/x-trivel-wbf
hall.wbf    \x00\x01garbage       application/x-trivel-wbf
Left.Sbf    \x00\x01garbage       application/x-trivel-sbf
LEFT.SBF    WPM\x00\x00           application/x-trivel-sbf
backup1     WPM\x00\x10\x00\x00   application/x-trivel-wbf
backup2     SBF\x00\x10\x00\x00   application/x-trivel-sbf
notes.txt   WPM\x20settings       text/plain
WP          WP                    text/plain
CASES

# Maintainer scripts: udev is told when it is there; no udevadm, or a failing one, still installs.
mkdir -p "$work/bin-ok" "$work/bin-failing" "$work/bin-none"
for sh in sh; do ln -sf "$(command -v $sh)" "$work/bin-none/$sh"; done
cp -a "$work/bin-none/." "$work/bin-ok/"
cp -a "$work/bin-none/." "$work/bin-failing/"
printf '#!/bin/sh\necho "$*" >>"%s"\n' "$work/udevadm.log" >"$work/bin-ok/udevadm"
printf '#!/bin/sh\nexit 1\n' >"$work/bin-failing/udevadm"
chmod 755 "$work/bin-ok/udevadm" "$work/bin-failing/udevadm"
while read -r script arg bin want; do
    rm -f "$work/udevadm.log"
    env -i PATH="$work/$bin" /bin/sh "$work/control/$script" "$arg" || fail "$script $arg with $bin exits non-zero"
    got=$(head -n1 "$work/udevadm.log" 2>/dev/null || echo -)
    [ "$got" = "${want//_/ }" ] || fail "$script $arg with $bin: udevadm got '$got', want '${want//_/ }'"
done <<'CASES'
postinst configure bin-ok      control_--reload-rules
postinst configure bin-none    -
postinst configure bin-failing -
postrm   remove    bin-ok      control_--reload-rules
postrm   purge     bin-none    -
postrm   upgrade   bin-ok      -
CASES

# bash completion of the installed trivelctl: commands from its --help, options per command.
mkdir -p "$work/cwd"
touch "$work/cwd/logo.bmp" "$work/cwd/fw.BIN"
while IFS='|' read -r line want; do
    got=$(cd "$work/cwd" && PATH="$root/usr/bin:$PATH" bash -c '
        source "$1"
        read -ra COMP_WORDS <<<"$2"
        COMP_CWORD=${#COMP_WORDS[@]}
        [[ $2 == *" " ]] && COMP_WORDS+=("") || COMP_CWORD=$((COMP_CWORD - 1))
        _trivelctl
        printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' _ \
        "$root/usr/share/bash-completion/completions/trivelctl" "$line")
    [ "${got% }" = "$want" ] || fail "completion of '$line': '${got% }', want '$want'"
done <<'CASES'
trivelctl wa|warp
trivelctl warp |load-map mode nudge push reset save-map table
trivelctl --tcp 127.0.0.1:7 warp sa|save-map
trivelctl re|readback reg restore
trivelctl mask upload --s|--slot
trivelctl backup --h|--help --hosts
trivelctl preview --a|--all
trivelctl preview --f|--file
trivelctl reg |read write
trivelctl firmware |fw.BIN info logo.bmp
trivelctl --ve|--verbose --version
trivelctl set --w|--window
trivelctl firmware fw.BIN --no|--no-restart
trivelctl warp table --g|--grid
trivelctl mask encode lo|logo.bmp
trivelctl --tcp |
trivelctl align --patterns |box screen:0 screen:1 screen:2 screen:3
trivelctl align --ma|--marks
trivelctl align --marks |
CASES
got=$(cd "$work/cwd" && PATH="$root/usr/bin:$PATH" bash -c 'source "$1"; COMP_WORDS=(trivelctl ""); COMP_CWORD=1
    _trivelctl; printf "%s " "${COMPREPLY[@]}"' _ "$root/usr/share/bash-completion/completions/trivelctl")
for command in identify readback warp mask set get settings firmware reg file save load backup restore preview; do
    [[ " $got" == *" $command "* ]] || fail "completion of commands lacks $command: $got"
done

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package checks passed"
