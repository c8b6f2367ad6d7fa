#!/usr/bin/env bash
# End to end: works the editor's windows like a user, with xdotool, and checks
# what a run leaves behind: the exit status, the block appended to rc.conf, and
# the remembered window size.
#
# usage: bash tests/e2e/editor.sh KELVANE-BINARY
# DISPLAY names an X server without a window manager (scripts/with-xvfb.sh), so
# the test gives windows the keyboard focus itself and sizes them itself; its
# last part starts openbox to see the add window kept in front. It drives the
# program by keyboard (arrows, space, Enter and the buttons' mnemonics), which
# does not depend on where a theme puts things.
set -uo pipefail

kelvane=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvane-e2e.XXXXXX")
program=""
main=""
window_manager=""

# On failure the program is stopped and the files are kept for a look.
finish() {
	for started in "$program" "$window_manager"; do
		if [ -n "$started" ] && kill -0 "$started" 2>/dev/null; then
			kill "$started" 2>/dev/null
			wait "$started" 2>/dev/null
		fi
	done
	if [ "${passed:-0}" = 1 ]; then
		rm -rf "$work"
	else
		echo "e2e: files kept in $work" >&2
	fi
}
trap finish EXIT

fail() {
	echo "e2e: FAIL: $*" >&2
	import -window root "$work/screen.png" 2>/dev/null &&
		echo "e2e: the screen at that moment: $work/screen.png" >&2
	if [ -s "$work/stderr" ]; then
		echo "e2e: the program's standard error:" >&2
		cat "$work/stderr" >&2
	fi
	exit 1
}

# Runs the command given until it succeeds, for at most 10 seconds.
wait_until() {
	local tries=0
	until "$@"; do
		tries=$((tries + 1))
		[ $tries -lt 100 ] || return 1
		sleep 0.1
	done
}

program_ended() {
	local state
	state=$(ps -o stat= -p "$program") || return 0
	[[ $state == Z* ]]
}

# The first shown window of the program other than the main window.
other_window() {
	xdotool search --onlyvisible --pid "$program" 2>/dev/null | grep -vx "$main" | head -n 1
}

have_other_window() {
	[ -n "$(other_window)" ]
}

no_other_window() {
	[ -z "$(other_window)" ]
}

# The X windows inside the main window: an open cell editor adds its own.
windows_in_main() {
	xwininfo -tree -id "$main" | grep -c '^ *0x'
}

editor_open() {
	[ "$(windows_in_main)" -gt "$closed" ]
}

focus() {
	xdotool windowfocus --sync "$1" || fail "cannot give window $1 the keyboard focus"
}

# Puts the cursor of the focused list on row n (0 is the first), selected.
# Home alone leaves the row unselected, and the first Down or Up in a list
# without a selection selects the cursor's row instead of moving: Down then Up
# ends on the first row, selected, whichever way it started.
go_to_row() {
	local keys=(Home Down Up) i
	for ((i = 0; i < $1; i++)); do
		keys+=(Down)
	done
	xdotool key "${keys[@]}"
}

# Presses Space on knob row n of a fresh start, whose list has the focus with
# its cursor in the mark column: two columns right is the check box.
toggle_row() {
	focus "$main"
	xdotool key Right Right
	go_to_row "$1"
	xdotool key space
}

# Fills in the add window (name, value, comment) and ends it with a key: alt+a
# (Apply), Return (Enter applies) or Escape (cancels). The value may be typed
# without its quotes.
add_entry() {
	local window
	focus "$main"
	xdotool key alt+a
	window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Add new entry$' | head -n 1)
	[ -n "$window" ] || fail "the Add button opened no \"Add new entry\" window"
	focus "$window"
	# The name field has the focus, and the value field starts empty.
	xdotool type --delay 5 "$1"
	xdotool key Tab
	xdotool type --delay 5 "$2"
	xdotool key Tab
	xdotool type --delay 5 "$3"
	xdotool key "$4"
	wait_until no_other_window || fail "$4 did not close the add window for $1"
}

