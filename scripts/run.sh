#!/usr/bin/env bash
# Builds Korvel when needed and starts it as the calling user, with the given arguments. The
# packages come from the one-time set-up, scripts/setup.sh (as root), which this only tells about.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! missing=$(./scripts/setup.sh --check); then
  echo "run.sh: packages missing: $missing" >&2
  echo "run.sh: install them once with  sudo ./scripts/setup.sh  (or, as root, ./scripts/setup.sh)" >&2
  exit 1
fi
# A build folder made by root (as run.sh once did) cannot be built into by a user.
if [ -e build ] && [ ! -w build ]; then
  echo "run.sh: build/ belongs to $(stat -c %U build); remove it first:  sudo rm -rf build" >&2
  exit 1
fi
./scripts/build.sh
exec ./build/korvel "$@"
