#!/usr/bin/env bash
# tolvane config: section [Tolvane] of Trade.ini from a shell, UTF-8 on the
# console and Windows-1251 in the file; the host's own sections stay as
# they are, byte for byte.
set -uo pipefail
tolvane=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
ini=$prefix/drive_c/windows/Trade.ini
t() { "$tolvane" --prefix "$prefix" config "$@"; }

# A fresh prefix: the file and its folder are created.
t set ComPort 3 || fail "set in a fresh prefix"
[ "$(t get ComPort)" = 3 ] || fail "get ComPort"
[ "$(cat "$ini")" = $'[Tolvane]\r\nComPort=3\r' ] || fail "fresh file: $(od -c "$ini")"

# The host's sections, comments, spacing and Windows-1251 text survive.
# "Магазин" and "Касса №1" in Windows-1251:
shop=$'\xcc\xe0\xe3\xe0\xe7\xe8\xed'
till=$'\xca\xe0\xf1\xf1\xe0 \xb9\x31'
printf '; host settings\r\n[Shop]\r\nName = %s\r\n\r\n[Tolvane]\r\nBaudRate=4\r\n[Fuel]\r\nTank1=95' "$shop" >"$ini"
t set comport 3 || fail "set into the host's file"
printf '; host settings\r\n[Shop]\r\nName = %s\r\n\r\n[Tolvane]\r\nBaudRate=4\r\ncomport=3\r\n[Fuel]\r\nTank1=95\r\n' "$shop" >"$prefix/expected"
cmp "$ini" "$prefix/expected" || fail "file after set: $(od -c "$ini")"
t set ComPort 5 || fail "overwrite"
# The key keeps its place and the file's spelling.
grep -q $'^comport=5\r$' "$ini" && [ "$(grep -ci '^comport=' "$ini")" = 1 ] || fail "overwrite: $(cat "$ini")"

t set Name "Касса №1" || fail "set Cyrillic"
grep -q "^Name=$till"$'\r$' "$ini" || fail "Cyrillic is stored in Windows-1251: $(od -c "$ini")"
[ "$(t get name)" = "Касса №1" ] || fail "Cyrillic reads back in UTF-8"

t set Note $'line 1\nline 2' || fail "set two lines"
[ "$(t get Note)" = $'line 1\nline 2' ] || fail "two lines read back"
[ "$(t list)" = $'BaudRate=4\ncomport=5\nName=Касса №1\nNote=line 1\\nline 2' ] || fail "list: $(t list)"

# Bad input: a clear answer, exit status 1, the file unchanged.
cp "$ini" "$prefix/before"
check_refused() {
  local expected=$1; shift
  local err status
  err=$(t "$@" 2>&1 >/dev/null); status=$?
  [ $status -eq 1 ] || fail "$* exit status $status"
  [[ "$err" == *"$expected"* ]] || fail "$*: $err"
}
check_refused "ключа Missing нет в секции [Tolvane]" get Missing
check_refused "значение ключа ComPort должно быть целым числом" set ComPort three
check_refused "TSafeIniFile.WriteString -> Не указано название переменной" set "" 1
check_refused "TSafeIniFile.WriteString -> Недопустимое название переменной" set "a=b" 1
check_refused "вне кодовой страницы Windows-1251" set Note "✓"
cmp "$ini" "$prefix/before" || fail "refused input changed the file"
echo "config commands ok"
