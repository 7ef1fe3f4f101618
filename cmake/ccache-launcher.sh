#!/bin/sh
# Compiler launcher: ccache with paths taken relative to this source tree, so that every build tree
# and every clone on the machine shares the cached compiles. One plain path, so that it can be
# handed on to the cross builds as it is.
CCACHE_BASEDIR="$(cd "$(dirname "$0")/.." && pwd)"
export CCACHE_BASEDIR
exec ccache "$@"
