#!/bin/sh
# Runs a Windows test executable under Wine for CTest. Wine passes the
# program's exit code on (modulo 256; a crash reads as 5).
exec wine "$@"
