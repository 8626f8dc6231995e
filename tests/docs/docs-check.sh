#!/usr/bin/env bash
# docs-check.sh: scripts/docs-check on a small tree: each kind of stale reference is named by its line,
# and the references that hold (a link with its anchor, a web link, a link in code, a script, a preset)
# are not.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/docs" "$tmp/scripts" && touch "$tmp/scripts/demo" && printf '# The part\n' >"$tmp/docs/a.md"
echo '{"configurePresets": [{"name": "host"}]}' >"$tmp/CMakePresets.json"
cat >"$tmp/README.md" <<'MD'
# Title
## Good heading
[ok](docs/a.md#the-part), [here](#good-heading), [web](https://example.org/x), `scripts/demo --preset host`
[broken](docs/none.md)
run scripts/nosuch.
cmake --preset nosuch
[bad anchor](docs/a.md#nope)
```
[not a link](nowhere.md)
scripts/gone
```
MD
want='docs-check: README.md:4: link to docs/none.md: no such file
docs-check: README.md:5: scripts/nosuch: no such script
docs-check: README.md:6: --preset nosuch: not in CMakePresets.json
docs-check: README.md:7: link to docs/a.md#nope: no heading for #nope
docs-check: README.md:10: scripts/gone: no such script'
rc=0 && got=$("$src/scripts/docs-check" "$tmp") || rc=$?
[[ $rc == 1 && $got == "$want" ]] || { printf 'FAIL: exit %s, got\n%s\nwanted\n%s\n' "$rc" "$got" "$want"; exit 1; }
sed -i '4,7d;10d' "$tmp/README.md"
"$src/scripts/docs-check" "$tmp" || { echo "FAIL: the mended tree does not pass"; exit 1; }
