#!/usr/bin/env bash
# Renders a sine through a Linux VST2 plug-in in headless Ardour 7, saves the session,
# reloads it in a fresh Ardour process and renders again; then checks both renders.
#
# usage: ardour-render.sh PLUGIN.so WORK_DIR [options]
#   --name NAME         plug-in name as Ardour lists it (default: file name without .so)
#   --param LABEL=V     set a parameter through the host, host-normalized 0..1 (repeatable)
#   --channels N        track channels, 1 or 2 (default 2)
#   --freq HZ           sine frequency (default 1000)
#   --level DB          sine level in dBFS (default -6)
#   --seconds S         render length, at least 1.5 (default 2)
#   --rate HZ           sample rate (default 48000)
#   --min-h2 DB         least 2nd harmonic relative to the fundamental (default -90)
#   --min-h3 DB         least 3rd harmonic relative to the fundamental (default -90)
#   --skip-harmonics    do not require harmonics (for plug-ins that do not distort)
#   --tolerance T       largest allowed difference between the renders (default 1e-6)
#   --keep              keep the run's folder even when it passes
set -euo pipefail

started=$SECONDS
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

finish() {
  local status=$1 reason=$2
  echo "ardour-render: total time $((SECONDS - started)) s"
  if [[ $status == PASS ]]; then
    echo "PASS: ardour-render: $reason"
    exit 0
  fi
  echo "FAIL: ardour-render: $reason"
  exit 1
}

[[ $# -ge 2 ]] || { echo "usage: $0 PLUGIN.so WORK_DIR [options]" >&2; exit 2; }
plugin_so=$1
work_root=$2
shift 2

name="" channels=2 freq=1000 level=-6 seconds=2 rate=48000 min_h2=-90 min_h3=-90
skip_harmonics="" tolerance=1e-6 keep="" params=()
while [[ $# -gt 0 ]]; do
  case $1 in
    --name) name=$2; shift 2 ;;
    --param) params+=("$2"); shift 2 ;;
    --channels) channels=$2; shift 2 ;;
    --freq) freq=$2; shift 2 ;;
    --level) level=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --rate) rate=$2; shift 2 ;;
    --min-h2) min_h2=$2; shift 2 ;;
    --min-h3) min_h3=$2; shift 2 ;;
    --skip-harmonics) skip_harmonics=--skip-harmonics; shift ;;
    --tolerance) tolerance=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
[[ -f $plugin_so ]] || finish FAIL "no plug-in at $plugin_so"
[[ -n $name ]] || name=$(basename "$plugin_so" .so)
param_text=$(IFS=,; echo "${params[*]:--}")

# Everything private to this run, so parallel runs and the user's own Ardour stay apart.
mkdir -p "$work_root"
run=$(mktemp -d "$(cd "$work_root" && pwd)/run.XXXXXX")

# Ardour itself; CI starts from a clean machine.
ardour_lib=/usr/lib/ardour7
if ! command -v ardour7-lua >/dev/null 2>&1; then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo=sudo
  echo "ardour-render: installing ardour"
  if ! { $sudo apt-get update -qq && $sudo env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y -qq --no-install-recommends ardour; } >"$run/install.log" 2>&1; then
    tail -20 "$run/install.log"
    finish FAIL "could not install ardour (log in $run/install.log)"
  fi
fi
[[ -x $ardour_lib/ardour-vst-scanner ]] || finish FAIL "Ardour installed without $ardour_lib/ardour-vst-scanner"

export HOME=$run/home XDG_CONFIG_HOME=$run/home/.config XDG_CACHE_HOME=$run/home/.cache
export XDG_DATA_HOME=$run/home/.local/share
mkdir -p "$XDG_CONFIG_HOME/ardour7/scripts" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$run/vst" "$run/none"
cp "$here/host-test-sine.lua" "$XDG_CONFIG_HOME/ardour7/scripts/"
# Only this plug-in: LXVST_PATH replaces Ardour's default folders; other formats point nowhere.
export LXVST_PATH=$run/vst LV2_PATH=$run/none LADSPA_PATH=$run/none VST3_PATH=$run/none
unset VST_PATH

