#!/bin/sh
# Stands in for quillbox-cli in the tool's tests: runs the Windows build of it
# ($QBX_WINDOWS_CLI) under Wine, in the environment scripts/wine-env.sh set up. Unix
# paths on the command line ("/tmp/x/out") reach it as paths on the current drive,
# which is Wine's Z: (the whole Unix tree) while the working folder is a Unix one.
cd / || exit 127
exec wine "$QBX_WINDOWS_CLI" "$@"
