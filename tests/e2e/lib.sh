# What the virtual-display tests share, sourced with BINDIR WORKDIR and the tools they
# need: a fresh work folder as the current one, fail, wait_for and an Xvfb display.
bindir=$(cd "$1" && pwd)
rm -rf "$2" && mkdir -p "$2" && work=$(cd "$2" && pwd) && cd "$work" || exit 1
for tool in Xvfb "${@:3}"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
trap 'kill $(jobs -p) 2>/dev/null; wait; [ -z "${home_root:-}" ] || rm -rf "$home_root"' EXIT
fail() { echo "FAIL: $*"; ls -l; cat out err app.log 2>/dev/null; exit 1; }
# Polls a condition every 0.2 s for at most $1 seconds.
wait_for() { local tries=$(($1 * 5)); shift; until "$@"; do ((--tries > 0)) || return 1; sleep 0.2; done; }
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>display 2>/dev/null &
wait_for 20 test -s display || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 display)"
