#!/usr/bin/env bash
# Fails when a C++ file of the tree strays from the layout in .clang-format,
# naming each file and line; `clang-format-14 -i FILE` puts it right.
set -euo pipefail
cd "$(dirname "$0")/.."
ORVANTOR_FORMAT_CHECK=ON tools/setup-debian.sh
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run --Werror
echo "every C++ file keeps the layout of .clang-format"
