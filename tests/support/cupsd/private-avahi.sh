#!/bin/sh
# Runs avahi-daemon in the foreground for one test, on the message bus named by
# DBUS_SYSTEM_BUS_ADDRESS, with the configuration avahi-daemon.conf in folder $1.
# avahi-daemon keeps its pid file and socket in /run/avahi-daemon, a folder owned by the
# user "avahi". In a private user and mount namespace /run is an empty tmpfs and "avahi"
# is uid 0, so any user can run it and it never meets the machine's own avahi-daemon.
# Where user namespaces are refused (some containers) only root can run it, directly.
set -eu
dir=$1
run="exec avahi-daemon -f '$dir/avahi-daemon.conf' --no-drop-root --no-chroot --no-rlimits"
if unshare --user --map-root-user --mount true 2>/dev/null; then
  printf 'root:x:0:0::/:/bin/sh\navahi:x:0:0::/:/bin/false\n' >"$dir/passwd"
  printf 'root:x:0:\navahi:x:0:\n' >"$dir/group"
  exec unshare --user --map-root-user --mount sh -c "mount -t tmpfs tmpfs /run &&
    mount --bind '$dir/passwd' /etc/passwd && mount --bind '$dir/group' /etc/group && $run"
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "avahi-daemon needs root or user namespaces (unshare --user refused)" >&2
  exit 1
fi
eval "$run"
