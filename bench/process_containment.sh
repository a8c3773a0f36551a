#!/usr/bin/env bash
# Measures how captured programs' descendants fare when the program that
# holds them is killed with SIGKILL, and whether a plain program outlives its
# starter without its descriptors. The stand-in veyra_child plays the
# launcher (--capture / --plain) and the descendants (--escape: five ways out).
# Usage: bench/process_containment.sh [bin folder]   (default build/linux/bin)
set -uo pipefail
bin=${1:-build/linux/bin}
child=$bin/veyra_child
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

alive_with_tag() {  # processes with $1 as an argument (a zombie's command line is empty)
  # The tag comes in through a file so that grep's own command line lacks it.
  grep -zlxFf <(printf '%s\n' "$1") /proc/[0-9]*/cmdline 2>/dev/null | wc -l
}

killed_launcher() {  # $1: extra flag for the stand-in launcher
  local tag="bench-killed-$$-$RANDOM" out=$work/out.txt
  "$child" $1 --capture --tag "$tag" --escape 60 --sleep 60 >"$out" 2>&1 &
  local holder=$!
  for _ in $(seq 100); do [ "$(grep -c '^escaped' "$out")" -ge 5 ] && break; sleep 0.1; done
  local before; before=$(alive_with_tag "$tag")
  local t0; t0=$(date +%s%N)
  kill -9 $holder
  local after zero=""
  while :; do
    after=$(alive_with_tag "$tag")
    local ms=$((($(date +%s%N) - t0) / 1000000))
    [ "$after" = 0 ] && zero=$ms && break
    [ $ms -ge 1000 ] && break
    sleep 0.02
  done
  wait $holder 2>/dev/null
  local when="1 s"
  [ -n "$zero" ] && when="$zero ms"
  echo "launcher SIGKILLed ${1:-(namespace)}: $before tagged before, $after alive after $when" \
       "(escapers started: $(grep -c '^escaped' "$out"))"
  # Leave nothing behind even when the fallback cannot promise it.
  for p in $(grep -zlxFf <(printf '%s\n' "$tag") /proc/[0-9]*/cmdline 2>/dev/null); do p=${p#/proc/}; kill -9 "${p%/cmdline}" 2>/dev/null; done
}

plain_outlives() {
  local log=$work/plain.log tag="bench-plain-$$"
  "$child" --log "$log" --plain --tag "$tag" --sleep 30
  local starter=$?
  local pid; pid=$(awk '/^started/ {print $2}' "$log")
  sleep 0.5
  local state=dead
  [ -d "/proc/$pid" ] && state=alive
  echo "plain program: starter exited with $starter, program $pid $state after it; its descriptors:"
  for fd in /proc/"$pid"/fd/*; do echo "  ${fd##*/} -> $(readlink "$fd")"; done
  kill -9 "$pid" 2>/dev/null
}

killed_launcher ""
killed_launcher --no-namespace
plain_outlives
