#!/usr/bin/env bash
# Installs what the 32-bit ARM (armhf) build and its emulated tests need, on top of
# ./scripts/setup.sh: Debian's cross toolchain, the armhf development packages of every library
# the daemon and its tests link (through Debian's multiarch), and qemu-user to run the ARM
# binaries on this machine. Run as root on Debian 12; safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

packages=(
  # cross compiler and the emulator that runs its binaries
  crossbuild-essential-armhf qemu-user
  # the libraries the daemon, the simulated camera and the tests link, built for armhf
  libcivetweb-dev:armhf libprotobuf-dev:armhf libprotobuf-c-dev:armhf libexif-dev:armhf
  libssl-dev:armhf libgtest-dev:armhf libgmock-dev:armhf
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup-armhf.sh: run as root to install: ${missing[*]}" >&2
  exit 1
fi
if ! dpkg --print-foreign-architectures | grep -qx armhf; then
  dpkg --add-architecture armhf
fi
export DEBIAN_FRONTEND=noninteractive
# The armhf lists are new on a machine that just added the architecture.
./scripts/apt-update.sh

# Libraries installed for both architectures (Multi-Arch: same) must have one version. When the
# lists of the two architectures differ (a security update built for one first, or one list
# missing), apt will not settle that by itself. So for every such library the armhf packages
# pull in that is installed natively too, both are asked for at the version the armhf list
# offers.
native=$(dpkg --print-architecture)
foreign=()
for p in "${missing[@]}"; do [[ $p == *:armhf ]] && foreign+=("$p"); done
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
            --no-replaces --no-enhances "${foreign[@]}" 2>/dev/null |
          sed -n 's/^\([a-z0-9][^ <]*\):armhf$/\1/p' | sort -u)
pairs=()
for p in $closure; do
  read -r have multiarch < <(dpkg-query -W -f='${Version} ${Multi-Arch}\n' "$p:$native" \
                              2>/dev/null || echo "- -")
  [ "$multiarch" = same ] || continue
  want=$(apt-cache policy "$p:armhf" | awk '/Candidate:/ {print $2}')
  [ -n "$want" ] && [ "$want" != "(none)" ] || continue
  if [ "$want" = "$have" ]; then
    pairs+=("$p:armhf=$want")
  elif apt-cache madison "$p:$native" | awk -v v="$want" '$3 == v {found = 1} END {exit !found}'; then
    echo "setup-armhf.sh: $p:$native $have -> $want, the version built for armhf"
    pairs+=("$p:$native=$want" "$p:armhf=$want")
  fi
done
apt-get install -y --no-install-recommends --allow-downgrades "${pairs[@]}" "${missing[@]}"
