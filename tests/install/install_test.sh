#!/bin/bash
# The installed program, as a package would lay it out: `cmake --install` into a scratch DESTDIR
# with prefix /usr, then the desktop entry and the AppStream metadata validated, the manual pages
# read by man, the bash completion asked, the installed tolvane-search run on a sample
# bibliography, and the installed `tolvane DIR` started under a real X server from another folder,
# searching DIR's records.
#   install_test.sh BUILD_DIR MAKE_SAMPLE
set -u

readonly BUILD=$(realpath "$1")
readonly MAKE_SAMPLE=$(realpath "$2")
readonly ID=org.tolvane.Tolvane
readonly SKIP=77
export LC_ALL=C.UTF-8

for tool in desktop-file-validate update-desktop-database xdg-mime appstreamcli man readelf iconv Xvfb openbox xdotool xdpyinfo xprop xmodmap; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit "$SKIP"; }
done

TMP=$(mktemp -d)
source "$(dirname "$0")/../xsession.sh"

# Nothing of the test reaches the real home or config folders.
export HOME="$TMP/home" XDG_CONFIG_HOME="$TMP/config" XDG_RUNTIME_DIR="$TMP/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"

ROOT="$TMP/root"
DESTDIR="$ROOT" cmake --install "$BUILD" --prefix /usr --component Unspecified >"$TMP/install.log" 2>&1 ||
  fail "cmake --install: $(cat "$TMP/install.log")"
USR="$ROOT/usr"

# --- What is installed, and where.
for path in bin/tolvane bin/tolvane-search share/applications/$ID.desktop \
    share/metainfo/$ID.metainfo.xml share/icons/hicolor/scalable/apps/$ID.svg \
    share/man/man1/tolvane.1.gz share/man/man1/tolvane-search.1.gz \
    share/bash-completion/completions/tolvane-search share/doc/tolvane/copyright; do
  [ -f "$USR/$path" ] || fail "not installed: /usr/$path"
done
for size in 16 22 24 32 48 64 128 256; do
  png="$USR/share/icons/hicolor/${size}x${size}/apps/$ID.png"
  [ -f "$png" ] || fail "no ${size}px icon"
  # The PNG header's width and height: big-endian, at bytes 16 to 23.
  read -r w3 w2 w1 w0 h3 h2 h1 h0 < <(od -An -tu1 -j16 -N8 "$png")
  [ $(((w3 << 24) | (w2 << 16) | (w1 << 8) | w0)) = "$size" ] &&
    [ $(((h3 << 24) | (h2 << 16) | (h1 << 8) | h0)) = "$size" ] || fail "the ${size}px icon is not ${size}x${size}"
done
for program in tolvane tolvane-search; do
  [ -x "$USR/bin/$program" ] || fail "$program is not executable"
  readelf -d "$USR/bin/$program" | grep -qE 'RUNPATH|RPATH' && fail "$program still has a run path"
done
# The Debian package's own records belong to its tree alone.
[ -e "$USR/share/lintian" ] || [ -e "$USR/share/doc/tolvane/changelog.Debian.gz" ] &&
  fail "a plain install carries the Debian package's records"
