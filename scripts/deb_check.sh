#!/usr/bin/env bash
# Installs a built package into a fresh Debian system, as on a clean machine of this kind, and
# uses the tool and the Python module there.
# Usage: scripts/deb_check.sh ombrak10_VERSION_amd64.deb
# The base system (debootstrap, minbase, this machine's Debian release) is made once under
# build-deb/base and copied for every check, so each check starts from the same clean system.
set -euo pipefail
deb=$(realpath "$1")
here=$(cd "$(dirname "$0")/.." && pwd)
base=$here/build-deb/base
release=$(. /etc/os-release && echo "$VERSION_CODENAME")
sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"

if [ ! -x "$base/usr/bin/apt-get" ]; then
  $sudo rm -rf "$base.tmp"
  echo "deb-check: making a $release base system (once)" >&2
  $sudo debootstrap --variant=minbase "$release" "$base.tmp" http://deb.debian.org/debian >/dev/null
  $sudo mv "$base.tmp" "$base"
fi

root=$(mktemp -d "$here/build-deb/check.XXXXXX")
cleanup() {
  $sudo umount "$root/dev/pts" 2>/dev/null || true
  $sudo umount "$root/proc" 2>/dev/null || true
  $sudo rm -rf "$root"
}
trap cleanup EXIT
$sudo cp -a "$base/." "$root/"
$sudo cp /etc/resolv.conf "$root/etc/resolv.conf"
$sudo cp "$deb" "$root/tmp/"
$sudo mount -t proc proc "$root/proc"
$sudo mkdir -p "$root/dev/pts"
$sudo mount -t devpts devpts "$root/dev/pts" 2>/dev/null || true  # apt logs to a terminal
in_root() { $sudo chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }

in_root sh -c 'test ! -e /usr/bin/python3 && echo "deb-check: the base system has no python3"'
in_root sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ./tmp/'"$(basename "$deb")"' >/dev/null'
in_root sh -c 'dpkg -s ombrak10 | grep -E "^(Status|Version|Depends):"'
in_root sh -c 'command -v ombrak10 && ombrak10 demo >/tmp/demo.txt && head -3 /tmp/demo.txt'
in_root sh -c 'test "$(printf attack | ombrak10 encrypt --cipher des --key k --base64 | ombrak10 decrypt --cipher des --key k --base64)" = attack'
in_root python3 -c '
import ombrak10
print("python:", ombrak10.__file__)
b = ombrak10.create("Ombrak10.clsKvVeskEncDecBase64A")
assert b.Encode64("Man") == "TWFu"
r = ombrak10.Ref(30)
assert ombrak10.create("Ombrak10.clsKvVeskClassicCiphersA").CaesarShift("Hello", r) == "Lipps" and r.value == 4
print("python: %d classes" % len(ombrak10.classes()))'
in_root sh -c 'ldconfig -p | grep -q libombrak10.so.1 && echo "ldconfig: libombrak10.so.1 registered"'
echo "deb-check: $(basename "$deb") installs and works on a fresh $release system"
