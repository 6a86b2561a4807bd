#!/usr/bin/env bash
# Installs the desktop files into a scratch prefix and checks that the
# desktop's own tools accept the entry and recognise recorder files by
# extension (in either case) and by their magic bytes, and that AppStream
# accepts the metainfo files.
# Usage: desktop_integration_test.sh BUILD_DIR SOURCE_DIR DATADIR
# Exits 77 (skipped) when a tool is missing.
set -euo pipefail
build=$1 source=$2 datadir=$3

for tool in desktop-file-validate update-desktop-database xdg-mime update-mime-database mimetype \
            appstreamcli; do
  # Outside a desktop session xdg-mime asks `mimetype`; without it, it falls
  # back to `file`, which does not read the shared MIME database.
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (see scripts/packages.txt)"
    exit 77
  fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
share=$prefix/$datadir
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The scratch prefix is the whole desktop: no session, no user settings.
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID \
      MATE_DESKTOP_SESSION_ID XDG_SESSION_DESKTOP
export XDG_DATA_HOME=$share XDG_DATA_DIRS=$share:/usr/local/share:/usr/share
export XDG_CONFIG_HOME=$scratch/config XDG_CONFIG_DIRS=$scratch/config

desktop-file-validate "$source/calendo.desktop" || fail "the source entry does not validate"
cmake --install "$build" --prefix "$prefix" --component desktop >/dev/null
for installed in applications/calendo.desktop mime/packages/calendo.xml \
                 icons/hicolor/scalable/apps/calendo.svg; do
  [ -f "$share/$installed" ] || fail "$installed was not installed"
done
desktop-file-validate "$share/applications/calendo.desktop" || fail "the installed entry does not validate"
update-mime-database "$share/mime" || fail "update-mime-database refused the types"
[ -f "$share/metainfo/invalid.calendo.calendo.metainfo.xml" ] || fail "the AppStream data was not installed"
appstreamcli validate --pedantic --no-net "$source"/*.metainfo.xml >"$scratch/appstream.log" ||
  { cat "$scratch/appstream.log"; fail "AppStream refuses the metainfo files"; }
update-desktop-database "$share/applications"

files=$scratch/files
mkdir -p "$files"
# A vqr header starts "OIFF", four size bytes, "WAVE"; a vqm file "VQ_VOICE".
printf 'OIFF\x10\x02\x00\x00WAVEfmt \x00\x00\x00\x00' > "$files/first.vqr"
cp "$files/first.vqr" "$files/SHOUTED.VQR"
cp "$files/first.vqr" "$files/no-extension-vqr"
printf 'VQ_VOICE\x01\x00\x00\x00\x00\x00\x00\x00' > "$files/second.vqm"
cp "$files/second.vqm" "$files/Mixed.VqM"
cp "$files/second.vqm" "$files/no-extension-vqm"
printf 'OIFF\x10\x02\x00\x00RIFFxxxx' > "$files/not-a-recording"


expect_type() {
  local got
  got=$(xdg-mime query filetype "$files/$1" 2>/dev/null || true)
  [ "$got" = "$2" ] || fail "$1: expected $2, got '${got}'"
}
expect_type first.vqr audio/x-vqr
expect_type SHOUTED.VQR audio/x-vqr
expect_type no-extension-vqr audio/x-vqr
expect_type second.vqm audio/x-vqm
expect_type Mixed.VqM audio/x-vqm
expect_type no-extension-vqm audio/x-vqm
got=$(xdg-mime query filetype "$files/not-a-recording" 2>/dev/null || true)
case $got in audio/x-vq*) fail "not-a-recording taken for $got" ;; esac

for type in audio/x-vqr audio/x-vqm; do
  got=$(xdg-mime query default "$type" 2>/dev/null || true)
  [ "$got" = "calendo.desktop" ] || fail "$type opens with '${got}', not calendo.desktop"
done

[ "$failures" -eq 0 ] || exit 1
echo "desktop integration: all checks passed"
