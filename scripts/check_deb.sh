#!/usr/bin/env bash
# Checks a built Debian package: its files are exactly dist/package-files.txt,
# its run-time dependencies name no build package, and apt can satisfy them.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:?usage: check_deb.sh quorvane_VERSION_ARCH.deb}
status=0

if ! diff -u dist/package-files.txt <(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$' | sort); then
  echo "check_deb: the package's files differ from dist/package-files.txt" >&2
  status=1
fi
depends=$(dpkg-deb -f "$deb" Depends)
if tr ',' '\n' <<<"$depends" | grep -Eq -- '^ *([a-z0-9.+-]+-dev|cmake|ninja-build|gcc|g\+\+|build-essential)( |$)'; then
  echo "check_deb: a build package among the dependencies: $depends" >&2
  status=1
fi
# Whether apt could install it here (needs the package lists; skipped without them).
policy=$(apt-cache policy libc6 2>/dev/null || true)
if grep -q 'Candidate: [0-9]' <<<"$policy"; then
  if ! apt-get install -s -qq "$(realpath "$deb")" >/dev/null; then
    echo "check_deb: apt cannot install $deb" >&2
    status=1
  fi
else
  echo "check_deb: no package lists, the install simulation is skipped"
fi
[ $status -ne 0 ] || echo "check_deb: $deb: $(dpkg-deb -f "$deb" Installed-Size) KiB installed, files and dependencies as expected"
exit $status
