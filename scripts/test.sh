#!/usr/bin/env bash
# Installs what the tests need, builds, and runs the whole suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
bash scripts/build.sh
cd build
ctest --output-on-failure --parallel 2
