#!/usr/bin/env bash
# Installs Tavlin's Debian package as an enterprise's IT department would,
# with nobody at the PC, starts it as an ordinary user, and removes it again:
#
#   - the package is built from the build tree (cpack), and a second one of a
#     higher version; lintian finds no error and no warning;
#   - a signed repository is made of the first (tools/make-repo.sh): apt
#     installs from it over file: with signed-by, with the answers preseeded
#     (debconf-set-selections) and no standard input, and refuses the
#     repository once its Release was changed;
#   - the start URL the configured PC sends is the preseeded one;
#   - a user made for the test starts /usr/bin/tavlin under Xvfb with a window
#     manager, in a process namespace of its own: the start URL reaches the
#     sample back end, a log line lands in the user's state folder and nothing
#     in the program folder changes (see run-as-user.sh);
#   - an administrator's edit with tavlin-config survives dpkg-reconfigure and
#     the upgrade to the higher version from the repository;
#   - dpkg -r leaves none of the package's files but the configuration;
#     purge leaves nothing of the package, its configuration or its answers,
#     and no other path went away.
#
# Everything it made (user, package, apt lists, processes, files) is removed
# at the end; apt works on lists of the test's own, so the machine's are
# untouched. Needs root; without it the test is skipped (status 77).
#
#   install-test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)

say() { echo "install test: $*"; }
fail() { echo "install test: FAILED: $*" >&2; exit 1; }

if [ "$(id -u)" != 0 ]; then
  say "skipped: installing a package and making a user need root (run make check as root)"
  exit 77
fi

# One install test at a time on this machine: the package, /usr/lib/tavlin and
# /etc/tavlin are the machine's, whichever clone runs the test.
exec 9>/var/lock/tavlin-install-test.lock
flock -w 1200 9 || fail "another install test held the lock for 20 minutes"

if dpkg-query -W -f='${Status}' tavlin 2>/dev/null | grep -q 'ok installed'; then
  say "skipped: a tavlin package is installed on this machine; the test leaves it alone"
  exit 77
fi
for path in /usr/lib/tavlin /etc/tavlin; do
  if [ -e "$path" ]; then
    say "skipped: $path exists without the package; the test leaves it alone"
    exit 77
  fi
done
for tool in apt-ftparchive gpg debconf-set-selections; do
  command -v "$tool" >/dev/null || fail "$tool is missing (make deps installs it)"
done

work=$(mktemp -d /tmp/tavlin-install.XXXXXX)
chmod 755 "$work"
user="tavlin-test-$$"
site=
installed=
cleanup() {
  set +e
  [ -n "$site" ] && kill "$site" 2>/dev/null && wait "$site" 2>/dev/null
  if id "$user" >/dev/null 2>&1; then
    # Every process of the user the test made is the test's own.
    ps -u "$user" -o pid= | xargs -r kill -KILL 2>/dev/null
    userdel --remove "$user" 2>/dev/null
  fi
  if [ -n "$installed" ] && dpkg-query -W tavlin >/dev/null 2>&1; then
    dpkg --purge tavlin >/dev/null 2>&1
  fi
  if [ -n "$installed" ]; then
    echo PURGE | debconf-communicate tavlin >/dev/null 2>&1
  fi
  rm -f /etc/xdg/autostart/org.tavlin.Tavlin.desktop.install-test
  rm -rf "$work"
}
trap cleanup EXIT

dpkg_locked() {
  # dpkg and apt-get wait for the package database's lock rather than fail.
  local tries=0
  until "$@"; do
    tries=$((tries + 1))
    [ "$tries" -ge 60 ] && return 1
    fuser /var/lib/dpkg/lock-frontend /var/lib/dpkg/lock >/dev/null 2>&1 || return 1
    sleep 5
  done
}

# --- the packages ------------------------------------------------------------
say "building the package, and one of a higher version"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/package/tavlin_*_amd64.deb)
version=$(dpkg-deb -f "$deb" Version)
newer_version=$version.1
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/newer" \
  -D CPACK_PACKAGE_VERSION="$newer_version" >>"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack of version $newer_version"; }
newer=$(ls "$work"/newer/tavlin_*_amd64.deb)
say "$(basename "$deb"), $(basename "$newer")"
lintian --fail-on error,warning --suppress-tags binary-has-unneeded-section "$deb" \
  >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian found errors or warnings"; }
