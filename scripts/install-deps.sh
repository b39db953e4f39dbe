#!/usr/bin/env bash
# Installs every Debian package the build, the demo and the tests need.
#
# Another apt or dpkg (an unattended upgrade, a second shell) may hold the
# package locks: this waits for them, up to ten minutes, instead of failing at
# once. apt-get waits for dpkg's lock itself (DPkg::Lock::Timeout); for the
# package lists' lock it does not, so the update is tried again while that
# lock is what stops it.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
LOCK_WAIT=600  # seconds
apt_get() { $SUDO env LC_ALL=C apt-get -o DPkg::Lock::Timeout="$LOCK_WAIT" "$@"; }

deadline=$((SECONDS + LOCK_WAIT))
log=$(mktemp)
trap 'rm -f "$log"' EXIT
until apt_get update 2>"$log"; do
  if ! grep -q 'Could not get lock' "$log" || ((SECONDS >= deadline)); then
    cat "$log" >&2
    exit 1
  fi
  echo "install-deps.sh: the package lists are locked by another apt; waiting" >&2
  sleep 5
done
cat "$log" >&2

apt_get install -y --no-install-recommends \
  build-essential cmake g++ pkg-config python3 \
  clang libclang-rt-14-dev \
  libgtest-dev libgmock-dev \
  qt6-base-dev \
  unixodbc unixodbc-dev odbc-postgresql postgresql \
  libjpeg62-turbo-dev libxml2-dev libpugixml-dev \
  fonts-wqy-microhei fonts-arphic-uming qt6-translations-l10n \
  xvfb xauth openbox x11-utils xdotool libx11-dev \
  poppler-utils python3-xlrd python3-olefile libreoffice-calc-nogui
