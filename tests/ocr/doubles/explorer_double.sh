#!/bin/sh
# Stands in for the explorer program: records its arguments (each ended by a zero byte) and a copy of
# the list file the first one names after "/r?an", then says it is done.
printf '%s\0' "$@" > "$ZORVEX_DOUBLE_RECORD.args"
cp "${1#/r?an}" "$ZORVEX_DOUBLE_RECORD.list"
: > "$ZORVEX_DOUBLE_RECORD.done"
