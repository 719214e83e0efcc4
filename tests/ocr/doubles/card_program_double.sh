#!/bin/sh
# Stands in for the card program: keeps a copy of its import file and its arguments, then removes
# the import file, as the real one does once it has read it ($CARD_DOUBLE_KEEP=1: leaves it there).
printf '%s\0' "$@" > "$ZORVEX_DOUBLE_RECORD.args"
cp "$1" "$ZORVEX_DOUBLE_RECORD.ini"
[ "$CARD_DOUBLE_KEEP" = 1 ] || rm -f "$1"