# The test's own pair of files. Merged and sorted, the knobs are apache_enable,
# cron_enable, ntpd_enable, sshd_enable and the strings hostname, ntpd_flags.
cat >"$work/defaults-rc.conf" <<'EOF'
# Defaults for the end-to-end test.

apache_enable="NO"	# Run the web server
cron_enable="YES"
ntpd_enable="NO"
hostname=""
ntpd_flags="-p /var/run/ntpd.pid"
sshd_enable="NO"
EOF
cat >"$work/rc.conf" <<'EOF'
hostname="box.example.org"
sshd_enable="YES"
EOF
cp "$work/rc.conf" "$work/rc.conf.before"
mkdir "$work/home"

export KELVANE_RC_DEFAULTS="$work/defaults-rc.conf"
export KELVANE_RC="$work/rc.conf"
export HOME="$work/home"
# English stock labels, hence the mnemonics used below.
export LC_ALL=C LANGUAGE=C
# A zone far from UTC, so the header's date is seen to be local time.
export TZ=KVT-5:45

# Keep the pointer off the windows, where it could raise a tooltip.
xdotool mousemove 0 0 || fail "xdotool cannot reach the X server at DISPLAY=${DISPLAY:-}"

# Starts the program and finds its main window; its standard error goes to
# the file given, else to $work/stderr. Native X windows for every widget
# window, so that xwininfo sees a cell editor open and close.
start() {
	GDK_NATIVE_WINDOWS=1 "$kelvane" 2>>"${1:-$work/stderr}" &
	program=$!
	main=$(timeout 20 xdotool search --sync --onlyvisible --pid "$program" --name '^Kelvane ' | head -n 1)
	[ -n "$main" ] || fail "the main window did not appear"
}

# Answers the one dialog that must come up with a key.
answer() {
	wait_until have_other_window || fail "$1 showed no dialog"
	focus "$(other_window)"
	xdotool key "$2"
	wait_until no_other_window || fail "$2 did not close the dialog after $1"
}

# Quits with alt+q, nothing pending; the program must end with status 0.
quit() {
	focus "$main"
	xdotool key alt+q
	wait_until program_ended || fail "the program did not end after Quit"
	wait "$program"
	status=$?
	program=""
	[ $status -eq 0 ] || fail "the program ended with status $status, not 0"
}

started=$(date +%s)
start

# Knobs: tick ntpd_enable, clear cron_enable, and toggle sshd_enable there and
# back, which must leave it out of the save.
toggle_row 1
go_to_row 2
xdotool key space
go_to_row 3
xdotool key space space
# Typing finds a name, case ignored: sshd_enable, which Space in the search
# then clears.
xdotool type --delay 5 'SSHD_EN'
xdotool key space Escape

# Strings: the next tab takes the focus along; find ntpd_flags, whose value
# Enter in the search opens, and type the new one without its quotes.
xdotool key ctrl+Next Right Right
go_to_row 0
xdotool type --delay 5 'ntpd_fl'
xdotool key Return
xdotool type --delay 5 -- '-g -p /var/run/ntpd.pid'
xdotool key Return

# hostname: a value sh would read as two words is refused with a message, and
# the editor opens again holding it. Corrected, it is taken as confirmed when
# a click on the Knobs tab takes the focus away.
closed=$(windows_in_main)
go_to_row 0
xdotool key Return
xdotool type --delay 5 '"gate" "x"'
xdotool key Return
wait_until have_other_window || fail "a refused value showed no message"
focus "$(other_window)"
xdotool key Return
wait_until no_other_window || fail "Enter did not close the message about the refused value"
wait_until editor_open || fail "the refused value's editor did not open again"
focus "$main"
# Only the text kept in the editor turns into the expected value here.
xdotool key End BackSpace BackSpace BackSpace BackSpace BackSpace
xdotool type --delay 5 '.example.org"'
# The Knobs tab, near the window's top left corner whatever the theme.
xdotool mousemove --window "$main" 36 24 click 1 mousemove 0 0

