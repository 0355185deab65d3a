#!/usr/bin/env bash
# The driver library exports InitDll and GetVersionExists and nothing else
# of its own; it carries its version record.
set -euo pipefail
lib=$1
exports=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
expected=$'GetVersionExists\nInitDll'
if [ "$exports" != "$expected" ]; then
  echo "unexpected export list:"; echo "$exports"; exit 1
fi
readelf -p .tolvane_version "$lib" | grep -q 'FileVersion=9.2.0.2' || { echo "no version record"; exit 1; }
echo "exports: $(echo $exports)"
