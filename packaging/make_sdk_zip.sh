#!/usr/bin/env bash
# The command authors' kit as one archive: everything `cmake --install` put
# into <installed dir>, without the installer package and the debug files,
# inside the one folder kavlink-sdk-<version>/.
#
#   make_sdk_zip.sh <installed dir> <version> <zip to write>
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: make_sdk_zip.sh <installed dir> <version> <zip>" >&2; exit 2; }
installed=$(cd "$1" && pwd)
version=$2
zip_out=$3
sdk="kavlink-sdk-$version"
stage=$(mktemp -d "${TMPDIR:-/tmp}/kavsdk.XXXXXX")
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$sdk"
(cd "$installed" && find . -path ./debug -prune -o -type f ! -name '*.msi' ! -name '*.zip' -print \
    | LC_ALL=C sort | xargs -d '\n' cp --parents -t "$stage/$sdk")
rm -f "$zip_out"
zip_abs=$(cd "$(dirname "$zip_out")" && pwd)/$(basename "$zip_out")
(cd "$stage" && find "$sdk" -type f | LC_ALL=C sort | zip -q -X "$zip_abs" -@)
