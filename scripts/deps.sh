# Installs the Debian packages a build needs, only those that are missing.
# Usage: source scripts/deps.sh; install_packages pkg...

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

BUILD_PACKAGES=(build-essential cmake qt6-base-dev libgl-dev fonts-dejavu-core)
TEST_PACKAGES=(googletest libgtest-dev xvfb xauth x11-utils desktop-file-utils
               exfat-fuse exfatprogs fuse3 util-linux strace appstream dpkg-dev
               xdotool imagemagick man-db)
# The Windows build of the core and its tests, run under wine.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 googletest cmake)
FUZZ_PACKAGES=(clang libclang-rt-dev)
