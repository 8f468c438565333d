#!/usr/bin/env bash
# Installs the Debian 12 packages Kitemail Pro needs to build, run and test.
# Quick when everything is present: one dpkg-query, no network.
set -euo pipefail

packages=(
  # compiler and build
  build-essential cmake ninja-build git
  # Qt 6: Core, Network, Gui, Widgets (qt6-base-dev), Test
  qt6-base-dev libqt6test6
  # fuzzing (scripts/fuzz.sh): clang, whose runtime package holds libFuzzer
  # and the sanitizer runtimes
  clang libclang-rt-14-dev
  # test and benchmark frameworks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # servers the integration tests start on loopback
  python3 python3-aiosmtpd dovecot-pop3d
  # TLS: the tests' certificates (openssl) and their scripted TLS peer (libssl-dev)
  openssl libssl-dev ca-certificates
  # reference converters for the benchmark script, iconv comes with libc-bin
  nkf libc-bin
  # peak memory of the SMTP send benchmark (/usr/bin/time -v)
  time
  # window tests and screenshots: virtual display, screenshot tool, Japanese
  # font, the XTEST client library that clicks in the virtual display
  xvfb xauth imagemagick fonts-ipafont-gothic libxtst6
  # Qt's own translations, loaded by the window (its dialogs in Japanese)
  qt6-translations-l10n
  # passwords in the desktop's keyring (QtKeychain on the Secret Service);
  # the keyring test runs gnome-keyring-daemon in a private D-Bus session
  qtkeychain-qt6-dev gnome-keyring dbus
  # the package test's checks of the .deb and its AppStream metadata
  lintian appstream
)

# dpkg-query fails for a package it has never seen; the list still counts.
installed=$(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${packages[@]}" 2>/dev/null |
  awk '$2 == "installed" { print $1 }' || true)
missing=()
for p in "${packages[@]}"; do
  if ! grep -qxF "$p" <<<"$installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "deps: installing ${missing[*]}" >&2
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    exec sudo --preserve-env=DEBIAN_FRONTEND "$0" "$@"
  fi
  echo "deps: missing packages and not root: ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive

# Keep package scripts from starting system services (dovecot would take
# ports 110/143); only our own policy file is removed afterwards.
policy=/usr/sbin/policy-rc.d
created_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' >"$policy"
  chmod 755 "$policy"
  created_policy=1
fi
cleanup() {
  if [ "$created_policy" = 1 ]; then
    rm -f "$policy"
  fi
}
trap cleanup EXIT

apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
