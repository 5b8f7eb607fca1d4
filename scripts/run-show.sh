#!/usr/bin/env bash
# Plays the bundled show with the freshly built player, or says what is
# missing while the player is not built yet.
set -eu
build=$1
show=$2
if [ ! -x "$build/bin/kvxplay" ]; then
  echo "kvx: built the libraries and tools in $build/bin; the player (kvxplay) is not part of this build yet."
  exit 0
fi
exec "$build/bin/kvxplay" --data "$show"
