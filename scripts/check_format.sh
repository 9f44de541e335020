#!/usr/bin/env bash
# Checks that C and C++ sources are formatted as .clang-format says, changing nothing.
#   check_format.sh [file...]
# Without files it checks every C/C++ file git tracks in this tree. Lists each file
# that formatting would change and fails when there is one. CLANG_FORMAT picks the
# program (default clang-format); the layout of its output differs between major
# versions, so the tree is checked with the version it was formatted with.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
clang_format=${CLANG_FORMAT:-clang-format}
style="file:$root/.clang-format"

if ! command -v "$clang_format" >/dev/null; then
  echo "check_format: $clang_format not found" >&2
  exit 2
fi

if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(cd "$root" && git ls-files -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' | sed "s|^|$root/|")
fi

offenders=0
for file in "${files[@]}"; do
  if ! "$clang_format" --style="$style" --dry-run --Werror "$file" >/dev/null 2>&1; then
    echo "not formatted: ${file#"$root"/}"
    offenders=$((offenders + 1))
  fi
done
if [ "$offenders" -gt 0 ]; then
  echo "$offenders of ${#files[@]} files need formatting ($("$clang_format" --version | head -n 1))."
  echo "Format them with: $clang_format --style=$style -i <files>"
  exit 1
fi
echo "${#files[@]} files formatted"
