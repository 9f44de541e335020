#!/usr/bin/env bash
# Builds the Windows player and makes its release packages in build/windows/package:
# Kestrun-<version>-portable.zip and Kestrun-<version>-setup.exe (per-user installer).
# Lists only the packages this run made; fails, naming it, when a tool is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh

missing=()
for tool in cmake ninja python3 makensis x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "package.sh: missing tool(s): ${missing[*]}" >&2
  echo "package.sh: install them (scripts/bootstrap.sh as root installs all of them) and run again" >&2
  exit 1
fi

out="$root/build/windows/package"
# Packages of an earlier run must not pass for this run's.
rm -f "$out"/Kestrun-*-portable.zip "$out"/Kestrun-*-setup.exe
KESTRUN_TARGETS="kestrun_packages" bash scripts/build.sh windows

shopt -s nullglob
zips=("$out"/Kestrun-*-portable.zip)
setups=("$out"/Kestrun-*-setup.exe)
shopt -u nullglob
if [ ${#zips[@]} -ne 1 ] || [ ${#setups[@]} -ne 1 ]; then
  echo "package.sh: the build did not make both packages (ZIP: ${#zips[@]}, installer: ${#setups[@]})" >&2
  exit 1
fi
echo
for file in "${zips[0]}" "${setups[0]}"; do
  printf '%10d bytes  %s\n' "$(stat -c %s "$file")" "${file#"$root"/}"
done
echo
echo "ZIP contents:"
python3 -c 'import sys, zipfile
for info in zipfile.ZipFile(sys.argv[1]).infolist():
    print("%10d  %s" % (info.file_size, info.filename))' "${zips[0]}"
