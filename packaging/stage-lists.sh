#!/usr/bin/env bash
# The lists the installer script includes, written beside the stage.
#   packaging/stage-lists.sh STAGE
set -euo pipefail
stage=$1
# The uninstaller removes exactly these, and the folders once empty; the installer checks each
# file it unpacked by its size before anything is replaced, then swaps them in one by one, able
# to put every old one back.
{
  (cd "$stage" && find . -type f | sort) | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|'
  (cd "$stage" && find . -mindepth 1 -type d | sort -r) | sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|'
} >"$(dirname "$stage")/uninstall-files.nsh"
{
  echo '!macro ForEachFolder DO'
  (cd "$stage" && find . -mindepth 1 -type d | sort) | sed 's|^\./||; s|/|\\|g; s|.*|  !insertmacro ${DO} "&"|'
  echo '!macroend'
  echo '!macro ForEachFile DO'
  (cd "$stage" && find . -type f -printf '%P %s\n' | sort) | sed 's|/|\\|g; s|^\([^ ]*\) \(.*\)$|  !insertmacro ${DO} "\1" \2|'
  echo '!macroend'
} >"$(dirname "$stage")/stage-files.nsh"
