#!/usr/bin/env bash
# Installs every Debian 12 package Korvel needs to build, test and run (as root).
set -euo pipefail
cd "$(dirname "$0")"
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends $(grep -v '^#' packages.txt)
