# Shared by tests/app/xvfb-smoke and tools/screenshot: a private Xvfb display, the window
# program started on it, and xdotool helpers. Source it, then call StartDisplay and
# StartProgram; the EXIT trap ends both and removes the scratch folder $work.

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
log_file=""
EndSession() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap EndSession EXIT

Fail() {
  echo "$(basename "$0"): $*" >&2
  [ -n "$log_file" ] && [ -f "$log_file" ] && sed 's/^/  picbatch: /' "$log_file" >&2
  exit 1
}

RequireTools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || Fail "$tool is missing (tools/install-deps installs it)"
  done
}

# Starts Xvfb on a free display (it reports the number on descriptor 3) and exports DISPLAY.
StartDisplay() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 3>"$work/display" &
  xvfb_pid=$!
  local _
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  [ -s "$work/display" ] || Fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$work/display")"
}

# StartProgram PROGRAM FOLDER LOG [ARGUMENT...]: starts the program with FOLDER as its
# current folder (where the folder chooser opens) and the arguments given, with settings of
# its own in $work (nothing remembered; the user's file left alone).
StartProgram() {
  local program=$1 folder=$2
  log_file=$3
  shift 3
  mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
  # Only a sanitizer build reads LSAN_OPTIONS; it must not fail on system libraries' leaks.
  local suppressions
  suppressions="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lsan.supp"
  (cd "$folder" && XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" \
     LSAN_OPTIONS="suppressions=$suppressions${LSAN_OPTIONS:+:$LSAN_OPTIONS}" exec "$program" "$@") \
    >"$log_file" 2>&1 &
  app_pid=$!
}

# xdotool in a UTF-8 character type whatever the caller's locale, so that its patterns match
# the Chinese captions; the program itself runs in the caller's environment, as a user's would.
Xdo() {
  LC_ALL=C.UTF-8 xdotool "$@"
}

# Title CAPTION_PROPERTY WINDOW: the window's WM_NAME or _NET_WM_NAME as a window manager
# decodes it, in UTF-8.
Title() {
  LC_ALL=C.UTF-8 xprop -id "$2" "$1" | sed -n 's/^[^=]*= "\(.*\)"$/\1/p'
}

# The first visible window whose caption matches, waiting up to 20 s.
FindWindow() {
  LC_ALL=C.UTF-8 timeout 20 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n1
}

# ClickAt WINDOW X Y: a left click at (X, Y) of the window's client area.
ClickAt() {
  local X Y WINDOW WIDTH HEIGHT SCREEN
  eval "$(Xdo getwindowgeometry --shell "$1")"
  Xdo mousemove --sync $((X + $2)) $((Y + $3)) click 1
}

# WaitGone CAPTION: waits up to 5 s until no visible window has the caption.
WaitGone() {
  local _
  for _ in $(seq 50); do
    Xdo search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

# Screenshot FILE [WINDOW]: the whole screen or one window, as PNG when netpbm is there
# (else as the X window dump FILE.xwd).
Screenshot() {
  local file=$1 target=(-root)
  [ -n "${2:-}" ] && target=(-id "$2")
  sleep 1  # let the window finish painting after the last event (a first paint can be slow)
  xwd "${target[@]}" -silent >"$work/shot.xwd"
  if command -v xwdtopnm >/dev/null && command -v pnmtopng >/dev/null; then
    xwdtopnm "$work/shot.xwd" 2>/dev/null | pnmtopng >"$file" 2>/dev/null
  else
    mv "$work/shot.xwd" "${file%.png}.xwd"
  fi
}

# ChooseFolder MAIN BUTTON_X BUTTON_Y [SHOT]: clicks a folder button of the main window
# and OK in the chooser, which returns the folder it opened at.
ChooseFolder() {
  ClickAt "$1" "$2" "$3"
  local chooser
  chooser=$(FindWindow '^选择目录$') || true
  [ -n "$chooser" ] || Fail "the folder chooser did not appear"
  [ -n "${4:-}" ] && Screenshot "$4" "$chooser"
  ClickAt "$chooser" 371 260  # BitBtn1 (OK): 334, 248, 75 x 25
  WaitGone '^选择目录$' || Fail "the folder chooser did not close on OK"
}

# CloseWithQuitKey WINDOW: no window manager draws a close box here; the quit key closes
# the window the same way. Returns the program's exit status (Fail after 10 s).
CloseWithQuitKey() {
  Xdo windowfocus --sync "$1"
  Xdo key --clearmodifiers ctrl+q
  local _ status=0
  for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$app_pid" 2>/dev/null && Fail "the program did not end after its window was closed"
  wait "$app_pid" || status=$?
  app_pid=""
  return "$status"
}
