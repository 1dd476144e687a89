#!/usr/bin/env bash
# Installs Tavlin's Debian package as an enterprise's IT person would, starts it
# as an ordinary user on a virtual display, and removes it again:
#
#   - the package is built from the build tree (cpack) and lintian finds no error;
#   - dpkg -i installs it (missing dependencies with apt-get), tavlin-config
#     writes /opt/tavlin's configuration;
#   - a user made for the test starts /usr/bin/tavlin under Xvfb with a window
#     manager, in a process namespace of its own: the start URL reaches the
#     sample back end, a log line lands in the user's state folder and nothing
#     in the program folder changes (see run-as-user.sh);
#   - dpkg -r leaves none of the package's files; dpkg -P also removes the
#     configuration tavlin-config wrote.
#
# Everything it made (user, package, processes, files) is removed at the end.
# Needs root; without it the test is skipped (status 77).
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

# One install test at a time on this machine: the package and /opt/tavlin are
# the machine's, whichever clone runs the test.
exec 9>/var/lock/tavlin-install-test.lock
flock -w 1200 9 || fail "another install test held the lock for 20 minutes"

if dpkg-query -W -f='${Status}' tavlin 2>/dev/null | grep -q 'ok installed'; then
  say "skipped: a tavlin package is installed on this machine; the test leaves it alone"
  exit 77
fi
if [ -e /opt/tavlin ]; then
  say "skipped: /opt/tavlin exists without the package; the test leaves it alone"
  exit 77
fi

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

# --- the package -------------------------------------------------------------
say "building the package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/package/tavlin_*_amd64.deb)
say "$(basename "$deb")"
lintian --fail-on error --suppress-tags binary-has-unneeded-section "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log"; fail "lintian found errors"; }
grep -E '^[EW]: ' "$work/lintian.log" || say "lintian: no errors, no warnings"
mkdir "$work/content"
dpkg-deb -x "$deb" "$work/content"
appstreamcli validate --no-net "$work/content/usr/share/metainfo/org.tavlin.Tavlin.metainfo.xml" >/dev/null ||
  fail "appstreamcli refused the metainfo"
desktop-file-validate "$work/content/usr/share/applications/org.tavlin.Tavlin.desktop" ||
  fail "desktop-file-validate refused the desktop entry"
# Every path the package installs, for the removal check.
dpkg-deb -c "$deb" | awk '{print substr($6, 2)}' | sed 's|/$||' | grep -v '^$' >"$work/paths"

say "installing with dpkg -i"
installed=1
if ! dpkg_locked dpkg -i "$deb" >"$work/dpkg.log" 2>&1; then
  say "dpkg -i left dependencies: installing them with apt-get"
  dpkg_locked apt-get -o DPkg::Lock::Timeout=600 update >/dev/null
  DEBIAN_FRONTEND=noninteractive dpkg_locked apt-get -o DPkg::Lock::Timeout=600 install -f -y \
    >>"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "the dependencies could not be installed"; }
fi
dpkg-query -W -f='${Status}' tavlin | grep -q 'ok installed' || fail "tavlin is not installed"
[ "$(readlink /usr/bin/tavlin)" = /opt/tavlin/tavlin ] || fail "/usr/bin/tavlin is not the link"
[ "$(/usr/bin/tavlin --version)" = "$("$build/bin/tavlin" --version)" ] || fail "tavlin --version"
[ "$(stat -c %U /opt/tavlin)" = root ] || fail "/opt/tavlin is not root's"

# --- configured by root --------------------------------------------------------
"$build/bin/tavlin-sample-site" --port 0 --hostile --log "$work/requests.log" >"$work/site.out" 2>&1 &
site=$!
for _ in $(seq 100); do grep -q LISTENING "$work/site.out" 2>/dev/null && break; sleep 0.1; done
port=$(awk '/^LISTENING/ {print $2; exit}' "$work/site.out")
[ -n "$port" ] || fail "the sample back end did not start"
# A start page that never answers within the load limit: Tavlin's error panel
# comes up and the failure is logged, so that the log has a line to find.
tavlin-config write /opt/tavlin --url "http://127.0.0.1:$port/hostile/never-answers" \
  --type-code R02 --number 4401000001 --serial SN-2026-0001 --name 平安宾馆 --load-timeout 2 \
  >/dev/null || fail "tavlin-config write"
start_url=$(tavlin-config check /opt/tavlin | sed -n 's/^start URL:  //p')
[ -n "$start_url" ] || fail "tavlin-config check printed no start URL"
find /opt/tavlin -printf '%p %s %m %U %T@\n' | sort >"$work/folder.before"

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
find /opt/tavlin -printf '%p %s %m %U %T@\n' | sort >"$work/folder.after"
diff "$work/folder.before" "$work/folder.after" || fail "the program folder changed"
say "the start URL reached the back end; the log is in $log; /opt/tavlin is unchanged"

# --- removed ------------------------------------------------------------------
tavlin-config autostart on >/dev/null
[ -f /etc/xdg/autostart/org.tavlin.Tavlin.desktop ] || fail "no autostart entry for every user"
dpkg_locked dpkg -r tavlin >/dev/null || fail "dpkg -r"
left=
while read -r path; do
  case "$path" in
    /usr | /usr/bin | /usr/share | /usr/share/* | /opt | /opt/tavlin) [ -d "$path" ] && continue ;;
  esac
  [ -e "$path" ] || [ -L "$path" ] && left="$left $path"
done <"$work/paths"
[ -z "$left" ] || fail "dpkg -r left:$left"
[ ! -e /etc/xdg/autostart/org.tavlin.Tavlin.desktop ] || fail "the autostart entry stayed"
# What tavlin-config wrote is the enterprise's configuration: kept until purged.
[ -f /opt/tavlin/InspectConfig/Config.ini ] || fail "dpkg -r removed the configuration"
dpkg_locked dpkg --purge tavlin >/dev/null || fail "dpkg --purge"
[ ! -e /opt/tavlin ] || fail "dpkg --purge left $(find /opt/tavlin)"
installed=
say "dpkg -r removed every file of the package; dpkg --purge the configuration too"
say "passed"
