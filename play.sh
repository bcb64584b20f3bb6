#!/usr/bin/env bash
# Installs what is missing, builds the program and its data, and plays velmo 08.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" build
cd "$root/build"
exec ./velmo08
