#!/usr/bin/env bash
# Fails, naming the files, when a tracked C++ file is not as clang-format
# (.clang-format) would write it. Fix with: clang-format -i <file>...
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
unformatted=()
while IFS= read -r -d '' file; do
  clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files -z -- '*.cpp' '*.h')
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "format: not formatted with clang-format:" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "format: every C++ file is formatted"
