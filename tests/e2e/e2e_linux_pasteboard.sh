#!/bin/bash
# The Linux pasteboard backend against a real X server: tst_e2e's X classes run inside a
# private Xvfb, driving xclip and clipboard-owner as foreign clipboard owners.
set -euo pipefail
source "${E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"

e2e_require_programs E2E_TST E2E_CLIPBOARD_OWNER
desktop_start
e2e_require_tools xclip

NORVALE_TEST_CLASS=LinuxPasteboardTest "$E2E_TST" -o "$E2E_ARTIFACTS/tst_e2e.txt,txt" -o -,txt "$@"
