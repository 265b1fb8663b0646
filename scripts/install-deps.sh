#!/bin/sh
# Installs what building, running and testing nodeweld need on Debian 12,
# using apt-get only for packages that are missing.
set -e
PKGS="build-essential cmake g++ make perl libgtest-dev libgmock-dev qt6-base-dev gdal-bin gdal-data xvfb xauth clang libclang-rt-14-dev"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "installing:$missing"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
