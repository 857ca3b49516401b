#!/bin/sh
# The font library dialog on a real X server (Xvfb), driven by X key and mouse
# events (xdotool) as a user would: arrows through the list, tries to delete
# the default font, deletes another, adds a font by typing its face and size
# in the properties dialog and choosing its style by key, closes; then the
# saved Font.hft is checked.
# Screenshots of every step (taken with X11SHOT) are left in SHOTS_DIR.
# usage: x11_test.sh STUDIO SOURCE_DIR SHOTS_DIR X11SHOT
set -u
studio=$1
src=$2
shots=$3
x11shot=$4

if [ "${X11_TEST_INNER:-}" != 1 ]; then
    for tool in xvfb-run xdotool; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "FAIL: $tool is missing (scripts/install-deps.sh installs xvfb and xdotool)"
            exit 1
        fi
    done
    # A server of its own, whatever display the caller has; the whole run is bounded.
    X11_TEST_INNER=1 exec timeout -k 5 90 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

# Qt draws on the X server, never offscreen.
export QT_QPA_PLATFORM=xcb
work=$(mktemp -d)
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"
# The default machine profile is made in the test's own cache folder.
export XDG_CACHE_HOME="$work/cache"
rm -rf "$shots"
mkdir -p "$shots"
cp -r "$src/examples/demo" "$work/demo"
step=0

fail() {
    echo "FAIL: $*"
    shot "failure"
    [ -s "$work/studio.out" ] && { echo "--- tamsel-studio said:"; cat "$work/studio.out"; }
    exit 1
}
ok() { echo "ok: $*"; }
shot() {
    step=$((step + 1))
    "$x11shot" "$shots/$(printf %02d $step)-$1.png" || echo "note: no screenshot of step $step"
}
# Lets the application handle what was sent before the next look.
settle() { sleep "${1:-0.3}"; }
# window TITLE: the id of the visible window of that title, waiting up to 10 s.
window() {
    timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}
visible() { [ -n "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null)" ]; }
# lasting N COMMAND...: waits while the command succeeds, false after N fifths of a second.
lasting() {
    n=$1
    shift
    while "$@"; do
        n=$((n - 1))
        [ $n -lt 0 ] && return 1
        sleep 0.2
    done
}
# gone TITLE: waits up to 5 s for no window of that title to be visible.
gone() { lasting 25 visible "$1"; }
# absent TITLE: no window of that title shows up within a second.
absent() {
    settle 1
    ! visible "$1"
}
# focus WINDOW: X input focus to it (there is no window manager to give it).
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; settle 0.2; }
keys() { xdotool key --clearmodifiers --delay 60 "$@"; settle; }
# click WINDOW X Y WIDTH HEIGHT: a click at the centre of a control given in
# the dialog units of its template, scaled by the window's size in pixels.
click() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    cx=$(( (2 * $2 + $4) * WIDTH / (2 * TEMPLATE_CX) ))
    cy=$(( (2 * $3 + $5) * HEIGHT / (2 * TEMPLATE_CY) ))
    xdotool mousemove --window "$1" "$cx" "$cy" click 1
    settle
}

"$studio" edit "$work/demo" >"$work/studio.out" 2>&1 &
pid=$!
lib=$(window "Font Library")
[ -n "$lib" ] || fail "the font library dialog did not appear"
ok "the font library dialog is on the screen"
focus "$lib"
shot "library"
TEMPLATE_CX=232 TEMPLATE_CY=230  # template 3001

# Rows: Default Font, Title, Body, 标题, Alarm. Through the list and back.
keys Down Down End Up Home
shot "arrowed-home"
# On the default font Delete is disabled: a click on it asks nothing.
click "$lib" 124 142 101 14
absent "Delete Font" || fail "deleting the default font was not refused"
ok "the default font cannot be deleted"
shot "default-refused"

# Two rows down is Body: now Delete asks, and Enter answers Yes.
keys Down Down
click "$lib" 124 142 101 14
box=$(window "Delete Font")
[ -n "$box" ] || fail "Delete on an arrowed-to row asked nothing: the list did not report the keys"
shot "delete-question"
focus "$box"
keys Return
gone "Delete Font" || fail "the delete question stayed open"
ok "an arrowed-to font is deleted"

# Add: the properties dialog opens with the focus in the face field.
click "$lib" 124 124 101 14
props=$(window "Font Properties")
[ -n "$props" ] || fail "Add did not open the font properties dialog"
focus "$props"
keys ctrl+a
xdotool type --delay 40 "DejaVu Serif"
settle
keys Tab ctrl+a
xdotool type --delay 40 "36"
settle
# The style field has no choice yet: Down takes its first style, Regular.
keys Tab Down
shot "properties-typed"
keys Return
gone "Font Properties" || fail "OK did not close the properties dialog"
ok "a font was added through the properties dialog"
focus "$lib"
shot "library-added"

# Closing saves the table.
keys Escape
lasting 50 kill -0 "$pid" 2>/dev/null ||
    fail "tamsel-studio did not end after the dialog was closed"
status=0
wait "$pid" || status=$?
pid=""
[ $status -eq 0 ] || fail "tamsel-studio edit ended with status $status"
grep -q "saved 12 font(s)" "$work/studio.out" || fail "the table was not saved with 12 fonts"
ok "closing saved the table"

table=$(QT_QPA_PLATFORM=offscreen "$studio" fonts list "$work/demo" 2>&1)
check_table() {  # check_table DESCRIPTION PATTERN [absent]
    if printf '%s\n' "$table" | grep -Eq -- "$2"; then found=1; else found=0; fi
    if [ "${3:-}" = absent ]; then want=0; else want=1; fi
    [ $found -eq $want ] || { echo "$table"; fail "Font.hft: $1"; }
    ok "Font.hft: $1"
}
check_table "the default font is kept" "^14 +Default Font +SimSun +16 "
check_table "Body is deleted" "^17 " absent
check_table "the new font has the typed face and size, and the style chosen by key" "^23 +DejaVu Serif_36 +DejaVu Serif +36 +400 +0 "
check_table "the other fonts stay" "^19 +Alarm +Tahoma +18 +700 "
exit 0
