# Sourced by the install checks that start the installed window on the display run-under-xvfb gives.
# Needs: bash, python3, xdotool.

# Makes every outside service a loopback port that takes connections and never answers, so that nothing
# reaches the internet and no error box waits for a click; writes WORK/endpoints.ini naming it and sets
# SARVOKE_ENDPOINTS. The listener's process id is left in $silent_listener.
start_silent_services() {
  local work=$1
  python3 -c '
import socket, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(64)
print(s.getsockname()[1], flush=True)
time.sleep(3600)' >"$work/port" &
  silent_listener=$!
  for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
  local host key
  host="127.0.0.1:$(cat "$work/port")"
  {
    echo "[endpoints]"
    for key in SearchEngineHost ShareSiteDomain PublisherHost MailPop3Host MailSmtpHost QqAvatarHost QqChatHost \
      QqProfileHost QqTimeHost StaticContentHost; do
      echo "$key=$host"
    done
  } >"$work/endpoints.ini"
  export SARVOKE_ENDPOINTS="$work/endpoints.ini"
}

# Runs COMMAND (the program, started without arguments as the menu starts it), waits for its window and for
# the board's web view module, which must be MODULE, then closes it with SIGTERM, which goes the close box's
# way. Returns 0, or says what went wrong on standard error and returns 1. Its output goes to WORK/window.log.
run_window_once() {
  local label=$1 work=$2 module=$3
  shift 3
  "$@" >"$work/window.log" 2>&1 &
  local pid=$! loaded="" status
  if ! timeout 60 xdotool search --sync --onlyvisible --name Sarvoke >/dev/null 2>&1; then
    kill "$pid" 2>/dev/null
    echo "FAIL: $label: no window came up: $(cat "$work/window.log")" >&2
    return 1
  fi
  # `sarvoke` becomes the window program in place, so the maps are the window's.
  for _ in $(seq 200); do
    loaded=$(grep -o '/[^ ]*libsarvoke_webview\.so' "/proc/$pid/maps" 2>/dev/null | head -1)
    [ -n "$loaded" ] && break
    sleep 0.1
  done
  kill -TERM "$pid"
  wait "$pid"
  status=$?
  if [ "$loaded" != "$(realpath "$module")" ]; then
    echo "FAIL: $label: the web view module loaded is '$loaded', not $module" >&2
    return 1
  fi
  if [ "$status" -ne 0 ]; then
    echo "FAIL: $label: the window program ended with status $status: $(cat "$work/window.log")" >&2
    return 1
  fi
}
