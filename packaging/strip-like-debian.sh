#!/bin/sh
# The package's strip: what Debian's dh_strip does to a program, which plain strip does not
# (the compiler's .comment and the .note section go too; the build id stays).
exec strip --remove-section=.comment --remove-section=.note "$@"
