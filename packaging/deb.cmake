# The Debian package (cpack -G DEB, or make deb): the installed files of app/, cli/ and
# packaging/, with the run-time libraries' packages found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VENDOR "The Tolvane developers")
set(CPACK_PACKAGE_CONTACT "The Tolvane developers <maintainers@tolvane.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TOLVANE_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TOLVANE_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Added to what dpkg-shlibdeps finds: Qt's X11 platform plugin, which Qt's own packages only
# recommend and without which no window opens, the default editor's launcher and a Japanese font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, xdg-utils, fonts-noto-cjk | fonts-ipafont-gothic")
# Japanese input in the query box, Qt's own texts in Japanese, and the kanji variant dictionary
# the loose search reads for the old and new forms beyond its own list.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fcitx5-frontend-qt6 | ibus, qt6-translations-l10n, kakasi-dic")
# A Japanese input engine for either, the shell's completion of tolvane-search, and native
# Wayland windows, for a Wayland session without XWayland. Not recommended: GNOME, Debian's
# default desktop, would then get Qt's own title bar in place of its own (the program keeps GNOME
# on XWayland anyway), and XWayland serves every other desktop as well.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "fcitx5-mozc | ibus-mozc, bash-completion, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[search a Shift-JIS bibliography for every term
Tolvane searches a bibliography kept as a plain Shift-JIS (CP932) text file,
tolvaneken.txt, with one literature record per line. Type terms separated by
blanks and press Enter: every record that holds all of them is written to
kekka.txt beside it, the first 500 are shown with the terms marked, and the
window's caption gives the count. The arrow keys bring back the last twenty
queries; Shift+Enter opens the results in an editor for printing.
.
The package also holds tolvane-search, which runs the same search from a
shell.]=])

include(CPack)
