#!/usr/bin/env bash
# Runs scripts/check_format.sh on made-up files: a formatted file passes; a file
# with a mis-indented statement, and one with <windows.h> first in its include
# block, fail or pass as the project's style says, and the failure names the file.
set -u
here=$(cd "$(dirname "$0")" && pwd)
checker="$here/../check_format.sh"
command -v "${CLANG_FORMAT:-clang-format}" >/dev/null || { echo "SKIP: no clang-format"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cat > "$work/good.cpp" <<'CPP'
#include <windows.h>
#include <commctrl.h>

namespace {

void Close(HWND window) {
  if (window != nullptr) DestroyWindow(window);
}

}  // namespace
CPP
sed 's/^  if (window/      if (window/' "$work/good.cpp" > "$work/indented.cpp"

out=$(bash "$checker" "$work/good.cpp") || fail "a formatted file (with <windows.h> before <commctrl.h>) was refused: $out"
out=$(bash "$checker" "$work/good.cpp" "$work/indented.cpp") && fail "a mis-indented statement passed"
grep -q "indented.cpp" <<<"$out" || fail "the offender is not named: $out"
grep -q "good.cpp" <<<"$out" && fail "a formatted file is named as an offender: $out"
echo "ok"
