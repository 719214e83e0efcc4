#!/bin/sh
# Stands in for the OCR engine's tool: records its arguments (each ended by a zero byte) in
# $OCR_DOUBLE_RECORD, then, as $OCR_DOUBLE_MODE says, writes a document to the path after "/out"
# (a copy of the picture when the mode is "copy"), fails, crashes, writes nothing, or hangs.
printf '%s\0' "$@" > "$OCR_DOUBLE_RECORD"
out=""
prev=""
for arg in "$@"; do
  [ "$prev" = "/out" ] && out="$arg"
  prev="$arg"
done
case "$OCR_DOUBLE_MODE" in
  fail) exit 3 ;;
  crash) kill -SEGV $$ ;;
  silent) exit 0 ;;
  hang) exec sleep 600 ;;
  copy) for arg in "$@"; do case "$arg" in *.tif) cp "$arg" "$out" ;; esac; done ;;
  *) printf 'recognised text\n' > "$out" ;;
esac
