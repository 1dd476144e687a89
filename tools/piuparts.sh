#!/usr/bin/env bash
# Runs Debian's piuparts on the package in a clean Debian 12 (bookworm):
# install and purge, and the upgrade from the previous version to this one.
# The previous version comes from a signed repository of the package made
# here (tools/make-repo.sh), as a PC meets it; this one is the package
# rebuilt with a higher version. Needs root, piuparts and a Debian mirror
# (DEBIAN_MIRROR, http://deb.debian.org/debian by default). The clean
# system is made with debootstrap on the first run and kept in
# TAVLIN_PIUPARTS_CACHE (/var/cache/tavlin-piuparts) for the next.
#
#   piuparts.sh BUILD_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" = 0 ] || { echo "piuparts: needs root (sudo make piuparts)" >&2; exit 1; }
command -v piuparts >/dev/null ||
  { echo "piuparts: not installed (apt-get install piuparts)" >&2; exit 1; }
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=${TAVLIN_PIUPARTS_CACHE:-/var/cache/tavlin-piuparts}
mkdir -p "$cache"
base=$cache/bookworm.tar.gz

work=$(mktemp -d /tmp/tavlin-piuparts.XXXXXX)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT

deb=$(ls "$build"/package/tavlin_*_amd64.deb)
version=$(dpkg-deb -f "$deb" Version)
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/newer" \
  -D CPACK_PACKAGE_VERSION="$version.1" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
newer=$(ls "$work"/newer/tavlin_*_amd64.deb)
XDG_DATA_HOME="$work/keys" "$root/tools/make-repo.sh" "$work/repo" "$deb" >/dev/null

if [ -f "$base" ]; then
  chroot_arg=(--basetgz "$base")
else
  echo "piuparts: making a clean Debian 12 with debootstrap (kept in $base)"
  chroot_arg=(--save "$base")
fi
# What systemd (a dependency of Qt's) leaves behind itself when it is
# purged: its tmpfiles.d folders (provision.conf makes /root/.ssh). Nothing
# of Tavlin's is ignored.
systemd_leftovers=(/root/.ssh/ /var/cache/private/ /var/lib/private/ /var/lib/systemd/coredump/
                   /var/lib/systemd/pstore/ /var/log/private/)
ignores=()
for path in "${systemd_leftovers[@]}"; do
  ignores+=(--ignore "$path")
done
# The repository is bind-mounted at the same path; the chroot trusts it only
# through its key, as a PC does.
piuparts --distribution bookworm --mirror "$mirror" "${chroot_arg[@]}" "${ignores[@]}" \
  --bindmount "$work/repo" \
  --extra-repo "deb [signed-by=$work/repo/tavlin-archive-keyring.gpg] file:$work/repo stable main" \
  --log-file "$build/piuparts.log" "$newer"
echo "piuparts: passed (install, purge, upgrade from $version to $version.1); log in $build/piuparts.log"
