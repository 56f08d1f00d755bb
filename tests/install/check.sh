#!/usr/bin/env bash
# The installation as its users get it, from a built tree:
#  1. `cmake --install` into a temporary prefix: the layout, the SONAME, the RUNPATHs;
#  2. the plug-in SDK example, copied from the installed examples, built against that prefix alone
#     (CMake package, then once more with pkg-config), exporting its entry points only;
#  3. the installed kestro, with no option and no environment, rendering the example's project
#     (the new class beside one of the module's), compared with the golden picture;
#  4. the Debian package: its fields, Depends and file list, a render from its unpacked files,
#     and, when run as root, `apt-get install` and `apt-get remove`.
#   tests/install/check.sh [BUILD_DIR]      (default: build; everything in it already built)
# KESTRO_CHECK_APT=0 skips the apt-get step even as root.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kestro-install-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
export QT_QPA_PLATFORM=offscreen
unset LD_LIBRARY_PATH KESTRO_PLUGIN_DIR PKG_CONFIG_PATH CMAKE_PREFIX_PATH

step() { echo "-- install-check: $*"; }
fail() {
  echo "install-check: FAILED: $*" >&2
  exit 1
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
[[ -n $version && -n $libdir ]] || fail "$build is not a configured build tree"
major=${version%%.*}

# Exactly the names of the second argument (comma-separated) in the dynamic export table.
check_exports() {
  cmake -DPLUGIN="$1" -DEXPECTED="$2" -P "$src/tests/check_exports.cmake" >/dev/null ||
    fail "exports of $1: $(nm -D --defined-only "$1" | awk '{print $3}' | tr '\n' ' ')"
}
runpath() { readelf -d "$1" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]$/\1/p'; }

step "cmake --install into $prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
for file in bin/kestro "$libdir/libkestrohost.so.$version" "$libdir/libkestrohost.so.$major" \
  "$libdir/libkestrohost.so" "$libdir/libkestroplugin.a" \
  "$libdir/kestro/plugins/libkestrovalumen.so" "$libdir/kestro/plugins/libkestrotext.so" \
  include/kestro/kestrovalumen/host/rtti.h include/kestro/kestrovalumen/core/drawobj.h \
  include/kestro/kestrovalumen/core/shapeframe.h include/kestro/kestrovalumen/animation/aniobj.h \
  "$libdir/cmake/Kestro/KestroConfig.cmake" "$libdir/cmake/Kestro/KestroConfigVersion.cmake" \
  "$libdir/cmake/Kestro/KestroTargets.cmake" "$libdir/pkgconfig/kestro.pc" \
  "$libdir/pkgconfig/kestro-plugin.pc" share/kestro/kestroplugin.map \
  share/kestro/examples/plant.json share/kestro/examples/plugin-sdk/CMakeLists.txt \
  share/doc/kestro/plugins.md share/doc/kestro/README.md; do
  [[ -e $prefix/$file ]] || fail "the installation has no $file"
done
# Only plug-ins in the plug-in directory, and no file of the source or build tree left behind.
extra=$(find "$prefix/$libdir/kestro/plugins" -type f ! -name 'lib*.so')
[[ -z $extra ]] || fail "not a plug-in: $extra"
if grep -rlF -e "$src" -e "$build" "$prefix/include" "$prefix/$libdir/cmake" \
  "$prefix/$libdir/pkgconfig" >"$work/leaks"; then
  fail "installed files name the source or build tree: $(tr '\n' ' ' <"$work/leaks")"
fi
soname=$(readelf -d "$prefix/$libdir/libkestrohost.so.$version" |
  sed -n 's/.*(SONAME).*\[\(.*\)\]$/\1/p')
[[ $soname == "libkestrohost.so.$major" ]] || fail "SONAME of the host library: '$soname'"
[[ $(runpath "$prefix/bin/kestro") == "\$ORIGIN/../$libdir" ]] ||
  fail "RUNPATH of kestro: '$(runpath "$prefix/bin/kestro")'"
check_exports "$prefix/$libdir/kestro/plugins/libkestrotext.so" __plugin_init,__plugin_cleanup

step "the SDK example against the installed package"
cp -r "$prefix/share/kestro/examples/plugin-sdk" "$work/sdk"
cmake -S "$work/sdk" -B "$work/sdk-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$work/sdk-configure.log" ||
  fail "configuring the SDK example: $(cat "$work/sdk-configure.log")"
kestro_dir=$(sed -n 's/^Kestro_DIR:PATH=//p' "$work/sdk-build/CMakeCache.txt")
[[ $kestro_dir == "$prefix/$libdir/cmake/Kestro" ]] || fail "Kestro found in '$kestro_dir'"
cmake --build "$work/sdk-build" >"$work/sdk-build.log" ||
  fail "building the SDK example: $(cat "$work/sdk-build.log")"
if grep -qF -e "$src" -e "$build" "$work/sdk-build/compile_commands.json"; then
  fail "the SDK example was compiled with paths of the source or build tree"
fi
check_exports "$work/sdk-build/libkestrogauge.so" __plugin_init,__plugin_cleanup
cmake --install "$work/sdk-build" >/dev/null
[[ -f $prefix/$libdir/kestro/plugins/libkestrogauge.so ]] ||
  fail "the SDK example did not install into the plug-in directory"

step "the SDK example with pkg-config"
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
[[ $(pkg-config --modversion kestro-plugin) == "$version" ]] ||
  fail "pkg-config version $(pkg-config --modversion kestro-plugin), not $version"
# shellcheck disable=SC2046 # the flags are words
c++ -std=c++17 -shared -o "$work/libgauge-pc.so" "$work/sdk/drawgauge.cpp" \
  "$work/sdk/kestrogauge.cpp" $(pkg-config --cflags --libs kestro-plugin) ||
  fail "building the SDK example with pkg-config"
check_exports "$work/libgauge-pc.so" __plugin_init,__plugin_cleanup
unset PKG_CONFIG_PATH

# Renders the example project with the kestro at $1, in an environment that names no directory;
# kestro may not complain (an object whose class did not register is a warning).
mkdir -m 700 "$work/runtime"
render_gauges() {
  local kestro=$1 out=$2
  env -i PATH="$PATH" HOME="$work" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
    "$kestro" render "$work/sdk/gauge.json" -o "$out" 2>"$work/render.err" ||
    fail "$kestro render: $(cat "$work/render.err")"
  ! grep -q '^kestro' "$work/render.err" || fail "$kestro render: $(cat "$work/render.err")"
  "$build/bin/kvimgdiff" "$here/gauge.png" "$out" --tolerance 16 --max-differing 40 \
    --diff "$work/diff.png" || {
    cp "$out" "$build/install-check-actual.png"
    cp "$work/diff.png" "$build/install-check-diff.png" 2>/dev/null || true
    fail "the picture differs from tests/install/gauge.png (see $build/install-check-*.png)"
  }
}

step "the installed kestro renders the example project"
render_gauges "$prefix/bin/kestro" "$work/gauge.png"

step "the Debian package"
rm -f "$build"/kestro_*.deb
cmake --build "$build" --target package >"$work/package.log" 2>&1 ||
  fail "make package: $(tail -20 "$work/package.log")"
arch=$(dpkg --print-architecture)
deb=$build/kestro_${version}_${arch}.deb
[[ -f $deb ]] || fail "no $deb"
[[ $(dpkg-deb -f "$deb" Package) == kestro ]] || fail "Package: $(dpkg-deb -f "$deb" Package)"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "Version: $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
  [[ ", $depends," == *", $package "* || ", $depends," == *", $package,"* ]] ||
    fail "Depends lacks $package: $depends"
done
[[ $depends != *kestro* ]] || fail "the package depends on itself: $depends"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's,^\./,/,; s,/$,,' >"$work/deb-files"
for file in /usr/bin/kestro "/usr/$libdir/libkestrohost.so.$version" \
  "/usr/$libdir/kestro/plugins/libkestrovalumen.so" "/usr/$libdir/kestro/plugins/libkestrotext.so" \
  "/usr/$libdir/libkestroplugin.a" /usr/include/kestro/kestrovalumen/core/drawobj.h \
  "/usr/$libdir/cmake/Kestro/KestroConfig.cmake" "/usr/$libdir/pkgconfig/kestro-plugin.pc" \
  /usr/share/kestro/examples/plugin-sdk/drawgauge.cpp /usr/share/doc/kestro/plugins.md; do
  grep -qxF "$file" "$work/deb-files" || fail "the package has no $file"
done
outside=$(grep -v -e '^/usr$' -e '^/usr/' -e '^$' "$work/deb-files" || true)
[[ -z $outside ]] || fail "the package installs outside /usr: $outside"
dpkg-deb -x "$deb" "$work/deb-root"
cp "$work/sdk-build/libkestrogauge.so" "$work/deb-root/usr/$libdir/kestro/plugins/"
render_gauges "$work/deb-root/usr/bin/kestro" "$work/gauge-deb.png"

if [[ $(id -u) -eq 0 && ${KESTRO_CHECK_APT:-1} != 0 ]]; then
  if dpkg-query -W -f='${Status}' kestro 2>/dev/null | grep -q "install ok installed"; then
    step "kestro is installed on this machine already: apt-get install not tried"
  else
    step "apt-get install and remove"
    apt=(apt-get -y -qq -o DPkg::Lock::Timeout=300)
    DEBIAN_FRONTEND=noninteractive "${apt[@]}" install --no-install-recommends "$deb" \
      >"$work/apt.log" 2>&1 || fail "apt-get install: $(tail -20 "$work/apt.log")"
    trap 'DEBIAN_FRONTEND=noninteractive "${apt[@]}" remove --purge kestro >/dev/null 2>&1 || true;
          rm -rf "$work"' EXIT
    cp "$work/sdk-build/libkestrogauge.so" "/usr/$libdir/kestro/plugins/"
    render_gauges /usr/bin/kestro "$work/gauge-apt.png"
    rm "/usr/$libdir/kestro/plugins/libkestrogauge.so"
    DEBIAN_FRONTEND=noninteractive "${apt[@]}" remove --purge kestro >"$work/apt.log" 2>&1 ||
      fail "apt-get remove: $(tail -20 "$work/apt.log")"
    trap 'rm -rf "$work"' EXIT
    left=$(while read -r file; do
      if [[ -f $file || -L $file ]]; then echo "$file"; fi
    done <"$work/deb-files")
    [[ -z $left ]] || fail "left after apt-get remove: $left"
  fi
fi
step "passed"
