# Wine for the scripts that run Windows programs, written once. Sourced:
#   source "$root/scripts/lib/wine.sh"
#   wine_prefix <folder> [new]   # Wine found, its prefix made ready
#   ... "$wine" program.exe ...
#   wine_settle [seconds]        # the prefix's processes ended
# After wine_prefix, $wine is the loader and $wineserver its server;
# WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES are exported and WINEPATH is
# unset. Every wait is bounded by KAVREL_WINDOWS_TIMEOUT (300 s by default).

wine_limit="${KAVREL_WINDOWS_TIMEOUT:-300}"

# Finds the loader; Debian installs it outside PATH unless the wine package is
# there too. Exits the script when Wine is missing.
wine_find() {
  wine=$(command -v wine64 || command -v wine || true)
  if [[ -z "$wine" && -x /usr/lib/wine/wine64 ]]; then wine=/usr/lib/wine/wine64; fi
  if [[ -z "$wine" ]]; then
    echo "Wine est introuvable : lancez scripts/deps." >&2
    exit 1
  fi
  wineserver="$(dirname "$wine")/wineserver"
}

# Uses the prefix <folder>, made on first use and left to settle (its
# services end) before anything runs in it. With "new", any earlier prefix
# there is removed first, so the programs meet a machine that never saw them.
wine_prefix() {
  local folder=$1 fresh=${2:-}
  wine_find
  export WINEPREFIX="$folder"
  export WINEDEBUG=-all
  # No Mono or Gecko installer prompt, no desktop menu entries in the home folder.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  unset WINEPATH
  if [[ "$fresh" == new ]]; then
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    timeout "$wine_limit" "$wine" wineboot -i >/dev/null 2>&1
    timeout "$wine_limit" "$wineserver" -w 2>/dev/null || true
  fi
}

# Waits for the prefix's processes (a program that copied itself away, a
# service) to end; leaves no wineserver behind.
wine_settle() {
  timeout "${1:-$wine_limit}" "$wineserver" -w 2>/dev/null || true
}
