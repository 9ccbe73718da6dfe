#!/bin/bash
# Checks a built package before anyone installs it: its control fields, its files, and lintian
# with every tag level counting (the one override in lintian-overrides explains itself).
#   check_deb.sh path/to/tolvane_VERSION_ARCH.deb
set -eu
readonly DEB=$1

fail() { echo "FAIL: $*"; exit 1; }
field() { dpkg-deb --field "$DEB" "$1"; }

depends=$(field Depends)
for needed in 'libqt6widgets6' 'libqt6gui6' 'libqt6core6' 'qt6-qpa-plugins' 'xdg-utils' \
    'fonts-noto-cjk | fonts-ipafont-gothic'; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
[ "$(field Recommends)" = "fcitx5-frontend-qt6 | ibus, qt6-translations-l10n, kakasi-dic" ] ||
  fail "Recommends: $(field Recommends)"
[ "$(field Suggests)" = "fcitx5-mozc | ibus-mozc, bash-completion, qt6-wayland" ] ||
  fail "Suggests: $(field Suggests)"

files=$(dpkg-deb --contents "$DEB" | awk '{print $NF}')
for path in ./usr/bin/tolvane ./usr/bin/tolvane-search ./usr/share/applications/org.tolvane.Tolvane.desktop \
    ./usr/share/metainfo/org.tolvane.Tolvane.metainfo.xml ./usr/share/man/man1/tolvane.1.gz \
    ./usr/share/doc/tolvane/copyright; do
  grep -qxF "$path" <<<"$files" || fail "the package lacks $path"
done
# Nothing of the build or the tests travels with it.
grep -vE '^\./usr/((bin/(tolvane(-search)?)?)|share/.*)?$' <<<"$files" && fail "unexpected files above"

echo "lintian $(lintian --version | sed 's/^Lintian v//'):"
lintian --pedantic --display-info --display-experimental --show-overrides \
  --fail-on error,warning,info,pedantic "$DEB" 2>&1 | grep -v 'running with root privileges' || true
# The listing above is for the reader; the verdict comes from lintian's own exit status.
lintian --pedantic --display-info --display-experimental --fail-on error,warning,info,pedantic \
  "$DEB" >/dev/null 2>&1 || fail "lintian found tags"
echo "PASS: $DEB"
