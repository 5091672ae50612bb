#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a build (or unpacks the Debian package) into a staging folder and looks at it the way a
# packager and a desktop do.
# Usage: InstallCheck.sh BUILD_DIR|PACKAGE.deb PROJECT_VERSION
set -euo pipefail
build=$1 version=$2
id=io.github.brenvik.brenvik3d
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
export LC_ALL=C.UTF-8
if [[ $build == *.deb ]]; then
    dpkg-deb -x "$build" "$staging"
else
    cmake --install "$build" --prefix "$staging/usr" >/dev/null
fi
root=$staging/usr
fails=0
fail() {
    echo "FAIL: $*" >&2
    fails=$((fails + 1))
}

icons=()
for size in 16 32 48 64 128 256; do icons+=("share/icons/hicolor/${size}x${size}/apps/$id.png"); done
for f in bin/brenvik3d bin/brenvik3d-cli share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg "${icons[@]}" share/brenvik3d/manual.html \
    share/brenvik3d/screenshot.png share/brenvik3d/screenshot-trend.png \
    share/brenvik3d/samples/fc3d-history.txt share/brenvik3d/samples/pl3-history.txt \
    share/man/man1/brenvik3d.1.gz share/man/man1/brenvik3d-cli.1.gz share/bash-completion/completions/brenvik3d-cli \
    share/zsh/vendor-completions/_brenvik3d-cli share/fish/vendor_completions.d/brenvik3d-cli.fish \
    share/doc/brenvik3d/copyright share/doc/brenvik3d/changelog.gz \
    share/doc/brenvik3d/json.md.gz share/brenvik3d/schema/follow.json share/doc/brenvik3d/schema/follow.json \
    share/lintian/overrides/brenvik3d \
    lib/systemd/user/brenvik3d-update.service lib/systemd/user/brenvik3d-update.timer; do
    [ -s "$root/$f" ] || fail "$f is not installed"
