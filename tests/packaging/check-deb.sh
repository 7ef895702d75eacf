#!/bin/sh
# The Debian package: built by CPack, passes lintian without errors, holds the installed tree
# and depends on what the program loads.   check-deb.sh BUILD_DIR
set -eu
build=$1
. "$(dirname "$0")/require.sh"
require cpack lintian dpkg-deb dpkg-shlibdeps
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >/dev/null
deb=$(ls "$out"/kalvent_*_amd64.deb)
lintian --fail-on error "$deb"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/kalvent ./usr/bin/kalvent-cli ./usr/share/applications/ru.kalvent.Kalvent.desktop \
         ./usr/share/metainfo/ru.kalvent.Kalvent.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/kalvent.svg \
         ./usr/share/icons/hicolor/48x48/apps/kalvent.png ./usr/share/man/man1/kalvent-cli.1.gz \
         ./usr/lib/systemd/user/kalvent-dispatch.service ./usr/lib/systemd/user/kalvent-dispatch.timer; do
    echo "$contents" | grep -qx "$f" || { echo "the package lacks $f"; exit 1; }
done
# Nothing turns the background mailing on at installation.
if dpkg-deb -e "$deb" "$out/control" && ls "$out/control" | grep -q 'inst$'; then
    echo "the package runs installation scripts: $(ls "$out/control")"; exit 1
fi
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6widgets6 libqt6charts6 libcurl4 libsqlite3-0 qt6-qpa-plugins libqt6sql6-sqlite \
    fonts-liberation qt6-translations-l10n libqt6keychain1 libsecret-1-0; do
    echo "$depends" | grep -q "\\b$dep\\b" || { echo "Depends lacks $dep: $depends"; exit 1; }
done
dpkg-deb -f "$deb" Recommends | grep -q '\blibqt6sql6-psql\b' ||
    { echo "Recommends lacks libqt6sql6-psql"; exit 1; }
echo "$(basename "$deb") passes lintian and holds the installed tree"
