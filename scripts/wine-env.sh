# Shared Wine set-up for the test wrapper, the test command and the demo.
# Source it, then call the functions; only WINEPREFIX and friends are
# exported, the locale and HOME are given to Wine processes alone.
#
# Everything lives in one private folder (LK_WINE_DIR, default build/wine):
# the prefix and a private HOME, because Wine maps the desktop and menus into
# HOME and the tests must never touch the real one.

lk_repo_root() { (cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd); }

lk_wine_env() {
  : "${LK_WINE_DIR:=$(lk_repo_root)/build/wine}"
  export LK_WINE_DIR
  export WINEPREFIX="$LK_WINE_DIR/prefix"
  export WINEARCH=win64
  export WINEDEBUG=-all
  # No Mono/Gecko installer dialogs, no menu entries written into HOME.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  mkdir -p "$LK_WINE_DIR/home"
}

# Runs a Wine command with the private HOME and a Chinese locale: the ANSI
# code page follows the locale, 936 as on a Chinese player's system.
lk_wine_exec() {
  HOME="$LK_WINE_DIR/home" LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$@"
}

# True when a wineserver for this very prefix runs (other worktrees may run
# their own servers for their own prefixes at the same time).
lk_wine_server_running() {
  local pid
  for pid in $(pgrep -u "$(id -u)" wineserver 2>/dev/null); do
    { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}

# The server's socket: a folder named after the prefix's device and inode.
lk_wine_socket_ready() {
  local id
  id=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
  compgen -G "/tmp/wine-*/$id/socket" >/dev/null || compgen -G "/tmp/.wine-$(id -u)/$id/socket" >/dev/null
}

# Creates the prefix once and starts a persistent wineserver, detached.
# The first program of a fresh wineserver starts Wine's service processes,
# which inherit its stdout/stderr for the server's whole life: if a pipe
# reader (ctest) were that program's parent it would wait forever. So the
# server and a warm-up program run here with their output on /dev/null.
lk_wine_start() {
  lk_wine_env
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the prefix in $WINEPREFIX (once)" >&2
    mkdir -p "$WINEPREFIX"
    lk_wine_exec setsid wineboot -i </dev/null >/dev/null 2>&1 || true
    lk_wine_exec wineserver -w 2>/dev/null || true
  fi
  if ! lk_wine_server_running; then
    lk_wine_exec setsid wineserver -p </dev/null >/dev/null 2>&1 &
    disown || true
    local i
    for i in $(seq 1 100); do
      lk_wine_server_running && lk_wine_socket_ready && break
      sleep 0.05
    done
    lk_wine_exec setsid wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  fi
  # Top-level windows unmanaged by the X window manager: on a bare Xvfb there
  # is none, and Wine otherwise waits 2 s for every hide or destroy of a
  # shown window to be confirmed by it.
  if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    lk_wine_exec setsid wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      </dev/null >/dev/null 2>&1 || true
  fi
}

lk_wine_stop() {
  lk_wine_env
  lk_wine_exec wineserver -k 2>/dev/null || true
}

# Starts Xvfb on a free display and exports DISPLAY; LK_XVFB_PID is set so
# the caller can stop exactly the server it started.
lk_xvfb_start() {
  local n i
  for n in $(seq 91 140); do
    if [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; then continue; fi
    setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    LK_XVFB_PID=$!
    disown || true
    for i in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
    export DISPLAY=":$n" LK_XVFB_PID
    return 0
  done
  echo "no free X display for Xvfb" >&2
  return 1
}

lk_xvfb_stop() {
  if [ -n "${LK_XVFB_PID:-}" ]; then
    kill "$LK_XVFB_PID" 2>/dev/null || true
    LK_XVFB_PID=
  fi
}
