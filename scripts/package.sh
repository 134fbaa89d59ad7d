#!/usr/bin/env bash
# Builds what Tarnleaf ships and writes it to dist/:
#   dist/tarnleaf_<version>_amd64.deb    tarnleafd, tarnleaf, the systemd unit, manual pages
#   dist/tarnleaf-<version>-win64.zip    tarnleaf.exe, tarnleafd.exe, Tarnleaf.ini, README.txt
#
#   scripts/package.sh [--linux-build DIR] [--windows-build DIR] [--out DIR] [--no-lintian]
#                      [deb|zip|all]
# Release builds go to build/release-linux and build/release-windows unless a folder is
# given; a folder that holds a build already is reused as it is, whatever its build type
# (the tests package their own build). --out writes elsewhere than dist/.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
linux_dir=$root/build/release-linux
windows_dir=$root/build/release-windows
what=all
dist=$root/dist
lintian=1
usage="usage: $0 [--linux-build DIR] [--windows-build DIR] [--out DIR] [--no-lintian] [deb|zip|all]"
while (($#)); do
    case $1 in
        --linux-build) linux_dir=$(realpath -m "$2"); shift 2 ;;
        --windows-build) windows_dir=$(realpath -m "$2"); shift 2 ;;
        --out) dist=$(realpath -m "$2"); shift 2 ;;
        --no-lintian) lintian=0; shift ;;
        deb|zip|all) what=$1; shift ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done
# Folders on the command line are the caller's, relative to where it was typed: resolved
# above, before the move into the repository.
cd "$root"

