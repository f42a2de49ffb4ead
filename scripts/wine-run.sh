#!/usr/bin/env bash
# CTest's emulator for the Windows build: runs a test program under the prefix of wine-env.sh.
exec wine "$@"
