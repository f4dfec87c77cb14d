#!/usr/bin/env bash
# Installs the Debian packages a target needs, only those that are missing.
# Usage: scripts/deps.sh test|bench|fuzz|deb
set -euo pipefail
case "${1:-test}" in
  test)  pkgs=(g++ gcc cmake ninja-build make pkg-config libgtest-dev libgmock-dev libcli11-dev nlohmann-json3-dev nettle-dev openssl python3 python3-dev pybind11-dev python3-pytest) ;;
  deb)   pkgs=(dpkg-dev debootstrap) ;;
  bench) pkgs=(libbenchmark-dev libssl-dev libcrypto++-dev libbotan-2-dev nettle-dev zlib1g-dev openssl hyperfine time gzip zstd) ;;
  fuzz)  pkgs=(clang libclang-rt-14-dev) ;;
  *) echo "usage: $0 test|bench|fuzz|deb" >&2; exit 2 ;;
esac
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}" >&2
sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
