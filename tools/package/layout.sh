# Sourced by the install and package checks: VANTOR_PACKAGE_FILES, every file
# an install holds, relative to its prefix (in the package, under usr/).
VANTOR_PACKAGE_FILES=(
  games/vantor
  share/applications/example.vantor.Vantor.desktop
  share/metainfo/example.vantor.Vantor.metainfo.xml
  share/man/man6/vantor.6.gz
  share/doc/vantor/copyright
  share/doc/vantor/changelog.gz
)
# The world table's server, in an install from a build that has it (the
# package's always does: scripts/package installs its libraries).
if [ -z "${VANTOR_NO_SERVER:-}" ]; then
  VANTOR_PACKAGE_FILES+=(games/vantor-server share/man/man6/vantor-server.6.gz)
fi
# NOTE: until the content generator's icons are in Content/icon, an install
# holds none (CMake warns) and only the icons there are looked for.
for size in 16 32 48 64 128 256; do
  [ -f "Content/icon/vantor_${size}.png" ] || continue
  VANTOR_PACKAGE_FILES+=("share/icons/hicolor/${size}x${size}/apps/vantor.png")
done
while IFS= read -r file; do
  VANTOR_PACKAGE_FILES+=("share/vantor/$file")
done < <(find Content -type f | sort)
