#!/usr/bin/env bash
# The installer package under Wine's msiexec, as an administrator uses it:
# an older package into a custom folder, the upgrade to this one (which
# finds the folder again), the components created by ProgID from C++ and
# from VBScript, a command run under kavhost from the installed folder, and
# the uninstall, after which files and keys are exactly as before.
. "$(dirname "$0")/wine_state.sh"

cad_unix="$DRIVE_C/KavTest/CAD"
cad='C:\KavTest\CAD'
components="$KAV_COMMANDS"
classes='HKEY_LOCAL_MACHINE\Software\Classes'
on_error() { wine msiexec /x "$(win "$KAV_MSI")" /qn </dev/null >/dev/null 2>&1 || true; rm -rf "$DRIVE_C/KavTest" "$WORK"; }
trap on_error EXIT

rm -rf "$DRIVE_C/KavTest"
mkdir -p "$cad_unix/sysinfo/CSB" "$cad_unix/sysdata"
printf '[CSB履歴フォルダ削除]\r\nDeleteConfirm=1\r\n' > "$cad_unix/sysinfo/qxSystem.ini"
printf 'panel\r\n' > "$cad_unix/sysinfo/CSB/panel1.csb"
printf '[History]\r\n' > "$cad_unix/sysdata/FileOpenDlg.ini"
host_files() { (cd "$cad_unix" && find sysinfo sysdata -type f -exec md5sum {} + | LC_ALL=C sort -k2); }

# What DllRegisterServer writes for the components in that folder: the
# reference for the package's registry rows.
dlls=()
for c in $components; do cp "$KAV_RELEASE/$c.dll" "$cad_unix/"; dlls+=("$cad\\$c.dll"); done
# Registrations left in the prefix by other runs go first: RegisterTypeLib
# keeps an existing HELPDIR.
quiet_wine regsvr32 /u /s "${dlls[@]}" || true
quiet_wine regsvr32 /s "${dlls[@]}"
reference=$(component_text "$(reg_text 'HKLM\Software\Classes')" "$classes" $components)
quiet_wine regsvr32 /u /s "${dlls[@]}"
for c in $components; do rm "$cad_unix/$c.dll"; done
check "regsvr32 wrote the reference keys" [ -n "$reference" ]

# cscript registers its own type library at its first run: not ours.
printf 'WScript.Quit 0\r\n' > "$WORK/noop.vbs"
quiet_wine cscript //nologo "$(win "$WORK/noop.vbs")" || true

machine_before=$(reg_text 'HKLM\Software'); user_before=$(reg_text 'HKCU\Software')
files_before=$(file_listing); host_before=$(host_files)
check "no keys of the components before the install" [ -z "$(component_text "$machine_before" "$classes" $components)" ]

# ---- an older package into the custom folder
mkdir "$WORK/old"
for f in kavlink.dll $(printf '%s.dll ' $components); do cp "$KAV_RELEASE/$f" "$WORK/old/"; done
printf 'an older build' >> "$WORK/old/csbclean.dll"   # same file version, other bytes
"$KAV_MAKE_MSI" "$KAV_WIXL" "$KAV_MSIBUILD" "$KAV_WXS" 0.0.1 "$WORK/old" "$WORK/old.msi"
check "msiexec /i of the older package into $cad" quiet_wine msiexec /i "$(win "$WORK/old.msi")" INSTALLDIR="$cad" /qn
check "the older csbclean.dll is installed" cmp -s "$WORK/old/csbclean.dll" "$cad_unix/csbclean.dll"

# ---- the upgrade, without INSTALLDIR: the remembered folder is used
check "msiexec /i of $KAV_VERSION over it" quiet_wine msiexec /i "$(win "$KAV_MSI")" /qn
for f in kavlink.dll $(printf '%s.dll ' $components); do
    check "$f installed is this release's" cmp -s "$KAV_RELEASE/$f" "$cad_unix/$f"
done
uninstall_keys=$(reg_text 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall')
products=$(grep -cx '"DisplayName"="Kavlink"' <<<"$uninstall_keys" || true)
check "one Kavlink product after the upgrade (found $products)" [ "$products" -eq 1 ]
check "it is version $KAV_VERSION" grep -qx "\"DisplayVersion\"=\"$KAV_VERSION\"" <<<"$uninstall_keys"
# The package's rows against regsvr32's: the same keys and values; the
# installer's folder property ends in a backslash, RegisterTypeLib's HELPDIR
# does not.
installed=$(component_text "$(reg_text 'HKLM\Software\Classes')" "$classes" $components | sed '/\\HELPDIR\]$/{n;s/\\\\"$/"/}')
if [ -n "$installed" ] && [ "$installed" = "$reference" ]; then ok "registry rows are what DllRegisterServer writes"
else fail "registry rows differ from DllRegisterServer's:"; diff <(printf '%s\n' "$reference") <(printf '%s\n' "$installed") || true; fi
check "sysinfo and sysdata untouched by install and upgrade" [ "$(host_files)" = "$host_before" ]

# ---- the installed components in use
quiet_wine "$KAV_BUILD/install-tests/create_by_progid.exe" "$cad" $(printf '%s.MorvikVbCommand ' $components) \
    && ok "created by ProgID from C++" || { fail "created by ProgID from C++"; cat "$WORK/wine.out"; }
for c in $components; do
    quiet_wine cscript //nologo "$(win "$KAV_SOURCE/tests/commands/morvik_command.vbs")" "$c.MorvikVbCommand" 1 \
        && ok "$c driven by VBScript under cscript" || { fail "$c driven by VBScript under cscript"; cat "$WORK/wine.out"; }
done
printf 'ui wait "コマンドサブボックス履歴の削除" 20000\nui click "中止(&C)"\n' > "$WORK/cancel.txt"
quiet_wine "$KAV_RELEASE/kavhost.exe" --command csbclean.MorvikVbCommand --quiet --script "$(win "$WORK/cancel.txt")" \
    && ok "csbclean from $cad runs under kavhost to its exit message" \
    || { fail "csbclean under kavhost"; cat "$WORK/wine.out"; }

# ---- uninstall: exactly as before
host_now=$(host_files)
check "msiexec /x" quiet_wine msiexec /x "$(win "$KAV_MSI")" /qn
check "sysinfo and sysdata untouched by the uninstall" [ "$(host_files)" = "$host_now" ]
compare() {  # what before after
    if [ "$2" = "$3" ]; then ok "$1 as before the install"
    else fail "$1 differ after the uninstall:"; diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | head -40 || true; fi
}
machine_after=$(reg_text 'HKLM\Software')
check "regsvr32 /u and msiexec /x left none of the components' keys" \
    [ -z "$(component_text "$machine_after" "$classes" $components)" ]
compare "HKLM\\Software keys" "$machine_before" "$machine_after"
compare "HKCU\\Software keys" "$user_before" "$(reg_text 'HKCU\Software')"
compare "files below C:\\" "$files_before" "$(file_listing)"

trap 'rm -rf "$DRIVE_C/KavTest" "$WORK"' EXIT
finish