say "lintian: no errors, no warnings"
mkdir "$work/content"
dpkg-deb -x "$deb" "$work/content"
appstreamcli validate --no-net "$work/content/usr/share/metainfo/org.tavlin.Tavlin.metainfo.xml" >/dev/null ||
  fail "appstreamcli refused the metainfo"
desktop-file-validate "$work/content/usr/share/applications/org.tavlin.Tavlin.desktop" ||
  fail "desktop-file-validate refused the desktop entry"
# Every path the package installs, for the removal check.
dpkg-deb -c "$deb" | awk '{print substr($6, 2)}' | sed 's|/$||' | grep -v '^$' >"$work/paths"

# --- the signed repository ------------------------------------------------------
say "making a signed repository (tools/make-repo.sh)"
XDG_DATA_HOME="$work/keys" "$source/tools/make-repo.sh" "$work/repo" "$deb" >"$work/repo.log" 2>&1 ||
  { cat "$work/repo.log"; fail "make-repo"; }
# apt with the test's own sources and lists: the machine's stay as they are.
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial"
echo "deb [signed-by=$work/repo/tavlin-archive-keyring.gpg] file:$work/repo stable main" \
  >"$work/apt/sources.list"
apt_test() {
  dpkg_locked apt-get -o DPkg::Lock::Timeout=600 -o Dir::Etc::SourceList="$work/apt/sources.list" \
    -o Dir::Etc::SourceParts="$work/apt/none" -o Dir::State::Lists="$work/apt/lists" \
    -o Dir::Cache="$work/apt/cache" -o APT::Sandbox::User=root "$@"
}
apt_test update >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get update from the repository"; }
# A Release changed after signing is refused.
cp -a "$work/repo" "$work/tampered"
sed -i 's/^Label: Tavlin$/Label: Tavlin changed/' "$work/tampered/dists/stable/InRelease" \
  "$work/tampered/dists/stable/Release"
mkdir -p "$work/tampered-apt/lists/partial"
echo "deb [signed-by=$work/repo/tavlin-archive-keyring.gpg] file:$work/tampered stable main" \
  >"$work/tampered-apt/sources.list"
if apt-get -o Dir::Etc::SourceList="$work/tampered-apt/sources.list" \
     -o Dir::Etc::SourceParts="$work/apt/none" -o Dir::State::Lists="$work/tampered-apt/lists" \
     -o Dir::Cache="$work/apt/cache" -o APT::Sandbox::User=root update >"$work/tampered.log" 2>&1 &&
   ! grep -qE '^(E|W): ' "$work/tampered.log"; then
  cat "$work/tampered.log"
  fail "apt took a repository whose Release was changed after signing"
fi
grep -qi 'signature\|not signed' "$work/tampered.log" ||
  { cat "$work/tampered.log"; fail "apt refused the changed repository, but not for its signature"; }
say "apt installs from the signed repository and refuses it with a changed Release"

# --- installed with nothing preseeded: the install works, Tavlin unconfigured ----
say "installing with dpkg -i, nothing preseeded"
installed=1
DEBIAN_FRONTEND=noninteractive dpkg_locked dpkg -i "$deb" </dev/null >"$work/bare.log" 2>&1 ||
  { cat "$work/bare.log"; fail "an install without answers failed"; }
[ -d /etc/tavlin ] && [ ! -e /etc/tavlin/Config.ini ] ||
  fail "an install without answers wrote a configuration (or no /etc/tavlin)"
if tavlin-config check /usr/lib/tavlin >"$work/bare-check.log" 2>&1; then
  fail "tavlin-config check found a configuration after an install without answers"
fi
grep -q '配置文件不存在' "$work/bare-check.log" || { cat "$work/bare-check.log"; fail "check"; }
dpkg_locked dpkg --purge tavlin >/dev/null || fail "dpkg --purge after the install without answers"
[ ! -e /etc/tavlin ] && [ ! -e /usr/lib/tavlin ] || fail "purge left /etc/tavlin or /usr/lib/tavlin"

