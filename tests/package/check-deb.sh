#!/usr/bin/env bash
# Checks a built Debian package: unpacked into a temporary root as dpkg would
# install it, every file is where the desktop, man and the program itself look
# for it; the changelog names the package's version; the dependencies cover
# every library the program loads; lintian finds no error.
#   check-deb.sh build/tomekeeper_<version>_<arch>.deb
set -euo pipefail
deb=$1
app=org.tomekeeper.Tomekeeper
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The program where the menu entry starts it from, and the files the desktop
# finds by their places. The manual is found from the program at
# <bin>/../share/tomekeeper/manual.
for file in usr/bin/tomekeeper \
            usr/share/applications/$app.desktop \
            usr/share/metainfo/$app.metainfo.xml \
            usr/share/icons/hicolor/scalable/apps/$app.svg \
            usr/share/tomekeeper/manual/en.html \
            usr/share/tomekeeper/manual/ru.html \
            usr/share/man/man1/tomekeeper.1.gz \
            usr/share/doc/tomekeeper/copyright \
            usr/share/doc/tomekeeper/changelog.gz; do
  [ -s "$root/$file" ] || fail "$file is missing or empty"
done
for size in 16 22 24 32 48 64 128 256; do
  icon=usr/share/icons/hicolor/${size}x${size}/apps/$app.png
  file -b "$root/$icon" | grep -q "^PNG image data, $size x $size," ||
    fail "$icon is not a ${size}x${size} PNG"
done

exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$app.desktop")
[ -x "$root/usr/bin/${exec_line%% *}" ] ||
  fail "the menu entry's Exec=$exec_line is not a program in /usr/bin"
file -b "$root/usr/bin/tomekeeper" | grep -q ', stripped' ||
  fail "usr/bin/tomekeeper still carries its symbols"

# The manual page is found by its name and renders without a warning.
if ! warnings=$(MANPATH="$root/usr/share/man" MANWIDTH=80 LC_ALL=C.UTF-8 \
                man --warnings tomekeeper 2>&1 >/dev/null); then
  fail "man tomekeeper: $warnings"
elif [ -n "$warnings" ]; then
  fail "man tomekeeper warns: $warnings"
fi

version=$(dpkg-deb -f "$deb" Version)
logged=$(zcat "$root/usr/share/doc/tomekeeper/changelog.gz" | dpkg-parsechangelog -l - -S Version)
[ "$logged" = "$version" ] ||
  fail "the changelog's newest entry is $logged, the package is $version: add an entry to packaging/changelog"

# Every library the program needs comes from a package it depends on.
depends=" $(dpkg-deb -f "$deb" Depends | sed 's/([^)]*)//g; s/[,|]/ /g') "
for lib in $(objdump -p "$root/usr/bin/tomekeeper" | awk '$1 == "NEEDED" { print $2 }'); do
  owners=$(dpkg-query -S "*/$lib" 2>/dev/null | sed 's|: /.*||; s/:[a-z0-9]*//g; s/,/ /g') ||
    { fail "no installed package holds $lib"; continue; }
  found=no
  for owner in $owners; do
    [[ $depends == *" $owner "* ]] && found=yes
  done
  [ $found = yes ] || fail "$lib comes from $owners, which the package does not depend on"
done

lintian --fail-on error --tag-display-limit 0 -I "$deb" || fail "lintian reports errors"

if [ $failures -ne 0 ]; then
  echo "$deb: $failures check(s) failed" >&2
  exit 1
fi
echo "$deb: files in place, dependencies complete, lintian without errors"
