#!/usr/bin/env bash
# Files of our dictzip ($1, run by $LEXPACK_WINE if set: dictzip.exe's zlib is not the
# system's) are byte for byte Debian's: dictionary text, an empty file, incompressible bytes.
set -euo pipefail
exe=$1
cd "$(mktemp -d /tmp/dictzip-identity-XXXXXX)"
trap 'rm -rf "$PWD"' EXIT
mkdir debian
awk 'BEGIN { srand(3); for (i = 0; i < 60000; i++) printf "headword%d [m1] see also\n", int(rand() * 5000) }' > d.dsl
gzip -9n < d.dsl > r.dsl && : > e.dsl
for f in d e r; do
    touch -d @1234567890 $f.dsl && cp -p $f.dsl debian/ && /usr/bin/dictzip debian/$f.dsl
    for threads in -j1 -j3; do
        ${LEXPACK_WINE:-} "$exe" -k -f "$threads" $f.dsl </dev/null
        cmp $f.dsl.dz debian/$f.dsl.dz
    done
done