version=$(sed -nE 's/^project\(Tarnleaf VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
[[ -n $version ]] || { echo "no version in CMakeLists.txt" >&2; exit 1; }
mkdir -p "$dist"
jobs=$(nproc 2>/dev/null || echo 2)
max_exe_bytes=$((1024 * 1024))

needed=(build-essential cmake ninja-build dpkg-dev file zip)
[[ $what == zip ]] || needed+=(qt6-base-dev libcap2-bin)
[[ $what == zip ]] || ((lintian == 0)) || needed+=(lintian)
[[ $what == deb ]] || needed+=(g++-mingw-w64-x86-64)
"$root/scripts/install-deps.sh" only "${needed[@]}"

# release_build DIR TARGETS... [-- cmake arguments]: a Release build of just the programs.
release_build() {
    local dir=$1 targets=() args=()
    shift
    while (($#)) && [[ $1 != -- ]]; do targets+=("$1"); shift; done
    (($#)) && shift && args=("$@")
    if [[ ! -f $dir/CMakeCache.txt ]]; then
        cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNLEAF_TESTS=OFF \
            "${args[@]}"
    fi
    cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
}

build_deb() {
    # Debian's hardening flags (fortified functions, stack protector, full RELRO, now-binding).
    local cxxflags ldflags
    cxxflags="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS) $(
        DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS)"
    ldflags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)
    release_build "$linux_dir" tarnleafd tarnleaf -- "-DCMAKE_CXX_FLAGS=$cxxflags" \
        "-DCMAKE_EXE_LINKER_FLAGS=$ldflags"
    local stage=$dist/.deb-root package=tarnleaf_${version}_amd64.deb
    rm -rf "$stage"
    local doc=$stage/usr/share/doc/tarnleaf
    install -d -m 755 "$stage/DEBIAN" "$stage/usr/bin" "$doc/examples" \
        "$stage/usr/share/man/man1" "$stage/usr/share/man/man8"
    for program in tarnleafd tarnleaf; do
        install -m 755 "$linux_dir/app/$program" "$stage/usr/bin/$program"
        strip --strip-unneeded --remove-section=.comment --remove-section=.note \
            "$stage/usr/bin/$program"
    done
    install -D -m 644 packaging/tarnleafd.service \
        "$stage/usr/lib/systemd/system/tarnleafd.service"
    install -D -m 644 examples/Tarnleaf.ini "$stage/etc/tarnleaf/Tarnleaf.ini"
    install -D -m 644 packaging/tarnleaf.desktop \
        "$stage/usr/share/applications/tarnleaf.desktop"
    install -D -m 644 resources/tarnleaf.png \
        "$stage/usr/share/icons/hicolor/32x32/apps/tarnleaf.png"
    install -m 644 README.md "$doc/README.md"
    install -m 644 examples/Tarnleaf.ini "$doc/examples/Tarnleaf.ini"
    install -m 644 packaging/copyright "$doc/copyright"
    sed "s/@VERSION@/$version/" packaging/changelog | gzip -9n >"$doc/changelog.gz"
    gzip -9n <docs/man/tarnleaf.1 >"$stage/usr/share/man/man1/tarnleaf.1.gz"
    gzip -9n <docs/man/tarnleafd.8 >"$stage/usr/share/man/man8/tarnleafd.8.gz"
    chmod 644 "$doc/changelog.gz" "$stage"/usr/share/man/man?/*.gz
    for script in postinst prerm postrm; do
        install -m 755 "packaging/$script" "$stage/DEBIAN/$script"
    done
    echo /etc/tarnleaf/Tarnleaf.ini >"$stage/DEBIAN/conffiles"

    # The libraries the programs link, as dpkg-shlibdeps finds them; it wants a control file.
    local work
    work=$(mktemp -d)
    mkdir "$work/debian"
    printf 'Source: tarnleaf\n\nPackage: tarnleaf\nArchitecture: amd64\n' \
        >"$work/debian/control"
    local shlibs
    shlibs=$(cd "$work" && dpkg-shlibdeps -O "$stage/usr/bin/tarnleafd" \
        "$stage/usr/bin/tarnleaf" | sed -n 's/^shlibs:Depends=//p')
    rm -rf "$work"
    [[ -n $shlibs ]] || { echo "dpkg-shlibdeps found no dependencies" >&2; exit 1; }

    local size
    size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
    cat >"$stage/DEBIAN/control" <<EOF
Package: tarnleaf
Version: $version
Architecture: amd64
Maintainer: Tarnleaf developers <tarnleaf@example.org>
Installed-Size: $size
Depends: $shlibs, libcap2-bin
Section: net
Priority: optional
Description: BOOTP/DHCP reply server for netbooting from the desktop
 Tarnleaf answers BOOTP and DHCP requests on UDP port 67 from per-client
 profiles in an INI file, without a lease table: every reply is worked out
 afresh, and an edit of the file counts from the next request.
 .
 The package holds the console server tarnleafd with a sandboxed systemd
 unit, and the Qt desktop program tarnleaf with its notification-area icon.
 Both may bind port 67 without root and hold no privilege once bound.
EOF
    (cd "$stage" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' |
        LC_ALL=C sort -z | xargs -0 md5sum >DEBIAN/md5sums)
    chmod 644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums" "$stage/DEBIAN/conffiles"
    dpkg-deb --root-owner-group -Zxz --build "$stage" "$dist/$package" >/dev/null
    rm -rf "$stage"
    echo "Debian package: $dist/$package ($(stat -c %s "$dist/$package") bytes)"
    if ((lintian)); then
        echo "lintian:"
        lintian --allow-root --tag-display-limit 0 "$dist/$package" | sed 's/^/  /' || true
    fi
}

build_zip() {
    release_build "$windows_dir" tarnleafd tarnleaf -- \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
    local stage=$dist/.zip-root package=tarnleaf-${version}-win64.zip
    rm -rf "$stage"
    mkdir -p "$stage"
    for program in tarnleafd tarnleaf; do
        install -m 644 "$windows_dir/app/$program.exe" "$stage/"
        x86_64-w64-mingw32-strip --strip-all "$stage/$program.exe"
        local bytes
        bytes=$(stat -c %s "$stage/$program.exe")
        echo "  $program.exe: $bytes bytes"
        if ((bytes > max_exe_bytes)); then
            echo "$program.exe is larger than $max_exe_bytes bytes" >&2
            exit 1
        fi
    done
    sed 's/\r*$/\r/' examples/Tarnleaf.ini >"$stage/Tarnleaf.ini"
    sed 's/\r*$/\r/' README.md >"$stage/README.txt"
    rm -f "$dist/$package"
    (cd "$stage" && zip -q -X "$dist/$package" tarnleaf.exe tarnleafd.exe Tarnleaf.ini \
        README.txt)
    rm -rf "$stage"
    echo "Windows zip: $dist/$package ($(stat -c %s "$dist/$package") bytes)"
}

[[ $what == zip ]] || build_deb
[[ $what == deb ]] || build_zip