[ -z "$(find "$ROOT" ! -path "$USR" ! -path "$USR/*" -mindepth 1 -maxdepth 1)" ] ||
  fail "files installed outside /usr: $(find "$ROOT" -mindepth 1 -maxdepth 1)"

# --- The desktop entry and the metadata, as the desktop and the software centres read them.
# Office and Education are both main categories: desktop-file-validate hints at that, and only
# that, by design.
desktop-file-validate "$USR/share/applications/$ID.desktop" >"$TMP/validate.log" 2>&1 ||
  fail "desktop-file-validate: $(cat "$TMP/validate.log")"
grep -v 'hint: value "Office;Education;" for key "Categories"' "$TMP/validate.log" | grep . &&
  fail "desktop-file-validate says more than the known hint"
entry() { sed -n "s/^$1=//p" "$USR/share/applications/$ID.desktop"; }
[ "$(entry Exec)" = "tolvane %f" ] || fail "Exec is $(entry Exec)"
[ "$(entry Icon)" = "$ID" ] || fail "Icon is $(entry Icon)"
[ -n "$(entry 'Name\[ja\]')" ] && [ -n "$(entry 'Comment\[ja\]')" ] && [ -n "$(entry 'Keywords\[ja\]')" ] ||
  fail "the entry lacks its Japanese name, comment or keywords"
# Installing the package takes no one's text files: in a data folder holding only its entry and a
# plain text editor's, with no default chosen anywhere, the desktop's choice for text/plain is the
# editor (the entry sorts first, so one that claimed text/plain would win).
MIME="$TMP/mime"
mkdir -p "$MIME/data/applications" "$MIME/config" "$MIME/config-dirs"
cp "$USR/share/applications/$ID.desktop" "$MIME/data/applications/"
printf '%s\n' '[Desktop Entry]' 'Type=Application' 'Name=Plain Editor' 'Exec=plain-editor %F' \
  'MimeType=text/plain;' >"$MIME/data/applications/plain-editor.desktop"
update-desktop-database "$MIME/data/applications" || fail "update-desktop-database"
default_text_editor=$(env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION \
  -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID XDG_DATA_HOME="$MIME/data" XDG_DATA_DIRS="$MIME/data" \
  XDG_CONFIG_HOME="$MIME/config" XDG_CONFIG_DIRS="$MIME/config-dirs" xdg-mime query default text/plain)
[ "$default_text_editor" = plain-editor.desktop ] ||
  fail "xdg-mime names \"$default_text_editor\" for text/plain, not the text editor"
[ -z "$(entry MimeType)" ] || fail "the entry claims MIME types: $(entry MimeType)"
appstreamcli validate --no-net "$USR/share/metainfo/$ID.metainfo.xml" >"$TMP/appstream.log" 2>&1 ||
  fail "appstreamcli validate: $(cat "$TMP/appstream.log")"
appstreamcli validate-tree --no-net "$ROOT" >"$TMP/appstream.log" 2>&1 ||
  fail "appstreamcli validate-tree: $(cat "$TMP/appstream.log")"
grep -q '<summary xml:lang="ja">' "$USR/share/metainfo/$ID.metainfo.xml" || fail "no Japanese summary"

# --- The licence: the metadata names it, and the copyright file carries the LICENSE's own terms.
grep -q '<project_license>MIT</project_license>' "$USR/share/metainfo/$ID.metainfo.xml" ||
  fail "the metadata names no MIT project licence"
words() { tr -s ' \n' '  '; }
licence=$(sed -n '/^Permission is hereby granted/,$p' "$(dirname "$0")/../../LICENSE" | words)
# The stand-alone Expat paragraph, its continuation lines unindented and "." lines emptied.
copyright=$(awk 'BEGIN { RS = "" } /^License: Expat\n/' "$USR/share/doc/tolvane/copyright" |
  sed '1d; s/^ //; s/^\.$//' | words)
[ -n "$licence" ] && [ "$licence" = "$copyright" ] || fail "the copyright file's Expat terms are not LICENSE's"
# The program's own paragraph grants rights; the Unicode licence quoted further down keeps its own
# notice, "All rights reserved" among it.
awk 'BEGIN { RS = "" } /^Files: \*\n/' "$USR/share/doc/tolvane/copyright" | grep -q 'License: Expat' ||
  fail "the copyright file has no Files: * paragraph under Expat"
awk 'BEGIN { RS = "" } /^Files: \*\n/' "$USR/share/doc/tolvane/copyright" | grep -qi 'all rights reserved' &&
  fail "the copyright file still reserves all rights to the program"

# --- Manual pages: man formats them without a warning.
for page in tolvane tolvane-search; do
  MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$USR/share/man/man1/$page.1.gz" \
    >"$TMP/man.out" 2>"$TMP/man.err" || fail "man $page: $(cat "$TMP/man.err")"
  [ -s "$TMP/man.err" ] && fail "man $page warns: $(cat "$TMP/man.err")"
  MANWIDTH=80 man -l "$USR/share/man/man1/$page.1.gz" 2>/dev/null | grep -q "^ *$page  *- " ||
    fail "man $page has no NAME line"
done

# --- Bash completion: options, folders after -C, nothing after --.
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _tolvane_search
           printf "<%s>" "${COMPREPLY[@]}"' _ "$USR/share/bash-completion/completions/tolvane-search" "$@"
}
mkdir -p "$TMP/completion/my biblio" "$TMP/completion/other"
[ "$(complete_words tolvane-search --c)" = "<--count><--caption>" ] || fail "completion of --c"
[ "$(cd "$TMP/completion" && complete_words tolvane-search -C my)" = "<my biblio>" ] ||
  fail "completion after -C: $(cd "$TMP/completion" && complete_words tolvane-search -C my)"
[ "$(complete_words tolvane-search -- --c)" = "<>" ] || fail "completion after --"

# --- The installed tolvane-search on a sample bibliography, run from another folder.
BIBLIO="$TMP/home/文献 目録"
ELSEWHERE="$TMP/elsewhere"
mkdir -p "$BIBLIO" "$ELSEWHERE"
"$MAKE_SAMPLE" --records 2000 --output "$BIBLIO/tolvaneken.txt" >/dev/null || fail "make_sample"
sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
TERM_SJIS=$(sjis 近世)
expected=$(LC_ALL=C grep -c -F "$TERM_SJIS" "$BIBLIO/tolvaneken.txt")
[ "$expected" -gt 0 ] || fail "the sample holds no 近世"
count=$(cd "$ELSEWHERE" && "$USR/bin/tolvane-search" -C "$BIBLIO" --count 近世) ||
  fail "the installed tolvane-search failed"
[ "$count" = "$expected" ] || fail "tolvane-search counted $count, grep $expected"
[ "$(LC_ALL=C grep -c . "$BIBLIO/kekka.txt")" = "$expected" ] || fail "kekka.txt is not the $expected matches"
[ -e "$ELSEWHERE/kekka.txt" ] && fail "tolvane-search wrote into the working directory"
cp "$BIBLIO/kekka.txt" "$TMP/kekka.expected"
rm "$BIBLIO/kekka.txt"

# --- The installed window started as `tolvane DIR` from another folder.
start_x
(cd "$ELSEWHERE" && exec "$USR/bin/tolvane" "$BIBLIO") >"$TMP/app.log" 2>&1 &
APP_PID=$!
wait_for "the main window" has_window
WID=$(window)
xdotool windowfocus --sync "$WID" || fail "cannot focus the window"
# The window manager shows the program's own icon, and a dock finds the entry by the window's class.
xprop -notype -id "$WID" _NET_WM_ICON | head -1 | grep -q '^_NET_WM_ICON' || fail "the window has no icon"
[ "$(xprop -notype -id "$WID" WM_CLASS)" = "WM_CLASS = \"tolvane\", \"$(entry StartupWMClass)\"" ] ||
  fail "the window's class is not the entry's StartupWMClass: $(xprop -id "$WID" WM_CLASS)"
type_text "近世"
xdotool key Return
wait_for "kekka.txt in DIR" cmp -s "$BIBLIO/kekka.txt" "$TMP/kekka.expected"
[ -e "$ELSEWHERE/kekka.txt" ] && fail "the window searched the working directory"
exit_through_menu
[ "$status" = 0 ] || fail "the program ended with status $status"
slot0=$(head -1 "$BIBLIO/history.txt" | tr -d '\r')
[ "$slot0" = "$TERM_SJIS" ] ||
  fail "history.txt in DIR does not begin with the query but with $(printf '%s' "$slot0" | iconv -f CP932 -t UTF-8)"
[ -e "$ELSEWHERE/history.txt" ] && fail "the window wrote history.txt into the working directory"
echo "PASS"
