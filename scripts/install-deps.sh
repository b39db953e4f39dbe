#!/usr/bin/env bash
# Installs every Debian package the build, the demo and the tests need.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
  build-essential cmake g++ pkg-config python3 \
  clang libclang-rt-14-dev \
  libgtest-dev libgmock-dev \
  qt6-base-dev libqt6sql6-odbc \
  unixodbc unixodbc-dev odbc-postgresql postgresql \
  libjpeg62-turbo-dev libxml2-dev libpugixml-dev \
  fonts-wqy-microhei fonts-arphic-uming qt6-translations-l10n \
  xvfb xauth openbox x11-utils xdotool libx11-dev \
  poppler-utils python3-xlrd python3-olefile libreoffice-calc-nogui
