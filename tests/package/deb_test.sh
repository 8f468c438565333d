#!/bin/sh
# The .deb of a build, unpacked into a temporary root as dpkg installs it:
# it depends on Debian's Qt 6 runtime and no -dev package, holds what a
# Linux program installs (the Qt half of kitemail-cli off the PATH), its
# changelog and AppStream metadata name its version, and its programs run
# from there, keeping their data in the user's XDG data folder, never beside
# themselves. With --lintian, lintian and appstreamcli must find nothing to
# warn about (a sanitizer build's package is not one to ship).
#   tests/package/deb_test.sh BUILD_DIR [--lintian]
set -eu
build=$1
lint=${2:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "deb_test: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1) || { cat "$tmp/cpack.log"; fail "cpack failed"; }
deb=$(ls "$tmp"/out/kitemail_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
case $depends in *libqt6core6*) ;; *) fail "no Qt runtime in Depends: $depends" ;; esac
case $depends in *-dev*) fail "a -dev package in Depends: $depends" ;; esac
version=$(dpkg-deb -f "$deb" Version)

root=$tmp/root
dpkg -x "$deb" "$root"
for f in usr/bin/kitemail-cli usr/lib/kitemail/kitemail-cli-qt usr/share/man/man1/kitemail-cli.1.gz \
         usr/share/bash-completion/completions/kitemail-cli usr/share/doc/kitemail/copyright; do
  [ -e "$root/$f" ] || fail "missing /$f"
done
[ ! -e "$root/usr/bin/kitemail-cli-qt" ] || fail "kitemail-cli-qt is on the PATH"
head=$(zcat "$root/usr/share/doc/kitemail/changelog.gz" | head -n 1)
case $head in "kitemail ($version) "*) ;; *) fail "the changelog starts '$head', not version $version" ;; esac
metainfo=$root/usr/share/metainfo/jp.example.kitemail.metainfo.xml
if [ -e "$root/usr/bin/kitemail" ]; then
  for f in usr/share/applications/kitemail.desktop usr/share/icons/hicolor/scalable/apps/kitemail.svg \
           usr/share/man/man1/kitemail.1.gz; do
    [ -e "$root/$f" ] || fail "missing /$f"
  done
  grep -q "<release version=\"$version\"" "$metainfo" || fail "no release $version in $(basename "$metainfo")"
fi
if [ "$lint" = --lintian ]; then
  # The home page is not fetched: the test runs offline.
  if [ -e "$metainfo" ]; then
    appstreamcli validate --no-net --pedantic "$metainfo" >"$tmp/appstream.log" 2>&1 ||
      { cat "$tmp/appstream.log"; fail "appstreamcli validate failed"; }
  fi
  lintian --fail-on error,warning "$deb" >"$tmp/lintian.log" 2>&1 || { cat "$tmp/lintian.log"; fail "lintian failed"; }
fi

home=$tmp/home
mkdir "$home"
run() { env -u KITEMAIL_HOME -u XDG_DATA_HOME HOME="$home" "$root/usr/bin/kitemail-cli" "$@"; }
version=$(run --version)
[ "$version" = "kitemail-cli 0.50" ] || fail "--version said '$version'"
count=$(printf 'abc' | run count --type 3 --body-file -)
[ "$count" = "3 / 500" ] || fail "count said '$count'"
run config set Configuration/Server smtp.example.jp
[ -f "$home/.local/share/kitemail/Kiteml.ini" ] || fail "the settings are not in ~/.local/share/kitemail"
[ -z "$(find "$root/usr/bin" "$root/usr/lib/kitemail" -mindepth 1 ! -name 'kitemail*')" ] ||
  fail "something was written beside the programs"
echo "deb_test: $(basename "$deb") ok"
