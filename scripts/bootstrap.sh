#!/usr/bin/env bash
# Installs, from Debian's packages, everything the build and the tests need.
# Safe to run again: it asks apt only for what is missing, so a ready machine
# returns in about a second.
set -euo pipefail

packages=(
  cmake make ninja-build pkg-config python3
  g++ clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
  wine64 libwine
  # The 32-bit Equalizer.ax is tested under Wine's 32-bit loader, with the 32-bit
  # media libraries its graphs use.
  wine32:i386 gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386
  xvfb xauth x11-utils
  locales
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
  gstreamer1.0-plugins-bad gstreamer1.0-libav
  fonts-noto-cjk
  googletest
  nsis
)
# Tools used only by cross-check tests and benchmarks (reading back what we write).
if [ "${KESTRUN_MINIMAL:-0}" != 1 ]; then
  packages+=(python3-mutagen id3v2 ffmpeg sox libtag1-dev imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Japanese locale: the ANSI code page under Wine follows LANG.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "bootstrap: generating ja_JP.UTF-8"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen >/dev/null
fi

# mingw's g++ must use the posix thread model (std::thread, std::mutex).
if [ "$(update-alternatives --query x86_64-w64-mingw32-g++ 2>/dev/null | awk '/^Value:/{print $2}')" != /usr/bin/x86_64-w64-mingw32-g++-posix ]; then
  update-alternatives --set x86_64-w64-mingw32-g++ /usr/bin/x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || true
  update-alternatives --set x86_64-w64-mingw32-gcc /usr/bin/x86_64-w64-mingw32-gcc-posix >/dev/null 2>&1 || true
fi
