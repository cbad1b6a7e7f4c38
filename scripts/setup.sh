#!/usr/bin/env bash
# One-time set-up: installs the Debian 12 packages Korvel needs to build, test and run
# (packages.txt). Installing needs root: run it as root or with sudo; started as another user
# it asks sudo itself. Nothing is fetched when every package is installed already.
#   --check   only print the packages still missing (any user); status 1 when there are some
set -euo pipefail
cd "$(dirname "$0")"

missing_packages() {
  local wanted installed
  wanted=$(grep -v '^#' packages.txt | tr -s ' \t' '\n' | grep -v '^$' | sort -u)
  # One query for all; a package dpkg has never heard of is simply absent from the answer.
  installed=$(dpkg-query -W -f='${Package} ${Status}\n' $wanted 2>/dev/null |
    awk '$NF == "installed" { print $1 }' | sort -u)
  comm -23 <(echo "$wanted") <(echo "$installed")
}

if ! command -v dpkg-query >/dev/null; then
  echo "setup.sh: no dpkg-query: not Debian; install the packages of scripts/packages.txt by hand" >&2
  [ "${1:-}" = --check ] && exit 0
  exit 1
fi
missing=$(missing_packages)
if [ "${1:-}" = --check ]; then
  [ -z "$missing" ] || { echo $missing; exit 1; }
  exit 0
fi
if [ -z "$missing" ]; then
  echo "setup.sh: every package is installed"
  exit 0
fi
if [ "$(id -u)" != 0 ]; then
  if command -v sudo >/dev/null; then
    echo "setup.sh: installing packages needs root; asking sudo" >&2
    exec sudo "$PWD/setup.sh" "$@"
  fi
  echo "setup.sh: installing packages needs root: run  su -c $PWD/setup.sh" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends $missing
