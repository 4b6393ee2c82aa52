#!/bin/bash
# Builds the Debian package as it is shipped (a release tree of its own,
# configured with cmake/debian-package.cmake, kept between runs so only what
# changed is rebuilt), checks it with lintian, desktop-file-validate and
# appstreamcli, unpacks it into a scratch root and starts the unpacked kavrel
# offscreen beside its unpacked assembler and help files.
#   check_package.sh <source dir> <work dir> <CMake generator> [<C++ compiler>]
# Exits 77 (test skipped) when a Debian packaging tool is missing.
set -uo pipefail
source_dir=$1
work=$2
generator=$3
compiler=${4:-}
failures=0

fail() {
    echo "ÉCHEC : $*"
    failures=$((failures + 1))
}

missing=()
for tool in lintian dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli file gzip; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "Test du paquet ignoré : ${missing[*]} absent(s) ; scripts/deps les installe."
    exit 77
fi

build=$work/build
root=$work/racine
rm -rf "$root" "$work/essai"
mkdir -p "$work"

# An initial cache only counts on the first configuration: start again when it changed.
if [[ $source_dir/cmake/debian-package.cmake -nt $build/CMakeCache.txt ]]; then
    rm -rf "$build"
fi
if [[ ! -f $build/CMakeCache.txt ]]; then
    configure=(cmake -C "$source_dir/cmake/debian-package.cmake" -S "$source_dir" -B "$build"
               -G "$generator")
    [[ -n $compiler ]] && configure+=(-DCMAKE_CXX_COMPILER="$compiler")
    if ! "${configure[@]}" >"$work/configure.log" 2>&1; then
        cat "$work/configure.log"
        echo "ÉCHEC : configuration de l'arbre du paquet"
        exit 1
    fi
fi
if ! cmake --build "$build" >"$work/build.log" 2>&1; then
    tail -n 60 "$work/build.log"
    echo "ÉCHEC : compilation de l'arbre du paquet"
    exit 1
fi
rm -f "$build"/*.deb
if ! (cd "$build" && cpack -G DEB) >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "ÉCHEC : cpack -G DEB"
    exit 1
fi
debs=("$build"/kavrel_*.deb)
if [[ ${#debs[@]} -ne 1 || ! -f ${debs[0]} ]]; then
    echo "ÉCHEC : cpack n'a pas produit un seul kavrel_*.deb"
    exit 1
fi
deb=${debs[0]}
echo "Paquet : $(basename "$deb")"

# Errors and warnings fail; the informational tags are shown for the record.
lintian_out=$(lintian --display-info --fail-on error,warning "$deb" 2>&1)
lintian_status=$?
echo "$lintian_out"
if [[ $lintian_status -ne 0 ]] || grep -qE '^[EW]: ' <<<"$lintian_out"; then
    fail "lintian signale des erreurs ou des avertissements (code $lintian_status)"
fi

dpkg-deb -x "$deb" "$root" || { echo "ÉCHEC : dpkg-deb -x"; exit 1; }
version=$(dpkg-deb -f "$deb" Version)
program_dir=$root/usr/lib/kavrel

desktop=$root/usr/share/applications/kavrel.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate refuse $desktop"
metainfo=$(find "$root/usr/share/metainfo" -name '*.metainfo.xml' 2>/dev/null)
if [[ $(wc -w <<<"$metainfo") -ne 1 ]]; then
    fail "il faut un seul fichier .metainfo.xml dans /usr/share/metainfo (trouvé : ${metainfo:-aucun})"
else
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli refuse $metainfo"
    # The software centres name the release; a new version needs its entry.
    grep -q "<release version=\"$version\"" "$metainfo" \
        || fail "$metainfo ne décrit pas la version $version"
fi
first=$(gzip -dc "$root/usr/share/doc/kavrel/changelog.gz" 2>/dev/null | head -n 1)
[[ $first == "kavrel ($version) "* ]] \
    || fail "la première entrée du changelog n'est pas la version $version : $first"

# Every program of the package has its manual page, those of the program
# directory too (lintian only looks at /usr/bin).
for program in "$root"/usr/bin/* "$program_dir"/*; do
    [[ -f $program && -x $program ]] || continue
    name=$(basename "$program")
    [[ $name == LANCEUR.sh ]] && continue
    [[ -f $root/usr/share/man/man1/$name.1.gz ]] || fail "pas de page de manuel pour $name"
done

# The program directory, as unpacked.
for name in kavrel asmhc11 Kavrel.hlp asmhc11.hlp LANCEUR.sh; do
    [[ -f $program_dir/$name ]] || fail "$program_dir/$name manque"
done
cmp -s "$source_dir/data/Kavrel.hlp" "$program_dir/Kavrel.hlp" \
    || fail "Kavrel.hlp du paquet diffère de data/Kavrel.hlp"
# The program and the tools beside it are on the PATH.
for name in kavrel asmhc11 sim11; do
    [[ $(readlink "$root/usr/bin/$name") == ../lib/kavrel/$name ]] \
        || fail "/usr/bin/$name ne mène pas à ../lib/kavrel/$name"
done

# The unpacked assembler, stripped and hardened, still assembles.
mkdir -p "$work/essai"
printf '\tORG\t$C000\nDEBUT\tLDAA\t#$12\n\tRTS\n\tEND\tDEBUT\n' >"$work/essai/essai.asc"
if ! (cd "$program_dir" && ./asmhc11 "$work/essai/essai.asc") >"$work/essai/asmhc11.log" 2>&1; then
    cat "$work/essai/asmhc11.log"
    fail "l'asmhc11 du paquet n'assemble pas un programme correct"
fi
grep -q '^S1' "$work/essai/essai.S19" 2>/dev/null || fail "l'asmhc11 du paquet n'a pas écrit essai.S19"

# The unpacked kavrel, started through the link in /usr/bin: it must come up
# (the system's Qt, QScintilla and the offscreen platform loaded) and run from
# the unpacked program directory, which Qt answers as its own directory and
# where it looks for asmhc11 and the help files.
home=$work/essai/home
mkdir -p "$home" && chmod 700 "$home"
HOME=$home XDG_RUNTIME_DIR=$home QT_QPA_PLATFORM=offscreen \
    "$root/usr/bin/kavrel" >"$work/essai/kavrel.log" 2>&1 &
pid=$!
up=0
for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    if grep -q libqoffscreen "/proc/$pid/maps" 2>/dev/null \
        && grep -q libqscintilla2 "/proc/$pid/maps" 2>/dev/null; then
        up=1
        break
    fi
    sleep 0.1
done
if [[ $up -eq 1 ]]; then
    # Past its start, the main window built: still running a moment later.
    sleep 2
    kill -0 "$pid" 2>/dev/null || up=0
fi
exe=$(readlink "/proc/$pid/exe" 2>/dev/null)
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
if [[ $up -ne 1 ]]; then
    cat "$work/essai/kavrel.log"
    fail "le kavrel du paquet ne démarre pas"
elif [[ $exe != "$program_dir/kavrel" ]]; then
    fail "le kavrel lancé par /usr/bin/kavrel est $exe, pas $program_dir/kavrel"
fi

if [[ $failures -gt 0 ]]; then
    echo "$failures vérification(s) en échec"
    exit 1
fi
rm -rf "$root" "$work/essai"
echo "Paquet conforme"
