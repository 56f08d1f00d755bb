#!/bin/sh
# Every limit of kestro is refused before anything large is allocated: under a 200 MiB address
# space a render of a 32767x32767 window (4 GiB of pixels) must fail with its message, not by
# running out of memory. Usage: limits.sh KESTRO SOURCE_DIR
set -u
kestro=$1
examples=$2/examples
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect CODE TEXT COMMAND...: the exit code and a line of stderr.
expect() {
    code=$1 text=$2
    shift 2
    (ulimit -v 204800 && exec "$@") > /dev/null 2> "$work/err"
    got=$?
    if [ "$got" -ne "$code" ] || { [ -n "$text" ] && ! grep -qF -- "$text" "$work/err"; }; then
        echo "FAILED: $* -> exit $got, wanted $code with \"$text\":" >&2
        cat "$work/err" >&2
        failures=$((failures + 1))
    fi
}

cat > "$work/huge.json" <<'JSON'
{"version": "4.0.0.0",
 "windows": [{"number": 1, "name": "W", "width": 32767, "height": 32767, "objects": []}]}
JSON
printf 'advance 1e9\n' > "$work/long.events"

expect 1 "window 1: a picture of 32767x32767 needs 4096 MiB, more than the 256 MiB allowed" \
    "$kestro" render "$work/huge.json" -o "$work/out.png"
expect 2 '--size takes WxH with each side 1 to 16384, not "40000x10"' \
    "$kestro" render "$examples/plant.json" --size 40000x10 -o "$work/out.png"
expect 2 '--at takes seconds from 0 to 604800, not "1e9"' \
    "$kestro" render "$examples/plant.json" --at 1e9 -o "$work/out.png"
# A usage error comes before the event script's own error.
expect 2 '--refresh takes a period in seconds from 0.001 to 604800, not "0.000001"' \
    "$kestro" run "$examples/plant.json" --events "$work/long.events" --refresh 0.000001
expect 1 "long.events:1:9: a time in seconds from 0 to 604800 expected" \
    "$kestro" run "$examples/plant.json" --events "$work/long.events"
# And what is allowed still works within the same bound.
expect 0 "" "$kestro" render "$examples/plant.json" --at 3600 -o "$work/out.png"

# Under less address space than painting needs, every outcome is an exit, never a wait without
# end: painting threads that could not start used to leave a render waiting for them.
limit=81920
while [ "$limit" -le 122880 ]; do
    timeout 60 sh -c 'ulimit -v "$1" && shift && exec "$@"' sh "$limit" \
        "$kestro" render "$examples/plant.json" -o "$work/out.png" > /dev/null 2> "$work/err"
    got=$?
    if [ "$got" -eq 124 ]; then
        echo "FAILED: render under $limit KiB of address space did not finish" >&2
        cat "$work/err" >&2
        failures=$((failures + 1))
    fi
    limit=$((limit + 2048))
done

[ "$failures" -eq 0 ] || exit 1
