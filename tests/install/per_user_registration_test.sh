#!/usr/bin/env bash
# Registration for one user: regsvr32 /n /i:user and the package installed
# per user (ALLUSERS="") write the same entries as the machine-wide
# registration, under HKCU\Software\Classes, with the machine's classes
# untouched; /u /n /i:user and the per-user uninstall take them away again.
. "$(dirname "$0")/wine_state.sh"

dir_unix="$DRIVE_C/KavTest/user"
dir='C:\KavTest\user'
components="$KAV_COMMANDS"
trap 'rm -rf "$DRIVE_C/KavTest" "$WORK"' EXIT
rm -rf "$DRIVE_C/KavTest"
mkdir -p "$dir_unix"
for c in $components; do cp "$KAV_RELEASE/$c.dll" "$dir_unix/"; done
cp "$KAV_RELEASE/kavlink.dll" "$dir_unix/"

machine='HKEY_LOCAL_MACHINE\Software\Classes' user='HKEY_CURRENT_USER\Software\Classes'
dlls=()
for c in $components; do dlls+=("$dir\\$c.dll"); done

# The machine-wide entries, moved to the user's classes: what is expected.
# Registrations left in the prefix by other runs go first: RegisterTypeLib
# keeps an existing HELPDIR.
quiet_wine regsvr32 /u /s "${dlls[@]}" || true
quiet_wine regsvr32 /s "${dlls[@]}"
expected=$(component_text "$(reg_text 'HKLM\Software\Classes')" "$machine" $components \
    | sed 's/^\[HKEY_LOCAL_MACHINE\\Software\\Classes\\/[HKEY_CURRENT_USER\\Software\\Classes\\/')
quiet_wine regsvr32 /u /s "${dlls[@]}"
check "machine-wide registration wrote the reference" [ -n "$expected" ]

machine_before=$(reg_text 'HKLM\Software\Classes')
check "none of the components' keys for the machine" [ -z "$(component_text "$machine_before" "$machine" $components)" ]
check "none for the user" [ -z "$(component_text "$(reg_text 'HKCU\Software\Classes')" "$user" $components)" ]

check "regsvr32 /n /i:user" quiet_wine regsvr32 /s /n /i:user "${dlls[@]}"
actual=$(component_text "$(reg_text 'HKCU\Software\Classes')" "$user" $components)
if [ -n "$actual" ] && [ "$actual" = "$expected" ]; then ok "the user's entries are the machine-wide ones under HKCU\\Software\\Classes"
else fail "the user's entries differ:"; diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | head -40 || true; fi
check "machine classes untouched by the registration" [ "$(reg_text 'HKLM\Software\Classes')" = "$machine_before" ]

check "regsvr32 /u /n /i:user" quiet_wine regsvr32 /s /u /n /i:user "${dlls[@]}"
check "the user's entries are gone" [ -z "$(component_text "$(reg_text 'HKCU\Software\Classes')" "$user" $components)" ]
check "machine classes untouched by the undo" [ "$(reg_text 'HKLM\Software\Classes')" = "$machine_before" ]
# The package for this user alone, into a folder of the user's.
pkg_dir_unix="$DRIVE_C/KavTest/pkg" pkg_dir='C:\KavTest\pkg'
mkdir -p "$pkg_dir_unix"
check "msiexec /i ALLUSERS=\"\" into $pkg_dir" quiet_wine msiexec /i "$(win "$KAV_MSI")" 'ALLUSERS=""' "INSTALLDIR=$pkg_dir" /qn
actual=$(component_text "$(reg_text 'HKCU\Software\Classes')" "$user" $components)
# regsvr32's entries for the package's folder; the installer's folder
# property ends in a backslash, RegisterTypeLib's HELPDIR does not.
moved=$(sed 's/KavTest\\\\user/KavTest\\\\pkg/' <<<"$expected" | sed '/\\HELPDIR\]$/{n;s/"$/\\\\"/}')
if [ -n "$actual" ] && [ "$actual" = "$moved" ]; then ok "the per-user package's rows are the same entries under HKCU\\Software\\Classes"
else fail "the per-user package's rows differ:"; diff <(printf '%s\n' "$moved") <(printf '%s\n' "$actual") | head -40 || true; fi
check "the folder is remembered for the user" grep -qi 'KavTest\\\\pkg' <<<"$(reg_text 'HKCU\Software\Kavlink')"
check "machine classes untouched by the per-user package" [ "$(reg_text 'HKLM\Software\Classes')" = "$machine_before" ]
check "msiexec /x ALLUSERS=\"\"" quiet_wine msiexec /x "$(win "$KAV_MSI")" 'ALLUSERS=""' /qn
check "the package's files are gone" [ -z "$(ls -A "$pkg_dir_unix" 2>/dev/null)" ]
check "the user's entries are gone after the uninstall" [ -z "$(component_text "$(reg_text 'HKCU\Software\Classes')" "$user" $components)" ]
check "no remembered folder after the uninstall" [ -z "$(reg_text 'HKCU\Software\Kavlink')" ]

check "an unknown DllInstall command line is refused" bash -c '! wine regsvr32 /s /n /i:everyone "$1" </dev/null >/dev/null 2>&1' - "${dlls[0]}"
finish
