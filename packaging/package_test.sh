#!/bin/sh
# Packaging test: builds the Debian package from the build tree, unpacks it
# into an empty folder and runs the command-line tool from there.
#   package_test.sh BUILD_DIR VERSION
# Exits 77 (skipped) when cpack or dpkg-deb is missing.
set -eu
build=$1
version=$2

for tool in cpack dpkg-deb; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/yig-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# gzip packs much faster than the release setting (xz); the contents are the same.
if ! (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" \
      -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip >"$work/cpack.log" 2>&1); then
  cat "$work/cpack.log"
  fail "cpack could not build the package"
fi
deb=$(ls "$work"/out/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack wrote no .deb"
echo "package: $(basename "$deb")"

# What the package declares.
control=$(dpkg-deb -f "$deb" Package Version Depends Recommends)
echo "$control"
echo "$control" | grep -q "^Package: yigsgyur$" || fail "package name"
echo "$control" | grep -q "^Version: $version" || fail "version is not $version"
for dep in fonts-tibetan-machine fonts-wqy-zenhei; do
  echo "$control" | grep "^Depends:" | grep -q "$dep" || fail "Depends lacks $dep"
done
echo "$control" | grep "^Recommends:" | grep -q "libreoffice-writer-nogui" || fail "Recommends lacks LibreOffice"

# Unpacked into a clean folder root, the tool runs from there.
root="$work/root"
mkdir "$root"
dpkg-deb -x "$deb" "$root"
[ -x "$root/usr/bin/yigsgyur" ] || fail "no usr/bin/yigsgyur in the package"
said=$("$root/usr/bin/yigsgyur" --version) || fail "yigsgyur --version failed"
[ "$said" = "yigsgyur $version" ] || fail "yigsgyur --version said '$said'"
ls "$root"/usr/share/man/man1/yigsgyur.1* >/dev/null 2>&1 || fail "no man page"
if [ -e "$root/usr/bin/yigsgyur-gui" ]; then
  echo "$control" | grep "^Depends:" | grep -q "libqt6widgets6" || fail "Depends lacks the Qt 6 widgets library"
  [ -f "$root/usr/share/applications/yigsgyur-gui.desktop" ] || fail "no desktop entry"
  [ -f "$root/usr/share/icons/hicolor/scalable/apps/yigsgyur.svg" ] || fail "no icon"
  grep -q "^Exec=yigsgyur-gui" "$root/usr/share/applications/yigsgyur-gui.desktop" || fail "desktop entry Exec"
fi

# The tables travel inside the program: a conversion works from the unpacked copy.
printf '\340\275\226\340\275\200\340\276\262\340\274\213\340\275\244\340\275\262\340\275\246\n' >"$work/in.txt"
(cd "$work" && "$root/usr/bin/yigsgyur" convert --from HIMA --to BZD in.txt -o out.rtf >/dev/null) ||
  fail "the unpacked yigsgyur could not convert"
grep -q "BZDBT" "$work/out.rtf" || fail "the converted document has no BZD font"
echo "the unpacked package runs: $said"