ardour_lua() { timeout 300 ardour7-lua "$@"; }

# A private copy, older than the scan: Ardour ignores a cache entry written in the
# same second as the binary's modification time.
copy=$run/vst/$(basename "$plugin_so")
cp "$plugin_so" "$copy"
touch -d '-2 seconds' "$copy"
if ! LD_LIBRARY_PATH=$ardour_lib timeout 120 "$ardour_lib/ardour-vst-scanner" -f "$copy" >"$run/scan.log" 2>&1; then
  cat "$run/scan.log"
  finish FAIL "Ardour's VST scanner rejected $plugin_so (log in $run)"
fi
grep -q "Found Plugin" "$run/scan.log" || { cat "$run/scan.log"; finish FAIL "scanner found no plug-in in $plugin_so"; }
sed -n 's/^\[Info\]: Found Plugin: /ardour-render: scanned /p' "$run/scan.log"

# First process: session, sine, plug-in, parameters, render, save.
# Second process: load the saved session, render again.
session=$run/session
pass() {
  local mode=$1; shift
  local rc=0
  ( cd "$run" && ardour_lua -- "$here/ardour-render.lua" "$mode" "$session" render "$name" "$rate" "$seconds" "$@" ) \
    >"$run/$mode.log" 2>&1 || rc=$?
  grep -E '^(PARAM|LUA-ERROR)' "$run/$mode.log" | sed "s/^/ardour-render: $mode: /" || true
  if ! grep -q "^DONE $mode\$" "$run/$mode.log"; then
    tail -20 "$run/$mode.log"
    finish FAIL "Ardour $mode pass did not finish (exit $rc; log in $run/$mode.log)"
  fi
  # A crash while Ardour closes the session (and with it the plug-in) is a failure too.
  [[ $rc -eq 0 ]] || { tail -20 "$run/$mode.log"; finish FAIL "Ardour $mode pass exited with $rc after rendering (log in $run/$mode.log)"; }
}
pass create "$freq" "$level" "$channels" "$param_text"
pass reload "$param_text"

mapfile -t dry < <(sed -n 's/^SOURCE [0-9]* //p' "$run/create.log")
mapfile -t first < <(sed -n 's/^RENDER [0-9]* //p' "$run/create.log")
mapfile -t second < <(sed -n 's/^RENDER [0-9]* //p' "$run/reload.log")
[[ ${#first[@]} -gt 0 && ${#second[@]} -gt 0 ]] || finish FAIL "no render files reported"

# The host must hand the reloaded plug-in the values it was given.
changed=$(awk -v tol="$tolerance" '
  !/^PARAM / { next }
  { label = substr($0, 7, length($0) - 7 - length($NF)) }
  FNR == NR { set[label] = $NF; next }
  { seen[label] = 1; d = $NF - set[label]; if (d < 0) d = -d
    if (!(label in set) || d > tol) printf "%s %s -> %s; ", label, set[label], $NF }
  END { for (k in set) if (!(k in seen)) printf "%s %s -> missing; ", k, set[k] }' \
  "$run/create.log" "$run/reload.log")
[[ -z $changed ]] || finish FAIL "parameter values changed across save and reload: $changed"

# Finite, processed, harmonics present, and the reload renders the same.
if ! python3 "$here/render-check.py" --first "${first[@]}" --second "${second[@]}" --dry "${dry[@]}" \
    --freq "$freq" --min-h2 "$min_h2" --min-h3 "$min_h3" --tolerance "$tolerance" \
    $skip_harmonics >"$run/check.log" 2>&1; then
  cat "$run/check.log"
  finish FAIL "$(grep -m1 '^FAIL: ' "$run/check.log" | sed 's/^FAIL: //') (run kept in $run)"
fi
cat "$run/check.log"
[[ -n $keep ]] || rm -rf "$run"
finish PASS "$name: ${#first[@]} channel(s) rendered in Ardour, same after save and reload"
