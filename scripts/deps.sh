#!/usr/bin/env bash
# Installs the Debian packages that building and testing sceneplayer needs, when missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  libsdl2-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-liberation
  libjpeg62-turbo-dev libpng-dev libdeflate-dev libmpg123-dev
  libturbojpeg0-dev libgif-dev libwebp-dev libtiff-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  libjpeg-turbo-progs imagemagick xvfb xauth
  libglib2.0-dev libglib2.0-dev-bin libx11-dev libxtst-dev libxrandr-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "sceneplayer: installing ${missing[*]}" >&2
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
