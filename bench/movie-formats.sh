#!/bin/sh
# The movie command side by side: each format of the bundled example at 800 x 600 (size and
# frames a second, one drawing thread per core), then --jobs 1 against --jobs 2 on the largest run with
# shaded balls, interleaved, REPEAT times each (medians of the wall time, and of the CPU time,
# user + system, of all threads). The machine's load is printed with the figures, since other
# work on it changes them. Each run writes a new file: the last run's is deleted first, untimed.
#   bench/movie-formats.sh [BUILD_DIR] [REPEAT] [FRAMES]
set -e
build=${1:-build}
repeat=${2:-3}
frames=${3:-120}
cli=$build/app/tarsel-cli
gen=$build/tools/tarsel-gen
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() { # the wall time of a command, in seconds
    start=$(date +%s.%N)
    "$@" 2>/dev/null
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "format  bytes  frames/s (median of $repeat, one drawing thread per core)"
for f in avi mp4 webm gif png; do
    name=water.$f
    [ $f = png ] && name="f%05d.png"
    times=""
    for r in $(seq "$repeat"); do
        # The last run's file goes first, not timed: on ext4, truncating a large file and
        # closing the new one flushes it to disk, which is not the movie's work.
        rm -f "$out"/*.png "$out/$name"
        times="$times $(seconds "$cli" movie "$here/Examples/water.tsw" -o "$out/$name")"
    done
    t=$(for x in $times; do echo "$x"; done | median)
    if [ $f = png ]; then bytes=$(cat "$out"/f*.png | wc -c); else bytes=$(wc -c < "$out/$name"); fi
    echo "$f  $bytes  $(echo "240 / $t" | bc -l | cut -c1-6)"
done

"$gen" largest "$out/big" "$frames" >/dev/null
echo "largest run, $frames frames, --ray-tracing, AVI in $out"
timed() { # wall and CPU seconds of a command: "WALL CPU"
    /usr/bin/time -f "%e %U %S" -o "$out/time" "$@" 2>/dev/null
    awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$out/time"
}
j1=""
j2=""
c1=""
c2=""
for r in $(seq "$repeat"); do
    rm -f "$out/j1.avi" "$out/j2.avi"
    set -- $(timed "$cli" movie "$out/big.tsw" -o "$out/j1.avi" --ray-tracing --jobs 1)
    j1="$j1 $1"
    c1="$c1 $2"
    set -- $(timed "$cli" movie "$out/big.tsw" -o "$out/j2.avi" --ray-tracing --jobs 2)
    j2="$j2 $1"
    c2="$c2 $2"
done
cmp -s "$out/j1.avi" "$out/j2.avi" && same="byte-identical" || same="DIFFERENT"
m1=$(for x in $j1; do echo "$x"; done | median)
m2=$(for x in $j2; do echo "$x"; done | median)
echo "--jobs 1: $m1 s ($j1 ), CPU $(for x in $c1; do echo "$x"; done | median) s ($c1 )"
echo "--jobs 2: $m2 s ($j2 ), CPU $(for x in $c2; do echo "$x"; done | median) s ($c2 )"
echo "ratio: $(echo "$m2 / $m1" | bc -l | cut -c1-5); the two AVIs are $same"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
