# shellcheck shell=bash
# What a bench script needs to run on the end-to-end tests' private desktop
# (tests/e2e/lib/desktop.sh): the programs of the build folder BUILD (default: build beside the
# bench folder), its artifacts under BUILD/bench/artifacts/<script>, a UTF-8 locale.
#
#   source "$(dirname "${BASH_SOURCE[0]}")/lib/desktop.sh"

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${BUILD:-$ROOT/build}
export NORVALE=$BUILD/src/app/norvale
export E2E_SELECTION_OWNER=$BUILD/tests/e2e/tools/selection-owner
export E2E_CLIPBOARD_OWNER=$BUILD/tests/e2e/tools/clipboard-owner
export E2E_PASTE_TARGET=$BUILD/tests/e2e/tools/paste-target
export E2E_ARTIFACTS=${E2E_ARTIFACTS:-$BUILD/bench/artifacts/$(basename "${0%.sh}")}
export LANG=C.UTF-8 LC_ALL=C.UTF-8
source "$ROOT/tests/e2e/lib/desktop.sh"
e2e_require_programs NORVALE
