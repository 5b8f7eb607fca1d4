#!/usr/bin/env bash
# Lists product functions longer than a limit (default 100 lines), measured
# by clang-tidy's readability-function-size check over the build's compile
# database; tests and benchmarks are left out. Exit 1 when any is found.
#
# Usage: scripts/long-functions.sh [BUILD_DIR] [LINES]
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
limit=${2:-100}
cd "$root" || exit 2
if [ ! -f "$build/compile_commands.json" ]; then
  echo "long-functions: no $build/compile_commands.json (configure first)" >&2
  exit 2
fi
files=$(git ls-files '*.cpp' | grep -v -E '^(tests|bench|fuzz)/')
config="{CheckOptions: [{key: readability-function-size.LineThreshold, value: $limit}]}"
# shellcheck disable=SC2086
out=$(clang-tidy -p "$build" --quiet -checks='-*,readability-function-size' \
        -config="$config" $files 2>/dev/null | grep 'warning: function' || true)
if [ -n "$out" ]; then
  echo "$out"
  echo "long-functions: $(wc -l <<<"$out") function(s) over $limit lines"
  exit 1
fi
echo "long-functions: no product function over $limit lines"
