# Sourced by the setup scripts: installs what is missing, configures once and
# builds incrementally, so that a second run does no needless work.

calendo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs the packages of scripts/packages.txt (and any given as arguments)
# that are not installed yet, as root or through sudo.
calendo_install_packages() {
  local wanted missing=()
  wanted=$(grep -vE '^\s*(#|$)' "$calendo_root/scripts/packages.txt")
  for pkg in $wanted "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing Debian packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures a build folder. A new one gets the user's language
# (calendo_user_lang) and the options given, which win over it. An existing
# one is configured again when options are given or CALENDO_LANG is set, so
# that an option never goes unheard; without either it is left as it is.
# Usage: calendo_configure BUILD_DIR [extra cmake options...]
calendo_configure() {
  local build_dir=$1
  shift
  if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$calendo_root" -B "$build_dir" -G Ninja -DCALENDO_LANG="$(calendo_user_lang)" "$@"
  elif [ $# -gt 0 ] || [ -n "${CALENDO_LANG:-}" ] || [ ! -f "$build_dir/build.ninja" ]; then
    local language=()
    [ -n "${CALENDO_LANG:-}" ] && language=(-DCALENDO_LANG="$CALENDO_LANG")
    cmake -S "$calendo_root" -B "$build_dir" "${language[@]}" "$@" >/dev/null
  fi
}

# Configures (calendo_configure) and builds everything.
# Usage: calendo_build BUILD_DIR [extra cmake options...]
calendo_build() {
  calendo_configure "$@"
  cmake --build "$1"
}

# The language of a new build's player: CALENDO_LANG when set, else J when the
# user's messages locale (the first set of LC_ALL, LC_MESSAGES, LANG) is
# Japanese, else E.
calendo_user_lang() {
  if [ -n "${CALENDO_LANG:-}" ]; then
    echo "$CALENDO_LANG"
    return
  fi
  local locale=${LC_ALL:-${LC_MESSAGES:-${LANG:-}}}
  case $locale in
    ja*) echo J ;;
    *) echo E ;;
  esac
}
