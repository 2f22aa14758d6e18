#!/usr/bin/env bash
# dictzip.exe under wine against the Linux tools: its files are byte for byte
# those of Debian's dictzip and of the Linux build (given as $2), gzip and the
# Linux build read them, it reads theirs, and Ctrl+C (SIGINT, which wine turns
# into the console event) leaves the folder as it was.
set -euo pipefail
exe=$1
linux=${2:-}
wine=${LEXPACK_WINE:-wine}
scratch=$(mktemp -d /tmp/dictzip-wine-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() { "$wine" "$exe" "$@" </dev/null; }

# Several chunks of text with a non-ASCII name; the header keeps the name and time.
name='Wörterbuch Ελληνικά 日本語.dsl'
mkdir wine debian linux
awk 'BEGIN { srand(3); for (i = 0; i < 60000; i++) printf "headword%d [m1]%s\n", int(rand() * 5000), (i % 7 ? " see also" : "") }' \
    > "$name"
for dir in wine debian linux; do
    cp "$name" "$dir/"
    touch -d @1234567890 "$dir/$name"
done
/usr/bin/dictzip -k "debian/$name" || fail "Debian's dictzip"
[ -z "$linux" ] || "$linux" -k "linux/$name" || fail "the Linux build"
for threads in -j1 -j3; do
    # A Windows path with its drive letter and backslashes: wine's Z: is the root.
    winpath="Z:$(pwd | tr / '\\')\\wine\\$name"
    run -k -f "$threads" "$winpath" || fail "dictzip.exe $threads"
    cmp -s "wine/$name.dz" "debian/$name.dz" || fail "dictzip.exe $threads differs from Debian's dictzip"
    [ -z "$linux" ] || cmp -s "wine/$name.dz" "linux/$name.dz" || fail "dictzip.exe $threads differs from the Linux build"
done
gzip -dc "wine/$name.dz" | cmp -s - "$name" || fail "gzip cannot read dictzip.exe's file"
[ -z "$linux" ] || "$linux" -dc "wine/$name.dz" | cmp -s - "$name" || fail "the Linux build cannot read dictzip.exe's file"

# One-byte chunks make two members: the chunk table of the first is filled in
# after the fact, and the second must still follow it.
head -c 40000 "$name" > m.txt
run -k --chunk-length 1 m.txt || fail "dictzip.exe with one-byte chunks"
gzip -dc m.txt.dz | cmp -s - m.txt || fail "gzip cannot read dictzip.exe's two-member file"

# And back: files from gzip and Debian's dictzip, unpacked by dictzip.exe.
gzip -9 -c "$name" > gz.dz
run -d gz.dz || fail "dictzip.exe cannot read gzip's file"
cmp -s gz "$name" || fail "gzip's file unpacked differs"
rm "wine/$name" "wine/$name.dz"
mv "debian/$name.dz" "wine/$name.dz"
run -d "wine/$name.dz" || fail "dictzip.exe cannot read Debian's file"
cmp -s "wine/$name" "$name" || fail "Debian's file unpacked differs"
[ "$(stat -c %Y "wine/$name")" = 1234567890 ] || fail "the time from the header was not restored"

# Ctrl+C in the middle of replacing a file: the old one is back, nothing else is left.
head -c 60000000 /dev/urandom | base64 > big.txt
echo old > big.txt.dz
before=$(ls -l --time-style=+ big.txt big.txt.dz; md5sum big.txt.dz)
"$wine" "$exe" -f -j1 big.txt </dev/null 2>err.txt &
pid=$!
for _ in $(seq 2000); do
    [ "$(stat -c %s big.txt.dz 2>/dev/null || echo 0)" -gt 100000 ] && break
    sleep 0.005
done
kill -INT $pid
status=0
wait $pid || status=$?
[ $status = 130 ] || fail "after Ctrl+C: exit $status, $(cat err.txt)"
grep -q 'big.txt: interrupted by Ctrl+C' err.txt || fail "after Ctrl+C: $(cat err.txt)"
[ "$(ls -l --time-style=+ big.txt big.txt.dz; md5sum big.txt.dz)" = "$before" ] || fail "after Ctrl+C the folder changed"
[ -z "$(ls | grep dictzip-old)" ] || fail "after Ctrl+C a moved-aside file is left"

[ $failures = 0 ] && echo "dictzip.exe under wine: all interoperability checks passed"
exit $((failures > 0))
