#!/usr/bin/env bash
# Builds Tagsifter and starts it. The bundled sample images are its ready example:
# press "Load Sample/Example Files", then "Start Finding".
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --parallel "$(nproc)" --target tagsifter
exec ./build/src/tagsifter "$@"
