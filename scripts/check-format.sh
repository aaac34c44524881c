#!/usr/bin/env bash
# Checks that every C++ file of the project is in the house format (.clang-format).
# Fix a failure with: clang-format -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' | grep -E '^(src|tools|tests|bench|fuzz)/')
clang-format --dry-run -Werror "${files[@]}"
echo "check-format: ${#files[@]} files in the house format"
