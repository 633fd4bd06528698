# Shared by the install tests (sourced): the Wine prefix's registry and
# files as comparable text, and small checks.  CTest gives KAV_* (see
# CMakeLists.txt); ./kav gives WINEPREFIX and the running Wine server.
set -euo pipefail
[ -n "${KAV_TRACE:-}" ] && { PS4='+ $(date +%T) '; set -x; }
fails=0
ok() { printf 'ok: %s\n' "$*"; }
fail() { printf 'FAILED: %s\n' "$*"; fails=$((fails + 1)); }
check() { local what="$1"; shift; if "$@"; then ok "$what"; else fail "$what"; fi; }
finish() { printf '%s failed\n' "$fails"; [ "$fails" -eq 0 ]; }

[ -n "${WINEPREFIX:-}" ] || { echo "no WINEPREFIX (run through ./kav test)" >&2; exit 2; }
DRIVE_C="$WINEPREFIX/drive_c"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

win() { winepath -w "$1" 2>/dev/null; }
quiet_wine() { wine "$@" </dev/null >"$WORK/wine.out" 2>&1; }

# A registry tree as sorted UTF-8 text ("" when it does not exist).
# One Wine process per export (each costs seconds on a busy machine).
# Windows Installer's own bookkeeping keys, which it leaves behind empty
# after an uninstall, are not ours and are dropped.
reg_text() {
    local out="$WORK/export.reg"
    rm -f "$out"
    wine reg export "$1" "$(win "$out")" /y </dev/null >/dev/null 2>&1 || { echo ""; return 0; }
    iconv -f UTF-16LE -t UTF-8 "$out" | tr -d '\r' | sed '1s/^\xEF\xBB\xBF//' \
        | awk -v RS= -v ORS='\n\n' '!/^\[[^\n]*\\Installer[^\n]*\]$/'
}

# Files below drive_c except Wine's and the installer's scratch folders.
file_listing() {
    (cd "$DRIVE_C" && find . -path ./windows/Installer -prune -o -path ./windows/temp -prune \
        -o -path './users/*/Temp' -prune -o -path './users/*/AppData/Local/Temp' -prune \
        -o -print | LC_ALL=C sort)
}

# The keys of command components (and their subkeys) out of an exported
# classes tree: text of reg_text, the export's name of that root
# (HKEY_LOCAL_MACHINE\Software\Classes), component names.  The
# identifiers come from each component's identity.h.
component_text() {  # text root name...
    local text="$1" root="$2"; shift 2
    local n ident prefixes=""
    for n in "$@"; do
        ident="$KAV_SOURCE/commands/$n/identity.h"
        local clsid libid iid
        clsid=$(sed -n 's/^#define KAVCMD_CLSID "\(.*\)"/\1/p' "$ident")
        libid=$(sed -n 's/^#define KAVCMD_LIBID "\(.*\)"/\1/p' "$ident")
        iid=$(sed -n 's/^#define KAVCMD_IID "\(.*\)"/\1/p' "$ident")
        prefixes+="$root\\CLSID\\{$clsid}|$root\\$n.MorvikVbCommand|$root\\TypeLib\\{$libid}|$root\\Interface\\{$iid}|"
    done
    # Paragraph by paragraph: a key's header line, then its values.
    PREFIXES="${prefixes%|}" awk -v RS= -v ORS='\n\n' '
        BEGIN { n = split(tolower(ENVIRON["PREFIXES"]), p, "|") }
        { key = tolower(substr($0, 2, index($0, "]") - 2))
          for (i = 1; i <= n; i++)
              if (key == p[i] || index(key, p[i] "\\") == 1) { print; break } }' <<<"$text" | sed '/^$/d'
}
