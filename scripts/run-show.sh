#!/usr/bin/env bash
# Plays a show with the freshly built player; `make run` calls this.
#
#   run-show.sh BUILD        the bundled show, from the pack beside the player
#   run-show.sh BUILD DIR    the show in the data folder DIR
#
# The bundled show is played the way the player finds a show by itself: a
# pack named after the program (kvxplay.kvx) in the folder it runs in. With
# a display the launcher opens and the show plays with sound; without one
# the player runs headless and prints its progress and a summary.
set -eu
build=$1
show=${2:-}
if [ -z "$show" ]; then
  if [ ! -f "$build/bin/kvxplay.kvx" ]; then
    echo "run-show: $build/bin/kvxplay.kvx is missing; build first" >&2
    exit 1
  fi
  cd "$build/bin"
  exec ./kvxplay
fi
exec "$build/bin/kvxplay" --data "$show"
