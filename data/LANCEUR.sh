#!/bin/sh
# Lanceur de l'assembleur en mode Batch, appelé par Kavrel :
#   /bin/sh <répertoire>/LANCEUR.sh <répertoire> <source>
# Lance <répertoire>/asmhc11 sur <source> dans un terminal quand il y en a un,
# et attend une touche avant de le fermer ; sans terminal, le lance
# directement et écrit le compte rendu sur la sortie standard.
# Les noms de fichiers ne passent jamais par le shell : ils restent des
# arguments d'un bout à l'autre.

if [ "$#" -lt 2 ]; then
    echo "Utilisation : LANCEUR.sh <répertoire du programme> <source>" >&2
    exit 2
fi

# Waits for one key, without Enter when the terminal allows it.
wait_for_key() {
    printf '\n%s' "Appuyez sur une touche pour fermer..."
    if saved=$(stty -g 2>/dev/null); then
        stty -icanon -echo min 1 time 0 2>/dev/null
        dd bs=1 count=1 >/dev/null 2>&1
        stty "$saved" 2>/dev/null
    else
        read -r _ || true
    fi
    printf '\n'
}

assemble() {
    dir=$1
    source=$2
    printf 'Kavrel : assemblage de %s\n' "$source"
    cd "$dir" || return 1
    "$dir/asmhc11" "$source"
    status=$?
    printf 'Kavrel : asmhc11 a terminé (code %s).\n' "$status"
    return "$status"
}

# Inside the terminal this script runs itself again, with this mark first.
if [ "$1" = "--dans-le-terminal" ]; then
    shift
    assemble "$1" "$2"
    wait_for_key
    # The terminal's own status then tells whether the terminal itself failed.
    exit 0
fi

dir=$1
source=$2
self=$0
case $self in
    /*) ;;
    *) self=$(pwd)/$self ;;
esac

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    # Each terminal takes the command and its arguments as separate words.
    for terminal in x-terminal-emulator gnome-terminal konsole xfce4-terminal \
        mate-terminal terminator xterm; do
        command -v "$terminal" >/dev/null 2>&1 || continue
        case $terminal in
            gnome-terminal) set -- -- ;;
            xfce4-terminal | mate-terminal | terminator) set -- -x ;;
            *) set -- -e ;;
        esac
        if "$terminal" "$@" /bin/sh "$self" --dans-le-terminal "$dir" "$source"; then
            exit 0
        fi
    done
fi

# No terminal could be opened: run it here, its report on standard output.
assemble "$dir" "$source"
