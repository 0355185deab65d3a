#!/usr/bin/env bash
# The stand-in host's commands on an empty prefix.
set -uo pipefail
tolvane=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

[ "$("$tolvane" --prefix "$prefix" version)" = 200 ] || fail "version"
[ "$("$tolvane" --prefix "$prefix" name)" = Cipher ] || fail "name"
"$tolvane" --version | grep -q '9.2.0.2 - Драйвер поддержки ТСД Cipher' || fail "--version"

err=$("$tolvane" --prefix "$prefix" load 2>&1 >/dev/null); status=$?
[ $status -eq 1 ] || fail "load exit status $status"
[ "$err" = "Номер СОМ-порта для Cipher не задан!" ] || fail "load message: $err"
# init prepares the prefix, again and again, and registers nothing.
for run in 1 2; do
  "$tolvane" --prefix "$prefix" init >/dev/null || fail "init run $run"
done
[ -x "$prefix/drive_c/windows/system32/REGSVR32.EXE" ] || fail "init: REGSVR32.EXE"
cmp -s "$prefix/drive_c/TORV/CitySoftWarehouseDos_OLE.dll" "$(dirname "$tolvane")/libCitySoftWarehouseDos_OLE.so" ||
  fail "init: the server file"
[ -d "$prefix/drive_c/TORV/TEMP" ] || fail "init: C:\\TORV\\TEMP"
[ ! -e "$prefix/drive_c/windows/registry/classes.ini" ] || fail "init registered the server"
[ -z "$(ls "$prefix/drive_c/TORV" | grep new-)" ] || fail "init left a temporary file"
echo "host commands ok"
