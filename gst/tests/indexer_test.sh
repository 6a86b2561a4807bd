#!/usr/bin/env bash
# GNOME's indexer reads recordings through the plugin: its extractor runs
# under a seccomp sandbox that forbids, among others, in-memory files. Each
# demo recording is extracted with the build's plugin and the recorder MIME
# types of data/, and must report the duration calendo-convert gives it, its
# file name as title and its codec.
# Usage: indexer_test.sh PLUGIN_DIR SAMPLES_DIR MIME_XML CALENDO_CONVERT
# Exit 77 (skipped) where tracker3 is not installed.
set -euo pipefail
plugin_dir=$1 samples=$2 mime_xml=$3 convert=$4

plugin=$plugin_dir/libgstcalendo.so
if nm -D "$plugin" | grep -c memfd_create >/dev/null; then
  echo "FAIL: $plugin uses memfd_create, which the indexer's sandbox kills" >&2
  exit 1
fi
command -v tracker3 >/dev/null && command -v dbus-run-session >/dev/null || {
  echo "tracker3 or dbus-run-session missing: skipped"
  exit 77
}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/calendo-indexer.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/share/mime/packages" "$scratch/home"
cp "$mime_xml" "$scratch/share/mime/packages/calendo.xml"
update-mime-database "$scratch/share/mime" >/dev/null 2>&1
export XDG_DATA_HOME=$scratch/share HOME=$scratch/home
export XDG_CACHE_HOME=$scratch/cache XDG_CONFIG_HOME=$scratch/config
export GST_PLUGIN_PATH=$plugin_dir GST_REGISTRY=$scratch/registry.bin

failed=0
for name in memo-sp.vqr memo-lp.vqr memo.vqm; do
  cp "$samples/$name" "$scratch/$name"
  expected=$("$convert" --json --info "$scratch/$name" |
    sed -n 's/.*"duration_s": \([0-9]*\).*/\1/p')
  extracted=$(timeout 120 dbus-run-session -- tracker3 extract "$scratch/$name" 2>&1 || true)
  duration=$(printf '%s\n' "$extracted" | sed -n 's/.*nfo:duration \([0-9]*\).*/\1/p')
  title=$(printf '%s\n' "$extracted" | sed -n 's/.*nie:title "\([^"]*\)".*/\1/p')
  codec=$(printf '%s\n' "$extracted" | sed -n 's/.*nfo:codec "\([^"]*\)".*/\1/p')
  if [ -z "$duration" ] || [ "$duration" != "$expected" ] || [ "$title" != "$name" ] ||
     [ "$codec" != "G.726 ADPCM" ]; then
    echo "FAIL: $name: nfo:duration '${duration}' (expected $expected s)," \
      "nie:title '$title', nfo:codec '$codec'" >&2
    printf '%s\n' "$extracted" | grep -v '^@prefix' >&2
    failed=1
  else
    echo "$name: nfo:duration $duration s, nie:title $title"
  fi
done
exit $failed
