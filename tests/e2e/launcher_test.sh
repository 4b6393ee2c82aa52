#!/bin/sh
# The default launcher: the source path stays one argument whatever it holds,
# a terminal is used when one answers, and without one the assembler runs here.
#   launcher_test.sh <LANCEUR.sh>
set -u
launcher=$1
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "ÉCHEC : $*"
    failures=$((failures + 1))
}

# A program directory whose name needs quoting, with an assembler that
# records what it was given.
dir="$work/programme d'essai"
mkdir -p "$dir" "$work/bin" "$work/tools"
cp "$launcher" "$dir/LANCEUR.sh"
cat >"$dir/asmhc11" <<'ASM'
#!/bin/sh
printf '%s\n' "$#" >"$ASM_LOG"
printf '%s\n' "$1" >>"$ASM_LOG"
pwd >>"$ASM_LOG"
echo "asmhc11 a tourné"
ASM
chmod +x "$dir/asmhc11"

# Only the tools the launcher needs, so no real terminal of this machine is found.
for tool in stty dd; do
    ln -s "$(command -v "$tool")" "$work/tools/$tool"
done

source_path="$work/mes sources/\$(echo >$work/injecte) \"a\" 'b'; *.asc"
export ASM_LOG="$work/asm.log"

# A terminal: records its arguments, drops its option words, runs the rest.
fake_terminal() { # name, option words to drop, exit status
    cat >"$work/bin/$1" <<TERM
#!/bin/sh
printf '%s\n' "\$@" >"$work/terminal.log"
shift $2
"\$@" </dev/null
exit $3
TERM
    chmod +x "$work/bin/$1"
}

run() { # display, then the launcher's output goes to out.log
    rm -f "$ASM_LOG" "$work/terminal.log"
    DISPLAY=$1 PATH="$work/bin:$work/tools" /bin/sh "$dir/LANCEUR.sh" "$dir" "$source_path" \
        >"$work/out.log" 2>&1
}

check_assembled() { # case name
    expected=$(printf '1\n%s\n%s' "$source_path" "$dir")
    [ "$(cat "$ASM_LOG" 2>/dev/null)" = "$expected" ] ||
        fail "$1 : asmhc11 n'a pas reçu le source en un seul argument ($(cat "$ASM_LOG" 2>/dev/null))"
    [ ! -e "$work/injecte" ] || fail "$1 : le nom du fichier a été interprété par le shell"
}

# No display: run directly, the report on standard output.
run ""
check_assembled "sans écran"
grep -q "asmhc11 a tourné" "$work/out.log" || fail "sans écran : pas de compte rendu"
[ ! -e "$work/terminal.log" ] || fail "sans écran : un terminal a été lancé"

# x-terminal-emulator -e program args...
fake_terminal x-terminal-emulator 1 0
run ":99"
check_assembled "x-terminal-emulator"
[ "$(head -n 1 "$work/terminal.log")" = "-e" ] || fail "x-terminal-emulator : option $(head -n 1 "$work/terminal.log")"
grep -q "Appuyez sur une touche pour fermer..." "$work/out.log" ||
    fail "x-terminal-emulator : pas d'invite avant la fermeture"
rm "$work/bin/x-terminal-emulator"

# gnome-terminal -- program args...
fake_terminal gnome-terminal 1 0
run ":99"
check_assembled "gnome-terminal"
[ "$(head -n 1 "$work/terminal.log")" = "--" ] || fail "gnome-terminal : option $(head -n 1 "$work/terminal.log")"
rm "$work/bin/gnome-terminal"

# A terminal that cannot open: the next one is tried, then the direct run.
cat >"$work/bin/xterm" <<'TERM'
#!/bin/sh
exit 1
TERM
chmod +x "$work/bin/xterm"
run ":99"
check_assembled "terminal en échec"

# Missing parameters: a French message, nothing run.
rm -f "$ASM_LOG"
/bin/sh "$dir/LANCEUR.sh" "$dir" >"$work/out.log" 2>&1 && fail "sans source : code de sortie nul"
grep -q "Utilisation" "$work/out.log" || fail "sans source : pas de message"
[ ! -e "$ASM_LOG" ] || fail "sans source : asmhc11 a été lancé"

[ "$failures" -eq 0 ] && echo "LANCEUR.sh : tout est bon"
exit "$failures"
