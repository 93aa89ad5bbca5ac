#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/setup.sh against a stand-in apt on a machine that has FUSE 3: fusefat
# comes in beside it and FUSE 2 is never asked for; a plan that would remove
# something leaves fusefat out (but not in CI), and a needed package whose plan
# removes anything is refused with nothing installed.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

cat >"$fake/dpkg-query" <<'SH'
#!/bin/sh
# Everything is installed but what MISSING names.
for p in $MISSING; do [ "$p" = "$3" ] && exit 1; done
printf 'install ok installed'
SH
cat >"$fake/apt-get" <<'SH'
#!/bin/sh
echo "$*" >>"$LOG"
case "$*" in
  *-s*) for p in "$@"; do case " $REMOVES_FOR " in *" $p "*) echo "Remv fuse3 [3.14.0-4]" ;; esac; done ;;
esac
exit 0
SH
printf '#!/bin/sh\nexec "$@"\n' >"$fake/sudo"
chmod +x "$fake"/*

setup() { # GROUP: runs setup.sh, its installs in $LOG
  : >"$fake/log"
  env PATH="$fake:$PATH" LOG="$fake/log" "$@"
}
installs() { grep -v -- '^-s ' "$fake/log" | grep -c 'install' || true; }

# FUSE 3 provides what fusefat needs (the FUSE 2 package is not installed): fusefat
# comes in with the test tools, FUSE 2 not.
out=$(setup MISSING="xdotool fusefat fuse" REMOVES_FOR="" CI= "$here/../scripts/setup.sh" test 2>&1) ||
    fail "test group refused: $out"
grep -q 'install.*--no-remove.*xdotool' "$fake/log" || fail "xdotool not installed with --no-remove"
grep -q 'install.*--no-remove.*fusefat' "$fake/log" || fail "fusefat not installed beside FUSE 3"
grep -q -w 'fuse' "$fake/log" && fail "FUSE 2 asked for: $(cat "$fake/log")"

# Should its plan remove anything after all, it stays out and says so.
out=$(setup MISSING="fusefat" REMOVES_FOR="fusefat" CI= "$here/../scripts/setup.sh" test 2>&1) ||
    fail "test group refused: $out"
[ "$(installs)" = 0 ] || fail "fusefat installed though its plan removes fuse3"
grep -q 'would remove fuse3' <<<"$out" || fail "no word on the skipped FAT tools: $out"

# In CI the same machine gets them, so every test runs there.
setup MISSING="fusefat" REMOVES_FOR="fusefat" CI=true "$here/../scripts/setup.sh" test >/dev/null 2>&1 ||
    fail "CI set-up failed"
grep -v -- '^-s ' "$fake/log" | grep -q 'install.*fusefat' || fail "fusefat not installed in CI"

# A package the program needs whose plan removes something: refused, named.
out=$(setup MISSING="cmake" REMOVES_FOR="cmake" "$here/../scripts/setup.sh" run 2>&1) &&
    fail "run group went ahead though fuse3 would go"
grep -q 'would remove fuse3' <<<"$out" || fail "refusal does not name fuse3: $out"
[ "$(installs)" = 0 ] || fail "something was installed after the refusal"

# run needs no test tool.
setup MISSING="xdotool xvfb" "$here/../scripts/setup.sh" run >/dev/null 2>&1 || fail "run group failed"
[ "$(installs)" = 0 ] || fail "run installed a test tool"

[ $status = 0 ] && echo "setup.sh: all cases pass"
exit $status