done
# The copyright file names the licence, which the system holds; documentation is compressed, and
# the schemas are installed once (the documentation's folder leads to them).
[ ! -e "$root/share/doc/brenvik3d/LICENSE" ] || fail "the licence is installed beside the copyright file"
uncompressed=$(find "$root/share/doc" "$root/share/man" -type f ! -name '*.gz' ! -name copyright)
[ -z "$uncompressed" ] || fail "documentation installed uncompressed: $uncompressed"
[ -L "$root/share/doc/brenvik3d/schema" ] || fail "the schemas are installed twice"
for png in "${icons[@]}"; do
    want=${png#share/icons/hicolor/}
    want=${want%%x*}
    read -r w h < <(od -An -j16 -N8 --endian=big -tu4 "$root/$png")
    [ "$w $h" = "$want $want" ] || fail "$png is ${w}x$h"
done

# The desktop entry: valid without even a hint, and its command and icon are what was installed.
desktop=$root/share/applications/$id.desktop
if ! out=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$out" ]; then
    fail "desktop-file-validate: $out"
fi
[ -x "$root/bin/$(sed -n '/^\[Desktop Entry\]/,/^\[/s/^Exec=\([^ ]*\).*/\1/p' "$desktop")" ] || fail "the desktop entry starts no installed program"
[ "$(sed -n 's/^Icon=//p' "$desktop")" = "$id" ] || fail "the desktop entry names another icon"
grep -q '^Name\[zh_CN\]=' "$desktop" && grep -q '^Comment\[zh_CN\]=' "$desktop" || fail "no Chinese name or comment"
# Its actions, 走势图 and 在线更新, start the window with an option the window takes.
actions=$(sed -n 's/^Actions=//p' "$desktop")
[ "$actions" = "trend;update;" ] || fail "the desktop entry's actions are '$actions'"
for action in trend update; do
    exec=$(sed -n "/^\[Desktop Action $action\]/,/^\[/s/^Exec=//p" "$desktop")
    [ "$exec" = "brenvik3d --$action" ] || fail "the action $action runs '$exec'"
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/brenvik3d" --help | grep -q -- "--$action" ||
        fail "the window does not take --$action"
done

metainfo=$root/share/metainfo/$id.metainfo.xml
# Not even a pedantic remark; and a content rating, which software centres want before they list it.
if ! out=$(appstreamcli validate --pedantic --no-net "$metainfo" 2>&1) || grep -q '^[EWIP]:' <<<"$out"; then
    fail "appstreamcli: $out"
fi
grep -q '<content_attribute id="money-gambling">' "$metainfo" || fail "the AppStream data rates no gambling content"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the AppStream data has no release $version"

for page in brenvik3d brenvik3d-cli; do
    out=$(MANWIDTH=100 man --warnings -l "$root/share/man/man1/$page.1.gz" 2>"$staging/man.err") || fail "man -l $page.1 failed"
    [ ! -s "$staging/man.err" ] || fail "man -l $page.1: $(cat "$staging/man.err")"
    grep -q "Brenvik 3D $version" <<<"$out" || fail "the $page manual page shows another version"
done

# The evening update: the timer at 21:45 in China, the service updating both games without ever
# removing old years, through the companion that was installed.
service=$root/lib/systemd/user/brenvik3d-update.service timer=$root/lib/systemd/user/brenvik3d-update.timer
grep -qx 'OnCalendar=\*-\*-\* 21:45:00 Asia/Shanghai' "$timer" || fail "the timer does not run at 21:45 China time"
run=$(sed -n 's/^ExecStart=//p' "$service")
grep -q -- '--quiet --game 3d update' <<<"$run" && grep -q -- '--quiet --game pl3 update' <<<"$run" ||
    fail "the service does not update both games quietly"
! grep -q -- '--yes' <<<"$run" || fail "the service may remove old years"
grep -qx 'SuccessExitStatus=3' "$service" || fail "the service takes an update stopped at a missing issue for a failure"
[[ $run == *"/bin/brenvik3d-cli" ]] || fail "the service runs no brenvik3d-cli"
if command -v systemd-analyze >/dev/null; then
    out=$(systemd-analyze verify --man=no "$service" "$timer" 2>&1) || fail "systemd-analyze verify: $out"
fi
# The changelog is Debian's, without a remark from its parser, and its newest entry is this version.
zcat "$root/share/doc/brenvik3d/changelog.gz" >"$staging/changelog"
[ "$(dpkg-parsechangelog -l "$staging/changelog" -S Version 2>&1)" = "$version" ] ||
    fail "the Debian changelog: $(dpkg-parsechangelog -l "$staging/changelog" -S Version 2>&1)"

# Both programs answer --version, the window also --help, without a display.
[ "$("$root/bin/brenvik3d-cli" --version)" = "brenvik3d-cli $version" ] || fail "brenvik3d-cli --version"
headless=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
[ "$("${headless[@]}" "$root/bin/brenvik3d" --version)" = "Brenvik3D $version" ] || fail "brenvik3d --version"
"${headless[@]}" "$root/bin/brenvik3d" --help | grep -q -- '--version' || fail "brenvik3d --help"

# The companion's help, manual page and completion (bash, zsh and fish) are written from the same
# definitions: the options the help of each command lists are those under its name in the manual
# page and those each completion offers, and the exit statuses it lists are those of the manual.
completion=$root/share/bash-completion/completions/brenvik3d-cli
zsh_completion=$root/share/zsh/vendor-completions/_brenvik3d-cli
fish_completion=$root/share/fish/vendor_completions.d/brenvik3d-cli.fish
for shell in zsh fish; do command -v $shell >/dev/null || fail "$shell is missing: its completion goes unchecked"; done
export HOME=$staging/home XDG_CONFIG_HOME=$staging/config XDG_DATA_HOME=$staging/data
zcat "$root/share/man/man1/brenvik3d-cli.1.gz" >"$staging/brenvik3d-cli.1"
listed() { sed -n 's/^  \(-[a-z], \)\{0,1\}\(--[a-z][a-z0-9-]*\).*/\2/p' | sort; }
# What each shell offers for the words typed so far, the last one being completed ("" for nothing
# typed yet): bash and zsh through their completion functions (zsh's own helpers stand in by
# printing what they are given), fish through its own completion, each word once, sorted.
offers() {
    local shell=$1
    shift
    case $shell in
    bash)
        # shellcheck disable=SC2016 # expanded by the inner shell
        bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _brenvik3d_cli
                 printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" brenvik3d-cli "$@"
        ;;
    zsh)
        # shellcheck disable=SC2016 # expanded by the inner shell
        zsh -f -c 'offer() { print -rl -- ${(M)@:#${(b)words[CURRENT]}*} }
                   _describe() { local list=${@[-1]}; offer ${${(P)list}%%:*} }
                   compadd() { [[ $1 == -- ]] && shift; offer "$@" }
                   _files() { [[ $1 == -/ ]] && print @dir || print @file }
                   _message() { : }
                   words=("${(@)argv[2,-1]}"); CURRENT=${#words}; source "$1"' _ "$zsh_completion" brenvik3d-cli "$@"
        ;;
    fish)
        local line="brenvik3d-cli"
        for w in "$@"; do line+=" $w"; done
        # shellcheck disable=SC2016 # expanded by fish
        fish --no-config -c 'source $argv[1]; complete -C $argv[2]' "$fish_completion" "$line" | cut -f1 |
            grep -- "^$(sed 's/[][\.*^$]/\\&/g' <<<"${*: -1}")" || true
        ;;
    esac | { grep -v '^$' || true; } | sort -u
}
# The exit statuses a help lists, a line per meaning: "1<TAB>meaning", "undo 1<TAB>meaning".
help_statuses() {
    sed -n '/^Exit status:$/,$p' | tail -n +2 |
        awk '/^   / { sub(/^ +/, ""); row = row " " $0; next } { if (row != "") print row; row = $0 } END { if (row != "") print row }' |
        sed 's/^  \(.*[0-9]\) \{2,\}/\1\t/' | awk -F'\t' '{ n = split($2, m, "; "); for (i = 1; i <= n; i++) print $1 "\t" m[i] }' | sort
}
man_statuses() {
    sed -n '/^\.SH EXIT STATUS/,/^\.SH /p' "$staging/brenvik3d-cli.1" | awk '/^\.TP/ { getline tag; getline text; print tag "\t" text }' |
        sed 's/^\.B "\(.*\)"\t/\1\t/; s/\\-/-/g; s/\\e/\\/g; s/\t\\&/\t/; s/\.$//; s/\t\(.\)/\t\l\1/' |
        awk -F'\t' '{ n = split($2, m, "; "); for (i = 1; i <= n; i++) print $1 "\t" m[i] }' | sort
}
commands=$("$root/bin/brenvik3d-cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z]\{1,\}\( [a-z]\{1,\}\)\{0,1\}\).*/\1/p')
[ -n "$commands" ] || fail "brenvik3d-cli --help lists no command"
[ -n "$(man_statuses)" ] || fail "the manual page lists no exit status"
# The program itself (no command), every command, and the commands that have commands (log).
while read -r command; do
    # shellcheck disable=SC2086 # a command of two words
    help=$("$root/bin/brenvik3d-cli" $command --help)
    options=$(listed <<<"$help")
    [ -n "$options" ] || fail "brenvik3d-cli $command --help lists no option"
    manual=$(sed -n "/^\.SS \"brenvik3d-cli${command:+ $command}\"\$/,/^\.S[SH]/p" "$staging/brenvik3d-cli.1" |
        awk '/^\.TP/ { getline; print }' | grep -o -- '\\-\\-[a-z][a-z0-9-]*' | sed 's/\\-/-/g' | sort)
    diff <(echo "$options") <(echo "$manual") >&2 || fail "brenvik3d-cli $command: the help and the manual page differ"
    for shell in bash zsh fish; do
        # shellcheck disable=SC2086 # a command of two words
        diff <(echo "$options") <(offers $shell $command --) >&2 ||
            fail "brenvik3d-cli $command: the help and the $shell completion differ"
    done
    if [ -z "$command" ]; then
        want=$(man_statuses)
    else
        want=$(man_statuses | awk -F'\t' -v c="$command" '$1 ~ /^[0-9]+$/ { print; next } { n = $1; sub(/ [0-9]+$/, "", n); s = $1; sub(/.* /, "", s); if (n == c) print s "\t" $2 }' | sort)
    fi
    diff <(help_statuses <<<"$help") <(echo "$want") >&2 ||
        fail "brenvik3d-cli $command: the exit statuses of the help and the manual page differ"
done < <(echo; echo "$commands"; echo "$commands" | sed -n 's/ .*//p' | sort -u)
# help COMMAND prints what COMMAND --help prints.
[ "$("$root/bin/brenvik3d-cli" help log add)" = "$("$root/bin/brenvik3d-cli" log add --help)" ] ||
    fail "brenvik3d-cli help log add is not the help of log add"
# And the overall help names every option of every command, as the whole manual page and
# completion do.
options() { grep -o -- '--[a-z][a-z0-9-]*[a-z0-9]' | sort -u; }
diff <("$root/bin/brenvik3d-cli" --help | options) <(options <"$completion") >&2 ||
    fail "the completion and brenvik3d-cli --help name different options"
diff <("$root/bin/brenvik3d-cli" --help | options) <(sed 's/\\-/-/g' "$staging/brenvik3d-cli.1" | options) >&2 ||
    fail "the manual page and brenvik3d-cli --help name different options"
# The words typed so far, the last one being completed ("_": nothing typed yet), and the answer
# of every shell.
while IFS='|' read -r words want; do
    # shellcheck disable=SC2086 # the words of the command line
    set -- $words
    set -- "${@/#_/}"
    for shell in bash zsh fish; do
        got=$(offers $shell "$@" | tr '\n' ' ' | sed 's/ $//')
        [ "$got" = "$(tr ' ' '\n' <<<"$want" | sort -u | tr '\n' ' ' | sed 's/^ //; s/ $//')" ] ||
            fail "$shell completing '$words': '$got', not '$want'"
    done
done <<'TABLE'
_|import export add undo restore follow combo backtest log update omission filter help
log _|add play list withdraw
help _|import export add undo restore follow combo backtest log update omission filter help
help log _|add play list withdraw
--home /tmp log add --pi|--pick
log --home /tmp l|list
log list --f|--format
fol|follow
omission --|--home --game --range --last --format --quiet --verbose --help
filter --k|--kill --kill1 --kill2 --kill3
filter --form _|baozi zusan zuliu
--home /tmp c|combo
follow --ch|--check
combo --ch|
backtest --p|--positions --pick
add --|--home --game --segment --quiet --verbose --help
combo --si|--size
follow --range _|
export --home /tmp --game pl3 --|--home --game --quiet --verbose --help
follow --size|
--game _|3d pl3
--game pl3 im|import
follow --result-type _|number bigsmall oddeven segment
--|--home --game --version --quiet --verbose --help
TABLE

# The page parser and the web client are plugins in the installation's private library folder,
# linked against their libraries as any program is; the programs name no library file and load
# the plugins from beside themselves: the installed companion reads a loopback chart site.
plugins=$(find "$root/lib" -path '*/brenvik3d/brenvik3d-*.so' -printf '%P %m\n' | sort)
[[ $plugins == *"brenvik3d/brenvik3d-html.so 644"*"brenvik3d/brenvik3d-http.so 644"*"brenvik3d/brenvik3d-surfaces.so 644"*"brenvik3d/brenvik3d-xlsx.so 644"* ]] ||
    fail "the plugins are not installed as private libraries: $plugins"
for program in brenvik3d brenvik3d-cli; do
    ! grep -q -a -E 'lib(xml2|curl|xlsxwriter)\.so' "$root/bin/$program" || fail "$program names a library file"
done
# The window's first paint needs none of the charts, printing, network or spreadsheet libraries:
# its plugins load them afterwards.
needed=$(readelf -d "$root/bin/brenvik3d" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
for library in Qt6Charts Qt6PrintSupport Qt6Network Qt6OpenGL xlsxwriter; do
    ! grep -q "lib$library" <<<"$needed" || fail "brenvik3d links lib$library, which its first paint does not need"
done
# The package's dependencies on them come from dpkg-shlibdeps, with the versions their symbols need.
if [[ $build == *.deb ]]; then
    depends=$(dpkg-deb -f "$build" Depends)
    for library in libxml2 'libcurl[0-9a-z-]*'; do
        [[ $depends =~ (^|, )$library\ \(\>=\ [0-9] ]] || fail "the package depends on no version of $library: $depends"
    done
fi
python3 - "$staging/port" <<'PY' &
import http.server, re, sys
class ChartSite(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        year = int(re.search(r"span=(\d{4})", self.path).group(1))
        first = 225 if year == 2026 else 1  # 2026: the draws after the end of the shipped history
        rows = "".join(f"<tr><td>{year}-{k:03d}</td><td>{k % 10}</td><td>{(k + 1) % 10}</td><td>{(k + 2) % 10}</td></tr>"
                       for k in range(first, first + 5))
        body = f"<html><body><table>{rows}</table></body></html>".encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args):
        pass
site = http.server.HTTPServer(("127.0.0.1", 0), ChartSite)
with open(sys.argv[1] + ".new", "w") as f:
    f.write(str(site.server_port))
__import__("os").rename(sys.argv[1] + ".new", sys.argv[1])
site.serve_forever()
PY
server=$!
for _ in $(seq 100); do [ -s "$staging/port" ] && break; sleep 0.1; done
out=$(XDG_CONFIG_HOME=$staging/config timeout 60 "$root/bin/brenvik3d-cli" --home "$staging/update" --game pl3 update \
    --site "http://127.0.0.1:$(cat "$staging/port" 2>/dev/null)" --years 2 --pause 0 2>&1) || true
kill "$server" 2>/dev/null || true
wait "$server" 2>/dev/null || true
# An empty history starts with the draws of the shipped history the companion finds in its own
# installation, then takes the site's newer draws.
grep -q '^2026年 5 期$' <<<"$out" && grep -q '期取自附带的样本。' <<<"$out" ||
    fail "the installed companion did not read its shipped history and a chart site: $out"

# The window finds its sample histories in the installed tree, not in the sources it was built from.
sample=$root/share/brenvik3d/samples/fc3d-history.txt
echo "2099001 123" >>"$sample"
copied=$staging/home/历史号码/福彩3D历史号码.txt
QT_QPA_PLATFORM=offscreen BRENVIK3D_HOME=$staging/home XDG_CONFIG_HOME=$staging/config \
    timeout 60 "$root/bin/brenvik3d" >/dev/null 2>&1 &
window=$!
for _ in $(seq 150); do
    cmp -s "$copied" "$sample" && break
    sleep 0.2
done
kill "$window" 2>/dev/null || true
wait "$window" 2>/dev/null || true
cmp -s "$copied" "$sample" || fail "the window did not copy the installed sample histories"

[ "$fails" -eq 0 ] && echo "installed tree complete"
exit $((fails > 0))