# --- installed with preseeded answers, nobody at the PC ------------------------------
"$build/bin/tavlin-sample-site" --port 0 --hostile --log "$work/requests.log" >"$work/site.out" 2>&1 &
site=$!
for _ in $(seq 100); do grep -q LISTENING "$work/site.out" 2>/dev/null && break; sleep 0.1; done
port=$(awk '/^LISTENING/ {print $2; exit}' "$work/site.out")
[ -n "$port" ] || fail "the sample back end did not start"
installed=1
debconf-set-selections <<ANSWERS
tavlin tavlin/url string http://127.0.0.1:$port/inspect
tavlin tavlin/type-code string R02
tavlin tavlin/enterprise-number string 4401000001
tavlin tavlin/identity-serial string SN-2026-0001
tavlin tavlin/enterprise-name string 平安宾馆
tavlin tavlin/other-info string 前台一号机
tavlin tavlin/long-code string
ANSWERS
say "installing with apt-get from the repository, the answers preseeded"
find /etc /usr /opt -xdev 2>/dev/null | sort >"$work/machine.before"
DEBIAN_FRONTEND=noninteractive apt_test install -y tavlin </dev/null >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "apt-get install tavlin"; }
dpkg-query -W -f='${Status} ${Version}' tavlin | grep -q "ok installed $version" ||
  fail "tavlin $version is not installed"
[ "$(readlink -f /usr/bin/tavlin)" = /usr/lib/tavlin/tavlin ] || fail "/usr/bin/tavlin is not the link"
[ "$(readlink /usr/lib/tavlin/InspectConfig)" = /etc/tavlin ] ||
  fail "/usr/lib/tavlin/InspectConfig does not lead to /etc/tavlin"
[ "$(/usr/bin/tavlin --version)" = "$("$build/bin/tavlin" --version)" ] || fail "tavlin --version"
[ -f /etc/tavlin/Config.ini ] && [ -f /etc/tavlin/Identity.ini ] ||
  fail "the preseeded install wrote no configuration into /etc/tavlin"
# The start URL is what the answers and the program's rules make of them.
mkdir "$work/expected"
cp "$build/bin/tavlin" "$work/expected/"
expected=$("$build/bin/tavlin-config" write "$work/expected" --url "http://127.0.0.1:$port/inspect" \
             --type-code R02 --number 4401000001 --serial SN-2026-0001 --name 平安宾馆 \
             --other 前台一号机 --long-code '' >/dev/null &&
           "$build/bin/tavlin-config" check "$work/expected" | sed -n 's/^start URL:  //p')
start_url=$(tavlin-config check /usr/lib/tavlin | sed -n 's/^start URL:  //p')
[ -n "$start_url" ] && [ "$start_url" = "$expected" ] ||
  fail "the configured PC would send '$start_url', not '$expected'"
say "the preseeded PC sends $start_url"

# The administrator edits the configuration with tavlin-config: a start page
# that never answers within the load limit, so that Tavlin's error panel
# comes up and the failure is logged, and another enterprise name.
tavlin-config write /usr/lib/tavlin --url "http://127.0.0.1:$port/hostile/never-answers" \
  --type-code R02 --number 4401000001 --serial SN-2026-0001 --name 平安宾馆二店 \
  --other 前台一号机 --load-timeout 2 >/dev/null || fail "tavlin-config write"
start_url=$(tavlin-config check /usr/lib/tavlin | sed -n 's/^start URL:  //p')
[ -n "$start_url" ] || fail "tavlin-config check printed no start URL"
cat /etc/tavlin/Config.ini /etc/tavlin/Identity.ini >"$work/edited"
find /usr/lib/tavlin /etc/tavlin -printf '%p %s %m %U %T@\n' | sort >"$work/folder.before"

# --- run by an ordinary user -------------------------------------------------
useradd --create-home --user-group --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
runtime="$work/runtime-$user"
install -d -m 0700 -o "$user" -g "$user" "$runtime"
cp "$source/tests/run-under-xvfb.sh" "$source/tests/install/run-as-user.sh" "$work/"
chmod 755 "$work/run-under-xvfb.sh" "$work/run-as-user.sh"
sandbox=
if ! runuser -u "$user" -- unshare --user --map-root-user true 2>/dev/null; then
  # No user namespaces here (a container): Chromium's sandbox cannot start.
  sandbox=QTWEBENGINE_DISABLE_SANDBOX=1
fi
say "starting /usr/bin/tavlin as $user"
"$source/tests/run-isolated.sh" runuser -u "$user" -- env -i HOME="$home" USER="$user" \
  LOGNAME="$user" PATH=/usr/bin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR="$runtime" $sandbox \
  "$work/run-under-xvfb.sh" --wm "$work/run-as-user.sh" ||
  fail "the run as $user (see above)"

