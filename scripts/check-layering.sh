#!/bin/sh
# Checks the include structure of src/: nothing outside ui/app includes ui/app (the window and
# the composition), core includes no ui, and no two folders include each other, directly or
# round a longer loop. Exits 1 with the offending includes or folders listed.
set -eu
cd "$(dirname "$0")/.."
status=0

bad=$(grep -rn '#include "ui/app/' src --include='*.h' --include='*.cpp' | grep -v '^src/ui/app/' | grep -v '^src/main.cpp:' || true)
if [ -n "$bad" ]; then
    echo "Only ui/app and main.cpp may include the window and the composition (ui/app):" >&2
    echo "$bad" >&2
    status=1
fi

bad=$(grep -rn '#include "ui/' src/core || true)
if [ -n "$bad" ]; then
    echo "Core must not include the UI:" >&2
    echo "$bad" >&2
    status=1
fi

# Folder-level edges "from to" between the subsystem folders (core/x, ui/y).
edges=$(grep -rn '#include "\(core\|ui\)/[A-Za-z0-9_]*/' src/core src/ui --include='*.h' --include='*.cpp' |
    sed -E 's#^src/([a-z]+/[A-Za-z0-9_]+)/[^:]*:[0-9]+:\#include "([a-z]+/[A-Za-z0-9_]+)/.*#\1 \2#' |
    awk '$1 != $2' | sort -u)
if ! echo "$edges" | tsort >/dev/null 2>/tmp/tolvek-layering.$$; then
    echo "Folders of src include each other in a loop:" >&2
    grep -v '^tsort: -: input contains a loop:' /tmp/tolvek-layering.$$ | sed 's/^tsort: /  /' >&2
    status=1
fi
rm -f /tmp/tolvek-layering.$$
exit $status
