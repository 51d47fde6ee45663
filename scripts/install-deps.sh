#!/usr/bin/env bash
# Installs the Debian packages Folim needs to build, test, benchmark and fuzz.
# Idempotent and quiet: only missing packages are installed.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache
  zlib1g-dev libsqlite3-dev libexiv2-dev libpq-dev libfaiss-dev
  postgresql postgresql-common
  libgtest-dev libgmock-dev googletest
  libbenchmark-dev libopenblas-dev
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins qt6-qpa-plugins libgl-dev
  qt6-tools-dev qt6-l10n-tools
  clang libclang-rt-dev valgrind
  xvfb xauth fonts-ipafont-gothic
  desktop-file-utils appstream shared-mime-info libglib2.0-bin help2man dpkg-dev python3-pyqt6
  python3 gnuplot-nox libjpeg-turbo-progs webp imagemagick
  mate-backgrounds time lintian
  python3-numpy python3-pil python3-opencv findimagedupes lomiri-wallpapers opencv-doc python3-skimage
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then sudo="sudo"; else
    echo "install-deps: need root to install: ${missing[*]}" >&2; exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
