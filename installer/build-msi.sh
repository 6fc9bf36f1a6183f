#!/usr/bin/env bash
# Builds the signed Tavrin installer from installer/Tavrin.wxs:
#   installer/build-msi.sh <out.msi> <x86|x64> <version> <tavrin.exe> <skin folder> <icon> <work folder>
# The skin folder holds ui.xml and images/. The program is signed first, then
# packaged, then the package is signed (see installer/sign.sh for the
# certificate settings). TAVRIN_PACKAGE_AS_GIVEN=1 packages the program
# unsigned and as it is, for the tests' deliberately broken packages.
set -euo pipefail
out=${1:?output msi}
arch=${2:?x86 or x64}
version=${3:?version}
program=${4:?tavrin.exe}
skin=${5:?skin folder}
icon=${6:?icon}
work=${7:?work folder}
here=$(cd "$(dirname "$0")" && pwd)

case "$arch" in
  x86) win64=no ;;
  x64) win64=yes ;;
  *) echo "build-msi: unknown architecture $arch" >&2; exit 2 ;;
esac

# wixl resolves sources relative to the working folder, so everything the
# package holds is staged in one place.
stage="$work/stage"
rm -rf "$stage" && mkdir -p "$stage"
if [ "${TAVRIN_PACKAGE_AS_GIVEN:-}" = 1 ]; then
  cp "$program" "$stage/tavrin.exe"
else
  "$here/sign.sh" "$program" "$stage/tavrin.exe" "Tavrin"
fi
cp "$skin/ui.xml" "$stage/ui.xml"
cp -r "$skin/images" "$stage/images"
cp "$icon" "$stage/tavrin.ico"

# The images folder is described from what the skin holds today.
heat_args=(-p images/ --var var.SkinDir --directory-ref IMAGESDIR --component-group SkinImages)
[ "$win64" = yes ] && heat_args+=(--win64)
(cd "$stage" && find images -type f | LC_ALL=C sort | wixl-heat "${heat_args[@]}") >"$work/images.wxs"

unsigned="$work/unsigned.msi"
rm -f "$unsigned"
# wixl warns on stderr about the GLib type system; only its status counts.
(cd "$stage" && wixl -a "$arch" -D Version="$version" -D Win64="$win64" -D ProgramFile=tavrin.exe \
  -D SkinFile=ui.xml -D SkinDir=images -D IconFile=tavrin.ico \
  -o "$unsigned" "$here/Tavrin.wxs" "$work/images.wxs" 2>"$work/wixl.log") ||
  { cat "$work/wixl.log" >&2; exit 1; }

# Two things wixl cannot express:
# - MajorUpgrade's Schedule: it puts RemoveExistingProducts after the new
#   files, so the old version's /uninstall would run after the new /install
#   and take the only task with it. Removing the old version first, right
#   after InstallValidate, leaves exactly one task.
# - rollback custom actions: the undo of /install and of /uninstall must
#   carry the in-script and rollback bits (0x400 | 0x100) besides
#   exe-from-file (18), ignore result (0x40) and no impersonation (0x800).
msibuild "$unsigned" -q "UPDATE InstallExecuteSequence SET Sequence = 1401 WHERE Action = 'RemoveExistingProducts'"
for rollback in UndoRegisterUpdateTask UndoRemoveUpdateTask; do
  msibuild "$unsigned" -q "UPDATE CustomAction SET Type = 3410 WHERE Action = '$rollback'"
done

"$here/sign.sh" "$unsigned" "$out" "Tavrin"
