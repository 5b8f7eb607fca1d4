#!/usr/bin/env bash
# Plays a show with the freshly built player: `make run` calls this with the
# build folder and the show's data folder.
set -eu
build=$1
show=$2
exec "$build/bin/kvxplay" --data "$show"
