#!/bin/bash
# Runs classes of tst_e2e inside one private desktop, each in a process of its own:
#   e2e_tst.sh [desktop_start options] -- CLASS...
set -euo pipefail
source "$E2E_LIB/desktop.sh"

options=()
while [[ $1 != -- ]]; do
    options+=("$1")
    shift
done
shift
e2e_require_programs E2E_TST
desktop_start "${options[@]}"
for class in "$@"; do
    NORVALE_TEST_CLASS=$class "$E2E_TST" -o "$E2E_ARTIFACTS/$class.txt,txt" -o -,txt
    # Inside the desktop nothing may skip: a skip would mean the desktop is broken.
    ! grep -q '^SKIP' "$E2E_ARTIFACTS/$class.txt" || e2e_fail "$class skipped tests"
done
