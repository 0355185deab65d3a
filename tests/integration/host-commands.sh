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
echo "host commands ok"
