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

# --- Boards on COM ports ------------------------------------------------------
# A Windows program reaches a board through \\.\COMn; here a Linux sim11 on a
# pseudo-terminal stands for the board, and the prefix's link dosdevices/comn
# points at that terminal (what Wine opens for COMn).
#   wine_host_tools <root> <folder>           # $host_sim11 and $host_asmhc11
#   wine_com_board <n> loader|monitor <argument>...
#   wine_com_test_boards <root> <folder>      # the boards of the tests, COM5-7
#   ...  "$wine" program.exe  (opens COMn)  ...
#   wine_com_boards_end                       # the sim11s ended, the links gone

# Builds the simulator and the assembler for this machine, in <folder> (the
# rules alone, no tests), and names them. Exits the script when they do not build.
wine_host_tools() {
  local root=$1 folder=$2
  cmake -S "$root" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVREL_RULES_ONLY=ON \
    -DKAVREL_TESTS=OFF -DKAVREL_LAYERING=OFF >"$folder.log" 2>&1 &&
    cmake --build "$folder" --target sim11 asmhc11 >>"$folder.log" 2>&1 || {
    echo "Le simulateur sim11 pour Linux (cartes sur les ports COM) ne se construit pas : voir $folder.log" >&2
    exit 1
  }
  host_sim11="$folder/bin/sim11"
  host_asmhc11="$folder/bin/asmhc11"
}

wine_com_pids=()
wine_com_links=()

# Starts `$host_sim11 --sci pty <argument>...` and links COM<n> of the prefix
# to its terminal. "loader": the chip starts in its bootstrap loader, whose
# break is taken here (a board's is long gone when the user starts a load);
# "monitor": a monitor in ROM greets and waits, left as it is. Returns 1, with
# what sim11 said, when it opens no terminal.
wine_com_board() {
  local n=$1 start=$2
  shift 2
  local said
  said=$(mktemp)
  "$host_sim11" --sci pty "$@" </dev/null >/dev/null 2>"$said" &
  wine_com_pids+=($!)
  local pid=$! path="" tries=0
  while [[ -z "$path" ]] && ((tries++ < 100)) && kill -0 "$pid" 2>/dev/null; do
    path=$(sed -n -E 's/^sim11 : terminal (.*)$/\1/p' "$said" | head -n1)
    [[ -n "$path" ]] || sleep 0.1
  done
  if [[ -z "$path" ]]; then
    echo "sim11 n'a pas ouvert de pseudo-terminal pour COM$n : $(cat "$said")" >&2
    rm -f "$said"
    return 1
  fi
  rm -f "$said"
  ln -sfn "$path" "$WINEPREFIX/dosdevices/com$n"
  wine_com_links+=("$WINEPREFIX/dosdevices/com$n")
  if [[ "$start" == loader ]]; then
    timeout 5 dd if="$path" of=/dev/null bs=1 count=1 status=none 2>/dev/null || true
  fi
}

# The boards the tests take, each variable exported once its board is up:
# COM5 a 68HC11E9 in its bootstrap loader at 1200 bauds (KAVREL_COM_BOOT),
# COM6 another one for the talker, which sets its own speeds
# (KAVREL_COM_TALKER), COM7 the evaluation board with BUFFALO, assembled in
# <folder> from ../shared/testdata where it is (KAVREL_COM_MONITOR).
#   wine_com_test_boards <root> <folder>
wine_com_test_boards() {
  local root=$1 folder=$2
  mkdir -p "$folder"
  # Wine's server, once a serial port has been used, lists every object it
  # holds as it ends (thousands of lines): a server of its own is started
  # here, its words kept in a log.
  wine_settle 30
  "$wineserver" -p3 >/dev/null 2>"$folder/wineserver.log" || true
  if wine_com_board 5 loader --chip E9 --mode boot --baud 1200; then
    export KAVREL_COM_BOOT=COM5
  fi
  if wine_com_board 6 loader --chip E9 --mode boot; then
    export KAVREL_COM_TALKER=COM6
  fi
  local buffalo="$root/../shared/testdata/buffalo-34.asm"
  if [[ -f "$buffalo" ]]; then
    cp "$buffalo" "$folder/buffalo.asm"
    if "$host_asmhc11" "$folder/buffalo.asm" >/dev/null &&
       wine_com_board 7 monitor --board evb --mode expanded "$folder/buffalo.S19"; then
      export KAVREL_COM_MONITOR=COM7
    fi
  fi
}

wine_com_boards_end() {
  local pid link
  for pid in "${wine_com_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  for link in "${wine_com_links[@]}"; do
    rm -f "$link"
  done
  wine_com_pids=()
  wine_com_links=()
  unset KAVREL_COM_BOOT KAVREL_COM_TALKER KAVREL_COM_MONITOR
}
