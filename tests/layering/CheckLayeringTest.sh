#!/usr/bin/env bash
# The layering check on a small tree: it passes on downward includes and
# fails, naming file and line, on includes that run upwards or sideways.
set -u
script=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0

mkdir -p "$tmp"/{core,layers,script,shell,tools/kvxfoo,synth}
printf '#include "core/String.h"\n' > "$tmp/layers/Good.h"
printf '#include "layers/Good.h"\n#include "core/String.h"\n' > "$tmp/shell/Good.cpp"
if ! out=$(bash "$script" "$tmp"); then
  echo "FAIL: downward includes were refused: $out"
  fail=1
fi

expect_refusal() {  # folder/file, line text, what the message must name
  local file=$1 text=$2 want=$3
  printf '// header\n%s\n' "$text" > "$tmp/$file"
  if out=$(bash "$script" "$tmp"); then
    echo "FAIL: $file including '$text' passed"
    fail=1
  elif ! grep -q "$want" <<<"$out"; then
    echo "FAIL: message for $file does not name '$want': $out"
    fail=1
  fi
  rm "$tmp/$file"
}

expect_refusal layers/Bad.h '#include "shell/Show.h"' "layers/Bad.h:2:"
expect_refusal tools/kvxfoo/main.cpp '#include "shell/Launcher.h"' "tools/kvxfoo/main.cpp:2:"
expect_refusal layers/Bad.cpp '#include "script/Demo.h"' "layers/Bad.cpp:2:"
expect_refusal core/Bad.h '#include "vfs/Vfs.h"' "core/Bad.h:2:"
expect_refusal synth/Bad.cpp '#include "layers/Layer.h"' "synth/Bad.cpp:2:"

[ $fail -eq 0 ] && echo "check-layering: all cases behave"
exit $fail
