#!/usr/bin/env bash
# scripts/arm64-run 500 times, two at a time: none may hang, since a test
# path that hangs now and then is one that gets switched off. Skipped where
# the kernel gives no user namespace a binfmt_misc of its own.
#   arm64_run_test.sh ARM64_RUN
set -uo pipefail
status=0
"$1" true || status=$?
[ "$status" -ne 77 ] || exit 77
[ "$status" -eq 0 ] || { echo "FEHLER: arm64-run true endete mit $status" >&2; exit 1; }
failed=$(seq 500 | xargs -P 2 -I{} sh -c 'timeout 10 "$1" true || echo "Lauf {}: Status $?"' sh "$1" | head -5)
[ -z "$failed" ] || { echo "FEHLER: $failed" >&2; echo "0 passed, 1 failed"; exit 1; }
echo "1 passed, 0 failed"
