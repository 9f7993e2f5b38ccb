#!/usr/bin/env bash
# Games ending their runs at the same moment, many times over: the race of
# the test suite (two and four games over one store), with hundreds of trials
# instead of a few. Prints the test's verdict; any lost best fails it.
# Usage: bench/save_races.sh [build tree, default build] [trials, default 300]
set -euo pipefail
tree=${1:-build}
export VIMBROT_SAVE_RACE_TRIALS=${2:-300}
exec "$tree/tests/vimbrot_tests" --gtest_filter='RunsEndingAtOnce.*:HighScoreStore.AKilledLockHolderLeavesNoLockBehind'
