#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages the build needs that are not installed yet.
# Does nothing when everything is there.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang make pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev googletest
  libbenchmark-dev
  libclang-rt-14-dev
  valgrind
  ccache lld
  dpkg-dev file # make package: dpkg-shlibdeps finds the package's dependencies
  fonts-wqy-microhei # a small font with Chinese glyphs, for the screens' Chinese texts
  libmosquitto-dev qt6-serialbus-dev # live data: MQTT and Modbus TCP
  mosquitto mosquitto-clients python3-pymodbus openssl # the live tests' broker, clients and peer
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "installing: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
