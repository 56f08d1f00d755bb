#!/usr/bin/env bash
# The pictures of the screen-format docs and of the cookbook, painted by kestro render from the
# projects they show, into docs/images/. Run after a build whenever a picture's project or the
# drawing changes; the pictures are committed. Needs no display.
#   scripts/docpictures.sh [BUILD_DIR]     (default: build)
set -euo pipefail

build=${1:-build}
kestro=$build/bin/kestro
images=docs/images
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

render() { # PROJECT PICTURE ARGUMENTS...
  local project=$1 picture=$2
  shift 2
  "$kestro" render "$project" -o "$images/$picture" "$@"
  echo "  $images/$picture"
}

echo "== Fields"
for project in "$images"/projects/*.json; do
  render "$project" "$(basename "$project" .json).png"
done

# Each recipe in the state its text talks about; the clock runs to the first refresh after the
# tags are set (the alarm lamp to a moment of its shown phase).
echo "== Cookbook"
render examples/cookbook/pump-button.json cookbook-pump-button.png --set Pump.Run=1 --at 0.25
render examples/cookbook/tank-level.json cookbook-tank-level.png
render examples/cookbook/alarm-acknowledge.json cookbook-alarm-acknowledge.png \
  --set Alarm=1 --at 0.75
render examples/cookbook/setpoint-entry.json cookbook-setpoint-entry.png
render examples/cookbook/navigation.json cookbook-navigation-1.png
render examples/cookbook/navigation.json cookbook-navigation-2.png --window 2
render examples/cookbook/value-units.json cookbook-value-units.png
render examples/cookbook/temperature-colour.json cookbook-temperature-colour.png \
  --set Room.Temperature=34.5 --at 0.25