add_entry moused_enable YES 'mouse daemon' alt+a
add_entry ifconfig_em0 'inet 10.0.0.2 netmask 255.255.255.0' 'office LAN' Return
add_entry thrown_away '"x"' 'not added' Escape

focus "$main"
xdotool key alt+s
answer Save Return

xdotool windowsize --sync "$main" 720 580 || fail "cannot resize the main window"
quit
ended=$(date +%s)

# The file keeps what it held and gains one block, behind an empty line.
rc="$work/rc.conf"
size=$(wc -c <"$work/rc.conf.before")
head -c "$size" "$rc" | cmp -s - "$work/rc.conf.before" ||
	fail "the lines rc.conf held before were changed"
tail -c +$((size + 1)) "$rc" >"$work/block"
header=$(sed -n 2p "$work/block")
[ -z "$(sed -n 1p "$work/block")" ] || fail "the block does not begin with an empty line"
weekday='(Mon|Tue|Wed|Thu|Fri|Sat|Sun)'
month='(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)'
[[ $header =~ ^"# Kelvane generated deltas - "($weekday\ $month\ [\ 1-3][0-9]\ [0-2][0-9]:[0-5][0-9]:[0-6][0-9]\ [0-9]{4})$ ]] ||
	fail "header line is not in the expected form: '$header'"
# GNU date reads a date with -d, FreeBSD's with -j -f.
stamp=$(date -d "${BASH_REMATCH[1]}" +%s 2>/dev/null || date -j -f '%a %b %e %T %Y' "${BASH_REMATCH[1]}" +%s) ||
	fail "header date '${BASH_REMATCH[1]}' is no date"
if [ "$stamp" -lt $((started - 1)) ] || [ "$stamp" -gt $((ended + 1)) ]; then
	fail "header date '${BASH_REMATCH[1]}' is not the local time of the save"
fi

# Knobs first, then strings, each in name order: the added ones among them.
cat >"$work/expected-lines" <<'EOF'
cron_enable="NO"
moused_enable="YES"	# mouse daemon
ntpd_enable="YES"
sshd_enable="NO"
hostname="gate.example.org"
ifconfig_em0="inet 10.0.0.2 netmask 255.255.255.0"	# office LAN
ntpd_flags="-g -p /var/run/ntpd.pid"
EOF
tail -n +3 "$work/block" >"$work/lines"
if ! cmp -s "$work/lines" "$work/expected-lines"; then
	diff -u "$work/expected-lines" "$work/lines" >&2
	fail "the appended lines differ from the edits made (expected, then got, above)"
fi

# rc.conf is read by sh at boot: it must give each variable the value shown.
values=$(sh -c '. "$1" && printf "%s\n" "$cron_enable" "$ntpd_enable" "$sshd_enable" \
	"$moused_enable" "$hostname" "$ntpd_flags" "$ifconfig_em0"' sh "$rc") ||
	fail "sh cannot read the saved rc.conf"
expected_values='NO
YES
NO
YES
gate.example.org
-g -p /var/run/ntpd.pid
inet 10.0.0.2 netmask 255.255.255.0'
[ "$values" = "$expected_values" ] ||
	fail "sh reads other values from the saved file:"$'\n'"$values"

cmp -s "$HOME/.kelvanerc" <(printf 'geometry=720,580\n') ||
	fail "\$HOME/.kelvanerc holds '$(cat "$HOME/.kelvanerc" 2>/dev/null)', not geometry=720,580"

# Under openbox the add window stays in front of the main window after a
# message, the focus back on the field at fault, and Alt+A brings it to the
# front instead of opening a second one.
add_window_in_front() {
	[ "$(xdotool getactivewindow)" = "$add" ] &&
		[[ $(xprop -root _NET_CLIENT_LIST_STACKING) == *"$(printf '0x%x' "$add")" ]]
}

window_manager_running() {
	xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'
}

message_active() {
	[ "$(xdotool getwindowname "$(xdotool getactivewindow)")" = Kelvane ]
}

if ! command -v openbox >/dev/null; then
	echo "e2e: no openbox (scripts/setup.sh installs it): the add window's stacking is not tried"
