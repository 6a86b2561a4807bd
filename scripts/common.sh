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

# Configures (only when the build folder is new) and builds.
# Usage: calendo_build BUILD_DIR [extra cmake options...]
calendo_build() {
  local build_dir=$1
  shift
  if [ ! -f "$build_dir/build.ninja" ]; then
    cmake -S "$calendo_root" -B "$build_dir" -G Ninja "$@"
  fi
  cmake --build "$build_dir"
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
