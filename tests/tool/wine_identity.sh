#!/usr/bin/env bash
# dictzip.exe's zlib is not the system's: its files must still be byte for byte
# those of Debian's dictzip and of the Linux build ($2, optional).
set -euo pipefail
exe=$1 linux=${2:-}
cd "$(mktemp -d /tmp/dictzip-wine-XXXXXX)"
trap 'rm -rf "$PWD"' EXIT
awk 'BEGIN { srand(3); for (i = 0; i < 60000; i++) printf "headword%d [m1] see also\n", int(rand() * 5000) }' > d.dsl
touch -d @1234567890 d.dsl
mkdir debian && cp -p d.dsl debian/ && /usr/bin/dictzip debian/d.dsl
[ -z "$linux" ] || { "$linux" -k d.dsl && cmp d.dsl.dz debian/d.dsl.dz; }
for threads in -j1 -j3; do
    "${LEXPACK_WINE:-wine}" "$exe" -k -f "$threads" d.dsl </dev/null
    cmp d.dsl.dz debian/d.dsl.dz
done
