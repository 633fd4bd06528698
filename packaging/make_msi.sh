#!/bin/sh
# make_msi.sh <wixl> <msibuild> <package.wxs> <version> <folder> <out.msi>
# Builds the installer package from the binaries in <folder>.
set -e
[ $# -eq 6 ] || { echo "usage: make_msi.sh <wixl> <msibuild> <package.wxs> <version> <folder> <out.msi>" >&2; exit 2; }
wixl=$1 msibuild=$2 wxs=$3 version=$4 folder=$5 out=$6
# wixl finds the File sources relative to the current directory.
(cd "$folder" && "$wixl" -a x86 -D Version="$version" -o "$out" "$wxs")
# wixl writes HKMU as root 4; Windows Installer's HKMU is -1 (HKLM for a
# machine installation, HKCU for a user's own).
"$msibuild" "$out" -q "UPDATE \`Registry\` SET \`Root\` = -1 WHERE \`Root\` = 4"
