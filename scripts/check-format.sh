#!/usr/bin/env bash
# Checks that every C++ file under version control is formatted with the
# repository's .clang-format; lists the files that are not and fails. To
# format one: clang-format -i path/to/file.cpp
set -euo pipefail
cd "$(dirname "$0")/.."
KESTRA_WITH_FORMAT=1 scripts/install-deps.sh
clang-format --version
mapfile -d '' files < <(git ls-files -z '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${files[@]}"; then
    echo "Not formatted (clang-format -i FILE):" >&2
    for file in "${files[@]}"; do
        clang-format --dry-run --Werror "$file" 2>/dev/null || echo "  $file" >&2
    done
    exit 1
fi
echo "format: all ${#files[@]} C++ files are formatted"