else
	openbox --sm-disable >"$work/openbox.log" 2>&1 &
	window_manager=$!
	wait_until window_manager_running || fail "openbox did not start"
	start
	xdotool windowactivate --sync "$main"
	xdotool key alt+a
	add=$(timeout 10 xdotool search --sync --onlyvisible --name '^Add new entry$' | head -n 1)
	[ -n "$add" ] || fail "Alt+A opened no add window under openbox"
	xdotool type --delay 5 'my-var'
	xdotool key Tab
	xdotool type --delay 5 'gate.example.org'
	xdotool key Return
	wait_until message_active || fail "a name with a dash showed no message"
	xdotool key Return
	wait_until add_window_in_front || fail "the add window went behind the main window after the message"
	xdotool windowactivate --sync "$main"
	xdotool key alt+a
	wait_until add_window_in_front || fail "Alt+A did not bring the add window to the front"
	[ "$(xdotool search --onlyvisible --name '^Add new entry$' | wc -l)" -eq 1 ] || fail "Alt+A opened a second add window"
	# The focus is back in the name field, its text selected.
	xdotool type --delay 5 'my_var'
	xdotool key Return
	wait_until no_other_window || fail "the corrected name was not added"
	xdotool windowactivate --sync "$main"
	xdotool key alt+s
	answer Save Return
	quit
	grep -qx 'my_var="gate.example.org"' "$work/rc.conf" || fail "the name corrected under openbox was not saved"
fi

# Ended from outside with a change pending, the program keeps it in
# ~/.kelvane-pending and writes nothing to rc.conf: on SIGTERM it ends as the
# signal does, on losing its display with status 1.
mode_of() {
	stat -c %a "$1" 2>/dev/null || stat -f %Lp "$1"
}
change_then_end() {
	toggle_row 0
	# The About window comes once the key before it has been handled.
	xdotool key alt+b
	wait_until have_other_window || fail "About did not open"
	"$@"
	wait "$program"
	status=$?
	program=""
	cmp -s "$work/rc.conf" "$work/rc.conf.before" || fail "rc.conf changed without Save"
	[ "$(mode_of "$HOME/.kelvane-pending")" = 600 ] || fail "no ~/.kelvane-pending of mode 0600 after $*"
	grep -q '^knob	apache_enable	1	-	' "$HOME/.kelvane-pending" ||
		fail "~/.kelvane-pending does not hold the change: $(cat "$HOME/.kelvane-pending")"
}
cp "$work/rc.conf" "$work/rc.conf.before"
start "$work/ended"
change_then_end kill -TERM "$program"
[ $status -eq 143 ] || fail "SIGTERM ended the program with status $status, not 143"
grep -q "the changes not saved are kept in $HOME/.kelvane-pending" "$work/ended" ||
	fail "SIGTERM left no word on standard error"
rm "$HOME/.kelvane-pending"

shown=$DISPLAY
n=${DISPLAY#:}
n=$((${n%%.*} + 1))
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
export DISPLAY=":$n"
wait_until [ -e "/tmp/.X11-unix/X$n" ] || fail "a second Xvfb did not start"
start "$work/ended"
change_then_end kill "$server"
wait "$server" 2>/dev/null
export DISPLAY=$shown
[ $status -eq 1 ] || fail "a lost display ended the program with status $status, not 1"

# The next start offers the change back, marked and not saved; Save writes it.
start
answer "Starting with changes kept" alt+b
[ ! -e "$HOME/.kelvane-pending" ] || fail "~/.kelvane-pending is still there once its changes came back"
cmp -s "$work/rc.conf" "$work/rc.conf.before" || fail "rc.conf changed before Save"
focus "$main"
xdotool key alt+s
answer Save Return
quit
[ "$(tail -n 1 "$work/rc.conf")" = 'apache_enable="YES"' ] || fail "the change brought back was not saved"

[ ! -s "$work/stderr" ] || fail "the program wrote to standard error"
passed=1
echo "e2e: editor run passed"
