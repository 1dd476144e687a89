#!/usr/bin/env bash
# Builds a signed apt repository of Tavlin in OUT (build/repo by default):
#
#   OUT/pool/main/t/tavlin/tavlin_<version>_amd64.deb   every package given
#   OUT/dists/stable/main/binary-amd64/Packages(.gz)
#   OUT/dists/stable/Release, InRelease, Release.gpg    signed
#   OUT/tavlin-archive-keyring.gpg                       the public key
#
# Packages already in OUT's pool stay, so that a repository grows by
# version. The signing key is TAVLIN_REPO_KEY (a key id or fingerprint in
# GNUPGHOME, default ~/.gnupg) when given; otherwise a key of its own, made on
# the first run and kept outside the tree for the next:
# ${XDG_DATA_HOME:-~/.local/share}/tavlin-repo/gnupg.
#
#   make-repo.sh OUT PACKAGE.deb...
set -euo pipefail

out=$1
shift
[ "$#" -gt 0 ] || { echo "usage: make-repo.sh OUT PACKAGE.deb..." >&2; exit 2; }
for tool in apt-ftparchive gpg; do
  command -v "$tool" >/dev/null || { echo "make-repo: $tool is missing (apt-get install apt-utils gnupg)" >&2; exit 1; }
done

if [ -n "${TAVLIN_REPO_KEY:-}" ]; then
  key=$TAVLIN_REPO_KEY
else
  export GNUPGHOME=${XDG_DATA_HOME:-$HOME/.local/share}/tavlin-repo/gnupg
  if [ ! -d "$GNUPGHOME" ]; then
    mkdir -p -m 0700 "$GNUPGHOME"
    echo "make-repo: making a signing key in $GNUPGHOME (kept for the next run)"
    gpg --batch --quiet --pinentry-mode loopback --passphrase '' \
      --quick-generate-key "Tavlin archive signing key <packages@tavlin.org>" ed25519 sign never
  fi
  key=$(gpg --batch --list-secret-keys --with-colons | awk -F: '/^fpr:/ {print $10; exit}')
  [ -n "$key" ] || { echo "make-repo: no signing key in $GNUPGHOME" >&2; exit 1; }
fi

pool=$out/pool/main/t/tavlin
binary=$out/dists/stable/main/binary-amd64
mkdir -p "$pool" "$binary"
cp "$@" "$pool/"
(
  cd "$out"
  apt-ftparchive packages pool >dists/stable/main/binary-amd64/Packages
  gzip -9nc dists/stable/main/binary-amd64/Packages >dists/stable/main/binary-amd64/Packages.gz
  apt-ftparchive \
    -o APT::FTPArchive::Release::Origin=Tavlin \
    -o APT::FTPArchive::Release::Label=Tavlin \
    -o APT::FTPArchive::Release::Suite=stable \
    -o APT::FTPArchive::Release::Codename=stable \
    -o APT::FTPArchive::Release::Components=main \
    -o APT::FTPArchive::Release::Architectures=amd64 \
    -o APT::FTPArchive::Release::Description="Tavlin for enterprise PCs" \
    release dists/stable >dists/stable/Release.new
  mv dists/stable/Release.new dists/stable/Release
  rm -f dists/stable/InRelease dists/stable/Release.gpg
  gpg --batch --yes --local-user "$key" --clearsign -o dists/stable/InRelease dists/stable/Release
  gpg --batch --yes --local-user "$key" --armor --detach-sign -o dists/stable/Release.gpg \
    dists/stable/Release
  gpg --batch --yes --export "$key" >tavlin-archive-keyring.gpg
)
echo "make-repo: $out (suite stable, component main), signed by $key"
echo "make-repo: public key $out/tavlin-archive-keyring.gpg"
