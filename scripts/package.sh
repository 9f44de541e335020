#!/usr/bin/env bash
# Builds the Windows player and makes its release packages in build/windows/package:
# Kestrun-<version>-portable.zip and Kestrun-<version>-setup.exe (per-user installer).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh
KESTRUN_TARGETS="kestrun_packages" bash scripts/build.sh windows
out="$root/build/windows/package"
echo
for file in "$out"/*.zip "$out"/*-setup.exe; do
  printf '%10d bytes  %s\n' "$(stat -c %s "$file")" "${file#"$root"/}"
done
echo
echo "ZIP contents:"
python3 -c 'import sys, zipfile
for info in zipfile.ZipFile(sys.argv[1]).infolist():
    print("%10d  %s" % (info.file_size, info.filename))' "$out"/*-portable.zip
