#!/bin/sh
# quendle-solve on a 200 MB input: a long heading, then the example system.
# The whole input must come back unchanged, followed by the solution.
set -eu
tool=$1
dir=$2
mkdir -p "$dir"
in=$dir/big_input.txt
out=$dir/big_output.txt
if [ ! -s "$in" ]; then
    yes 'A heading line of words without any figures in it, repeated.' | head -c 200000000 > "$in"
    printf '3 2 -4 3\n2 3 3 15\n5 -3 1 14\n' >> "$in"
fi
rc=0
"$tool" "$in" > "$out" || rc=$?
[ "$rc" -eq 0 ] || { echo "exit status $rc"; exit 1; }
insize=$(wc -c < "$in")
cmp -n "$insize" "$in" "$out" || { echo "the input does not come back unchanged"; exit 1; }
tail -c 23 "$out" | tr -d '\r' | grep -qx ' x\[  2\] :   2.0000000' || { echo "no solution at the end"; exit 1; }
rm -f "$out"
echo "200 MB input: ok"
