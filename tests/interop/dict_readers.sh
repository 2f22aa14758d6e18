#!/usr/bin/env bash
# Real readers of our dictzip files: dictd serves a dictionary packed by DICTZIP to dict, and
# sdcv reads a StarDict one; every answer must match the same lookup on the unpacked copy,
# from the default file and from one packed with --best (libdeflate's chunks).
set -u
for reader in dictd dict sdcv; do
    command -v "$reader" >/dev/null || { echo "SKIP: $reader is not installed"; exit 77; }
done
chunk=1024 # small chunks, so that many entries straddle one or more chunk boundaries
umask 022
work=$(mktemp -d)
chmod 755 "$work" # dictd started as root reads as its own user
server=
trap '[ -z "$server" ] || { kill "$server"; wait "$server"; } 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP

# Deterministic entries, some ending on a chunk boundary; dictd's and StarDict's indexes,
# all words scrambled for sdcv, and for dict the first, middle and last words, those on a
# chunk boundary and those spanning 5+ chunks.
mkdir -p "$work/plain/dic" "$work/home"
cd "$work/plain/dic" || exit 1
awk -v C=$chunk 'function b64(n,  s) {
        s = ""; do { s = substr(B, n % 64 + 1, 1) s; n = int(n / 64) } while (n > 0); return s }
    function be32(n) { return sprintf("\\x%02x\\x%02x\\x%02x\\x%02x",
        int(n / 16777216) % 256, int(n / 65536) % 256, int(n / 256) % 256, n % 256) }
    BEGIN {
        B = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
        letters = "abcdefghijklmnopqrstuvwxyz "; N = 300; x = 1; off = 0
        for (i = 0; i < N; i++) {
            w = sprintf("lex%04d", i); len = 40 + (i * 7919) % 3300
            if (i % 97 == 50) len = 2 * C - off % C
            def = ""; for (k = 1; length(def) < len; k++) {
                line = w " line " k ":"
                while (length(line) < 72) {
                    x = (x * 69069 + 1) % 4294967296
                    line = line substr(letters, int(x / 65536) % 27 + 1, 1)
                }
                def = def line "\n"
            }
            printf "%s\n", substr(def, 1, len - 1) > "lex.dict"
            entries = entries sprintf("%s\t%s\t%s\n", w, b64(off), b64(len))
            printf "%s\\x00%s%s", w, be32(off), be32(len) > "../../lex.idx.txt"
            first = int(off / C); last = int((off + len - 1) / C); straddling += last > first
            if (i == 0 || i == N - 1 || i == int(N / 2) || off % C == 0 || (off + len) % C == 0 \
                || last - first >= 4)
                print w > "../../probes"
            start[i] = off; size[i] = len; off += len
        }
        # Every entry again under one headword, out of order, so that a single dictd
        # lookup reads all chunks and seeks back and forth between them.
        for (i = 0; i < N; i++) {
            j = i * 7919 % N; printf "lex%04d\n", j > "../../words"
            printf "every\t%s\t%s\n", b64(start[j]), b64(size[j]) > "lex.index"
        }
        printf "%s", entries > "lex.index"
        printf "%d entries in %d chunks, %d of them straddle chunk boundaries\n", N, int((off + C - 1) / C), straddling
    }' || exit 1
printf '%b' "$(cat "$work/lex.idx.txt")" >lex.idx
printf '%s\n' "StarDict's dict ifo file" version=2.4.2 wordcount=300 "idxfilesize=$(stat -c %s lex.idx)" \
    "bookname=Lexpack readers" sametypesequence=m >lex.ifo
for level in packed best; do
    cp -r "$work/plain" "$work/$level"
    timeout 30 "$1" --chunk-length $chunk $([ $level = best ] && echo --best) "$work/$level/dic/lex.dict" ||
        { echo "FAIL: dictzip failed"; exit 1; }
done

cat >"$work/dictd.conf" <<EOF
global { limit_definitions 0 }
database plain { data "$work/plain/dic/lex.dict" index "$work/plain/dic/lex.index" }
database packed { data "$work/packed/dic/lex.dict.dz" index "$work/packed/dic/lex.index" }
database best { data "$work/best/dic/lex.dict.dz" index "$work/best/dic/lex.index" }
EOF
install -m 666 /dev/null "$work/dictd.log" # written after dictd switches user
# A random high port on loopback; another one if dictd cannot bind it.
for try in 1 2 3 4 5 6 7 8; do
    port=$((20000 + RANDOM % 40000))
    timeout 110 dictd -d nodetach -c "$work/dictd.conf" -p $port --listen-to 127.0.0.1 \
        --pid-file "$work/dictd.pid" -L "$work/dictd.log" 2>>"$work/dictd.log" &
    server=$!
    until timeout 5 dict -h 127.0.0.1 -p $port -D 2>/dev/null | grep -q '^ packed'; do
        kill -0 $server 2>/dev/null && sleep 0.1 || { wait $server; server=; continue 2; }
    done
    break
done
[ -n "$server" ] || { echo "FAIL: dictd did not start"; cat "$work/dictd.log"; exit 1; }

# Each reader's answers from the packed copy must match those from the unpacked one.
ask_dictd() { timeout 30 dict -h 127.0.0.1 -p $port -d "$1" every $probes 2>&1 | sed "s/^From $1 \[$1\]/From db/"; }
ask_sdcv() { HOME="$work/home" timeout 30 sdcv -n -e -x --data-dir "$work/$1" $words 2>&1 | grep -v "^save to cache"; }
words=$(cat "$work/words") probes=$(cat "$work/probes") failures=0
for reader in dictd sdcv; do
    ask_$reader plain >"$work/want"
    found=$(grep -c "lex[0-9]* line 1:" "$work/want")
    [ "$found" -ge 300 ] || { echo "FAIL: $reader found $found entries of 300 unpacked"; failures=1; }
    for level in packed best; do
        ask_$reader $level >"$work/got"
        cmp -s "$work/want" "$work/got" || { echo "FAIL: $reader reads the $level copy differently"; failures=1
            diff "$work/want" "$work/got" | head -10; }
    done
done
[ $failures -eq 0 ]
