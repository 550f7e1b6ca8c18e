#!/usr/bin/env bash
# Installs, with apt-get, whatever the build, the program and its tests need and this machine
# lacks. Runs apt-get directly as root, otherwise through sudo.
set -euo pipefail

packages=(
    g++ cmake make pkg-config
    qt6-base-dev libgl-dev
    libimage-exiftool-perl
    fonts-liberation
    xvfb xauth xclip
    libreoffice-calc libreoffice-dev
    desktop-file-utils appstream dpkg-dev python3
    libqt6sql6-sqlite libzstd-dev bc clang libclang-rt-14-dev python3-xlib man-db lintian
    bash-completion zsh fish clang-format time libicu-dev
)
if [ "${TAGSIFTER_SETUP_EXTRA:-}" != "" ]; then
    read -r -a extra <<<"$TAGSIFTER_SETUP_EXTRA"
    packages+=("${extra[@]}")
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    apt_get=(apt-get)
else
    apt_get=(sudo apt-get)
fi
export DEBIAN_FRONTEND=noninteractive
"${apt_get[@]}" update -qq || true
"${apt_get[@]}" install -y --no-install-recommends "${missing[@]}"
