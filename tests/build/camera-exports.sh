#!/usr/bin/env bash
# The camera module and the program that loads it share the control's
# classes: the module must find in the program's dynamic symbol table every
# symbol it takes from the program, and every class both define (typeinfo,
# vtable) must be the program's one, so that an exception thrown in the
# module is the same type when the program catches it.
#
#   camera-exports.sh PROGRAM MODULE
set -euo pipefail
program=$1
module=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

nm --defined-only "$program" | awk '{print $3}' | sort -u >"$work/program"
nm -D --defined-only "$program" | awk '{print $3}' | sort -u >"$work/exported"
# What the module takes from outside, and the classes it defines itself.
nm -D --undefined-only "$module" | awk '{print $2}' | sort -u >"$work/taken"
nm --defined-only "$module" | awk '$3 ~ /^_ZT[IVS]/ {print $3}' | sort -u >"$work/classes"
cat "$work/taken" "$work/classes" | sort -u | comm -12 - "$work/program" |
  grep -v '^_ZT[IVS]St\|^_ZT[IVS]N\?[0-9]*Q' >"$work/shared" || true
missing=$(comm -23 "$work/shared" "$work/exported" | c++filt)
if [ -n "$missing" ]; then
  echo "camera-exports: the program does not export what the camera module shares with it:" >&2
  echo "$missing" >&2
  exit 1
fi
echo "camera-exports: $(wc -l <"$work/shared") shared symbols, all exported by the program"
