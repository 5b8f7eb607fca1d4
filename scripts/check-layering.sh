#!/usr/bin/env bash
# Checks that every #include between source folders runs downwards.
#
# Each folder may include its own headers and those of the folders listed
# for it below; anything else (an include that runs upwards, or sideways to
# a folder not listed) is reported with file and line, and the check fails.
# tests/, bench/ and fuzz/ may include anything. The order is the one the
# top-level CMakeLists.txt builds in:
#
#   core <- vfs <- expr <- layers <- script <- assets <- effects <- shell
#   synth sits on core and vfs; launcher on core, vfs and assets; platform
#   (the SDL side) on synth and launcher; tools on everything but shell.
#
# Usage: scripts/check-layering.sh [ROOT]   (ROOT defaults to the checkout)
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

declare -A allowed=(
  [core]=""
  [vfs]="core"
  [expr]="core"
  [layers]="core vfs expr"
  [script]="core vfs expr layers"
  [synth]="core vfs"
  [assets]="core vfs expr layers script"
  [effects]="core vfs expr layers script assets"
  [launcher]="core vfs assets"
  [platform]="core vfs synth launcher"
  [shell]="core vfs expr layers script synth assets effects launcher platform"
  [tools]="core vfs expr layers script synth assets effects launcher platform"
)

status=0
for dir in "${!allowed[@]}"; do
  [ -d "$dir" ] || continue
  while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    text=${rest#*:}
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
    # Only includes of another source folder matter.
    [ -n "${allowed[$target]+set}" ] || continue
    [ "$target" = "$dir" ] && continue
    case " ${allowed[$dir]} " in
      *" $target "*) ;;
      *)
        echo "$file:$line: $dir/ may not include $target/: $(sed -E 's/^[[:space:]]+//' <<<"$text")"
        status=1
        ;;
    esac
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$dir" \
             --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc' --include='*.inl' || true)
done

if [ $status -eq 0 ]; then
  echo "check-layering: every include runs downwards"
fi
exit $status
