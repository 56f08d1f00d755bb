#!/usr/bin/env bash
# The main job of `make demo`: the plug-in loaded as a runtime loads it, the demo plant rendered
# at several moments of the virtual clock, and an operator session on it. Needs no display.
#   scripts/demo.sh [BUILD_DIR]     (default: build)
set -euo pipefail

build=${1:-build}
out=$build/demo
kestro=$build/bin/kestro
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
mkdir -p "$out"

echo "== The plug-ins, loaded with dlopen and __plugin_init (class tables in $out/plugin.txt)"
"$kestro" plugins "$build/lib" >"$out/plugin.txt"
grep -E '^(plug-in|registered classes):' "$out/plugin.txt"
tail -n 1 "$out/plugin.txt"

echo
echo "== The demo plant (examples/plant.json, built into kestro), rendered on the virtual clock"
render() { # FILE DESCRIPTION ARGUMENTS...
  local file=$1 description=$2
  shift 2
  "$kestro" render -o "$out/$file" "$@"
  printf '  %-40s %s\n' "$out/$file" "$description"
}
render plant-0s.png "t = 0 s: both tanks half full, P-101 running" --at 0
render plant-5s.png "t = 5 s: T-102 high level, alarm balloon and red tank" --at 5
render plant-10s.png "t = 10 s: P-101 fault, the pump blinks" --at 10
render plant-20s.png "t = 20 s: T-102 low, alarm cleared" --at 20
render plant-stopped-5s.png "t = 5 s, P-101 stopped, V-101 and V-102 closed" --at 5 \
  --set P101.Run=0 --set V101.Open=0 --set V102.Open=0
render details-5s.png "window 2, the pump details, at t = 5 s" --window 2 --at 5

echo
echo "== An operator session (examples/plant-session.txt; every JSON line in $out/session.jsonl)"
"$kestro" run --events examples/plant-session.txt -o "$out/session.jsonl"
# One line per event: the event, the window shown after it, the host calls it caused and what
# the flow display FI-101 shows when that changed.
awk '
function field(line, re, skip) {
    if (!match(line, re)) return ""
    return substr(line, RSTART + skip, RLENGTH - skip)
}
function all(line, re, skip, sep,   out, rest) {
    out = ""; rest = line
    while (match(rest, re)) {
        out = out (out == "" ? "" : sep) substr(rest, RSTART + skip, RLENGTH - skip)
        rest = substr(rest, RSTART + RLENGTH)
    }
    return out
}
{
    event = field($0, "\"event\":\"([^\"\\\\]|\\\\.)*", 9)
    gsub(/\\"/, "\"", event)
    window = field($0, "\"stack\":\\[[^]]*", 9)
    sub(/.*,/, "", window)
    what = ""
    w = all($0, "\"tag\":\"[^\"]*\",\"value\":[^,}]*", 7, ", ")
    gsub(/","value":/, " = ", w)
    if (w != "") what = what "  writes " w
    o = field($0, "\"windowsOpened\":\\[[^]]+", 17)
    if (o != "") what = what "  opens window " o
    c = field($0, "\"windowsClosed\":\\[[^]]+", 17)
    if (c != "") what = what "  closes window " c
    s = all($0, "\"strategy\":[0-9]+", 11, ",")
    if (s != "") what = what "  runs strategy " s
    k = field($0, "\"preset\":\"[^\"]*", 10)
    r = field($0, "\"text3\":\"[^\"]*", 9)
    if (k != "") what = what "  keyboard " k " [" r "]"
    l = all($0, "\"object\":\"[^\"]*\",\"text\":\"[^\"]*", 0, ", ")
    gsub(/"object":"[^"]*","text":"/, "", l)
    if (l != "") what = what "  log \"" l "\""
    if (match($0, "\"name\":\"FI101Value\"")) {
        flow = field(substr($0, RSTART), "\"text\":\"[^\"]*", 8)
        if (flow != shown) what = what "  FI-101 shows " flow
        shown = flow
    }
    printf "  %2d  %-24s window %s%s\n", NR - 1, event, window, what
}' "$out/session.jsonl"
