#!/usr/bin/env bash
# Sets up, builds and starts the demo: the real front end on a simulated
# neighbourhood of Bluetooth devices, for machines without a radio. Where
# there is no desktop session for its window (over SSH, in a container), it
# says so and shows the same neighbourhood in the console instead.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh demo
cmake --preset demo
cmake --build --preset demo
bin=build/demo/app

# Whether an X server answers on $DISPLAY: its Unix socket (a file, or on
# Linux an abstract socket of the same name) or, for host:N, TCP port 6000+N.
x_server_answers() {
  local display=${DISPLAY:-}
  [ -n "$display" ] || return 1
  local host=${display%%:*} number=${display#*:}
  number=${number%%.*}
  [[ $number =~ ^[0-9]+$ ]] || return 1
  if [ -z "$host" ] || [ "$host" = unix ]; then
    [ -S "/tmp/.X11-unix/X$number" ] && return 0
    grep -q "@/tmp/.X11-unix/X$number\$" /proc/net/unix 2>/dev/null
    return
  fi
  timeout 3 bash -c ": > /dev/tcp/$host/$((6000 + number))" 2>/dev/null
}

# Whether the window has somewhere to open: a Qt platform the user chose, a
# Wayland compositor's socket, or an X server.
desktop_session() {
  [ -n "${QT_QPA_PLATFORM:-}" ] && return 0
  if [ -n "${WAYLAND_DISPLAY:-}" ]; then
    local socket=$WAYLAND_DISPLAY
    [ "${socket#/}" != "$socket" ] || socket=${XDG_RUNTIME_DIR:-/nonexistent}/$socket
    [ -S "$socket" ] && return 0
  fi
  x_server_answers
}

# console_demo <why>: say why there is no window, then show the demo
# neighbourhood in the console: its radios and the devices in range.
console_demo() {
  cat >&2 <<TEXT

The Quillmere window needs a desktop session (X11 or Wayland): $1.
Over SSH, connect with ssh -X; in a container, pass the display in.
Here is the same simulated neighbourhood in the console instead (corvale-demo):

TEXT
  echo "$ corvale-demo radios"
  "$bin/corvale-demo" radios
  echo
  echo "$ corvale-demo scan"
  "$bin/corvale-demo" scan
  echo
  echo "A device's services: $bin/corvale-demo services ADDRESS; all commands: --help."
  exit 0
}

if [ ! -x "$bin/quillmere-demo" ]; then
  exec "$bin/corvale-demo" "${@:-scan}"
fi
desktop_session ||
  console_demo "there is none here (no display answers on DISPLAY or WAYLAND_DISPLAY)"
# A display that looked usable may still refuse the window (an X server that
# wants authorisation, a Wayland compositor without Qt's plugin for it): Qt
# then says it could not load its platform plugin and aborts (134). Fall back
# to the console there too.
qt_log=$(mktemp)
trap 'rm -f "$qt_log"' EXIT
# Its messages still reach the terminal, through tee.
set +e
{ "$bin/quillmere-demo" "$@" 2>&1 1>&3 3>&- | tee "$qt_log" >&2; } 3>&1
status=${PIPESTATUS[0]}
set -e
if [ "$status" -eq 134 ] && grep -q "Qt platform plugin" "$qt_log"; then
  rm -f "$qt_log"
  console_demo "the display here did not take the window (Qt's message above)"
fi
exit "$status"
