#!/bin/bash
# Regenerates every asset into a temporary folder and compares it with the committed assets/.
set -euo pipefail
generator="$1"
root="$2"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
"$generator" "$root/assets-src" "$out"
diff -r --brief "$root/assets" "$out"
echo "assets/ is reproduced exactly"
