#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need, when any
# of them is missing. Safe to run again; asks apt only when something is missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qtbase5-dev libqt5sql5-sqlite libqt5websockets5-dev
  libssl-dev libsqlite3-dev libspdlog-dev libcurl4-openssl-dev
  libburn-dev libisofs-dev librabbitmq-dev
  libgtest-dev libbenchmark-dev
  rabbitmq-server amqp-tools python3 python3-websockets
  binutils xorriso openssl fonts-wqy-microhei e2fsprogs util-linux
  clang-14 libclang-rt-14-dev
)

missing=()
for pkg in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
