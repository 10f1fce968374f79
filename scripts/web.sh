#!/bin/bash
# The game as a web page: installs what a fresh Debian 12 machine lacks for it (Emscripten, no
# SDL), builds build/web/ (the page, zindle.js, zindle.wasm and the data) and serves it on
# localhost.
#   bash scripts/web.sh             build, then serve until Ctrl+C (port 8000, or the next free one)
#   bash scripts/web.sh --build     build only
#   PORT=9000 bash scripts/web.sh   serve from another port
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh web

# Debian's emcc runs its JavaScript tools with whatever node is first on PATH; a node that is not
# Debian's finds Debian's JavaScript modules only through NODE_PATH.
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
emcmake cmake -S . -B build/web -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
cmake --build build/web -j"$(nproc)"

if [[ "${1:-}" == "--build" ]]; then
    exit 0
fi
port="$(/usr/bin/python3 - "${PORT:-8000}" <<'PY'
import socket, sys
port = int(sys.argv[1])
while True:
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
            break
        except OSError:
            port += 1
print(port)
PY
)"
echo "Play at http://localhost:${port}/ (Ctrl+C stops the server)"
exec /usr/bin/python3 scripts/web_server.py build/web "$port"
