#!/bin/sh
# Stands in for quillbox-cli in the tool's tests: runs the Windows build of it
# ($QBX_WINDOWS_CLI) under Wine, in the environment scripts/wine-env.sh set up. Unix
# paths on the command line ("/tmp/x/out") reach it as paths on the current drive,
# which is Wine's Z: (the whole Unix tree) while the working folder is a Unix one: "/",
# or $QBX_CLI_DIR when a test names one. The arguments are UTF-8, as the tests write
# them: Wine reads them in the locale's character set.
cd "${QBX_CLI_DIR:-/}" || exit 127
LC_ALL=C.UTF-8
export LC_ALL
exec wine "$QBX_WINDOWS_CLI" "$@"
