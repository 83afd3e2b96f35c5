#!/usr/bin/env bash
# The layering of the folders: no Qt below shell/, and no folder includes a header of a
# folder above it. Each folder lists the folders it may include from; a violation is
# printed with its file and line, and the exit status is 1.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
declare -A may=(
  [res]="res"
  [platform]="platform res"
  [errors]="errors res"
  [grellow]="grellow platform res"
  [model]="model platform errors res"
  [tethra]="tethra model grellow platform errors res"
  [vphone]="vphone"
  [cli]="cli tethra model grellow platform errors res"
)
qtless="res platform errors grellow model tethra vphone cli"
# The icons and bitmaps of res/ (Resources.*, icons/: the library mireth_resimages)
# are Qt images, used only by shell/ and host/; the string table beside them is not.
qt_images='^res/(Resources\.(h|cpp)|icons/)'

status=0
for dir in "${!may[@]}"; do
  [ -d "$dir" ] || continue
  while IFS=: read -r file line text; do
    target=$(sed -n 's|.*#include *"\([a-z]*\)/.*|\1|p' <<<"$text")
    [ -n "$target" ] || continue
    case " ${may[$dir]} " in *" $target "*) ;; *)
      echo "$file:$line: $dir/ includes from $target/: $text"; status=1 ;;
    esac
  done < <(grep -rn --include='*.cpp' --include='*.h' -E '#include *"[a-z]+/' "$dir")
done
for dir in $qtless; do
  [ -d "$dir" ] || continue
  if grep -rn --include='*.cpp' --include='*.h' -E '#include *<Q[A-Za-z]+>' "$dir" | grep -Ev "$qt_images"; then
    echo "Qt is used in $dir/, below shell/"; status=1
  fi
done
[ $status -eq 0 ] && echo "layers: every include points downwards, no Qt below shell/"
exit $status
