# Sourced by the comparison scripts: works from the repository's root, builds the bench program
# TARGET in BUILD_DIR (default: build) and makes a scratch folder removed on exit.
# Sets $build, $rows (ZOND_BENCH_ROWS or DEFAULT_ROWS), $program and $work.
#   source bench/compare_prelude.sh TARGET DEFAULT_ROWS [BUILD_DIR]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${3:-build}
rows=${ZOND_BENCH_ROWS:-$2}

cmake --build "$build" --target "$1" >/dev/null
program="$build/bench/$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The smallest of the numbers on standard input.
best() { sort -g | head -1; }