grep -qF "REQUEST GET ${start_url#http://127.0.0.1:$port}" "$work/requests.log" ||
  fail "the start URL did not reach the back end: $(cat "$work/requests.log")"
log=$(ls "$home"/.local/state/tavlin/LogFiles/Inspect_*.txt)
"$build/bin/tavlin-logview" "$log" | grep -q -- '-----MAIN: 加载页面失败' ||
  fail "no load failure in $log"
[ "$(stat -c %U "$log")" = "$user" ] || fail "$log is not the user's"
find /usr/lib/tavlin /etc/tavlin -printf '%p %s %m %U %T@\n' | sort >"$work/folder.after"
diff "$work/folder.before" "$work/folder.after" || fail "the program folder changed"
say "the start URL reached the back end; the log is in $log; /usr/lib/tavlin is unchanged"

# --- reconfigured and upgraded: the edit stays ----------------------------------
DEBIAN_FRONTEND=noninteractive dpkg_locked dpkg-reconfigure tavlin </dev/null >"$work/reconfigure.log" 2>&1 ||
  { cat "$work/reconfigure.log"; fail "dpkg-reconfigure tavlin"; }
cat /etc/tavlin/Config.ini /etc/tavlin/Identity.ini | cmp -s - "$work/edited" ||
  fail "dpkg-reconfigure changed the administrator's configuration"
XDG_DATA_HOME="$work/keys" "$source/tools/make-repo.sh" "$work/repo" "$newer" >>"$work/repo.log" 2>&1 ||
  { cat "$work/repo.log"; fail "make-repo with the newer package"; }
apt_test update >>"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get update"; }
DEBIAN_FRONTEND=noninteractive apt_test upgrade -y </dev/null >"$work/upgrade.log" 2>&1 ||
  { cat "$work/upgrade.log"; fail "apt-get upgrade"; }
dpkg-query -W -f='${Version}' tavlin | grep -qx "$newer_version" ||
  fail "apt-get upgrade did not bring $newer_version: $(cat "$work/upgrade.log")"
cat /etc/tavlin/Config.ini /etc/tavlin/Identity.ini | cmp -s - "$work/edited" ||
  fail "the upgrade changed the administrator's configuration"
say "the edit survived dpkg-reconfigure and the upgrade to $newer_version"

# --- removed ------------------------------------------------------------------
tavlin-config autostart on >/dev/null
[ -f /etc/xdg/autostart/org.tavlin.Tavlin.desktop ] || fail "no autostart entry for every user"
dpkg_locked dpkg -r tavlin >/dev/null || fail "dpkg -r"
left=
while read -r path; do
  case "$path" in
    /usr | /usr/bin | /usr/lib | /usr/share | /usr/share/*) [ -d "$path" ] && continue ;;
  esac
  [ -e "$path" ] || [ -L "$path" ] && left="$left $path"
done <"$work/paths"
[ -z "$left" ] || fail "dpkg -r left:$left"
[ ! -e /etc/xdg/autostart/org.tavlin.Tavlin.desktop ] || fail "the autostart entry stayed"
# The configuration is kept until purged, as Debian keeps configuration.
[ -f /etc/tavlin/Config.ini ] || fail "dpkg -r removed the configuration"
dpkg_locked dpkg --purge tavlin >/dev/null || fail "dpkg --purge"
installed=
[ ! -e /etc/tavlin ] || fail "purge left $(find /etc/tavlin)"
[ ! -e /usr/lib/tavlin ] || fail "purge left $(find /usr/lib/tavlin)"
ls /var/lib/dpkg/info/tavlin.* >/dev/null 2>&1 && fail "purge left dpkg's files of tavlin"
[ -z "$(debconf-show tavlin 2>/dev/null)" ] || fail "purge left the debconf answers: $(debconf-show tavlin)"
find /etc /usr /opt -xdev 2>/dev/null | sort >"$work/machine.after"
gone=$(comm -23 "$work/machine.before" "$work/machine.after")
[ -z "$gone" ] || fail "paths went away that were there before the install: $gone"
say "dpkg -r removed every file of the package; purge the configuration and the answers; nothing else went"
say "passed"
