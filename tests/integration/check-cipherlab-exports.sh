#!/usr/bin/env bash
# The terminal communication library exports its 16 functions and nothing else.
set -euo pipefail
lib=$1
exports=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
expected=$(printf '%s\n' CheckComm ClearDoc CloseComm Finish GetCurrentState GetDataCount GetError \
  GetRecordsCount GetSerialNumber GetTime OpenComm Ping PutRecord ReadData ReadRecord delimiter | sort)
if [ "$exports" != "$expected" ]; then
  echo "unexpected export list:"; diff <(echo "$expected") <(echo "$exports") || true; exit 1
fi
echo "exports: $(echo $exports)"
