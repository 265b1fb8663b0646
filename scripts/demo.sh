#!/bin/sh
# The main job on a built-in sample. Until the whole run exists this shows
# the engine's banner and usage.
BUILD=${1:-build}
"$BUILD/bin/nodeweld"
status=$?
echo
echo "(nodeweld ended with exit code $status: -1 shows as 255, see README)"
exit 0
