#!/bin/sh
# Writes a scratch system root for the benchmarks: the sample pair as its
# defaults and rc.conf, BASE scripts in etc/rc.d and LOCAL in
# usr/local/etc/rc.d, each written as the base system's and the ports' are:
# a header that notes its variables, name, rcvar, desc, defaults in the
# usual forms, load_rc_config, functions and run_rc_command.
# usage: scripts/service_root.sh DIR BASE LOCAL
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
base=$2
local=$3
mkdir -p "$dir/etc/defaults" "$dir/etc/rc.d" "$dir/usr/local/etc/rc.d"
cp "$top/examples/defaults-rc.conf" "$dir/etc/defaults/rc.conf"
cp "$top/examples/rc.conf" "$dir/etc/rc.conf"

# One script: its folder, its name, its number.
script() {
	awk -v name="$2" -v n="$3" 'BEGIN {
		print "#!/bin/sh\n#\n# PROVIDE: " name "\n# REQUIRE: LOGIN FILESYSTEMS\n# KEYWORD: shutdown\n#"
		print "# Add the following lines to /etc/rc.conf to enable " name ":"
		print "# " name "_enable (bool):\tSet to \"NO\" by default."
		print "#\t\t\t\tSet it to \"YES\" to enable " name "."
		print "# " name "_flags (str):\tExtra flags passed to the daemon."
		print "# " name "_config (str):\tThe configuration file.\n\n. /etc/rc.subr\n"
		print "name=\"" name "\"\ndesc=\"Benchmark service " n "\"\nrcvar=" name "_enable"
		print "command=\"/usr/local/sbin/" name "\"\npidfile=\"/var/run/${name}.pid\""
		print "start_precmd=\"" name "_precmd\"\nextra_commands=\"reload\"\n"
		print "load_rc_config $name\n"
		print ": ${" name "_enable:=\"NO\"}"
		print ": ${" name "_flags=\"-p ${pidfile}\"}"
		print name "_config=${" name "_config:-\"/usr/local/etc/" name ".conf\"}"
		print "[ -z \"$" name "_user\" ] && " name "_user=\"root\"\n"
		print name "_precmd()\n{\n\tif [ ! -f \"${" name "_config}\" ]; then"
		print "\t\twarn \"${" name "_config} is missing.\"\n\t\treturn 1\n\tfi"
		print "\tinstall -d -o ${" name "_user} /var/run/" name "\n}\n"
		print "command_args=\"-c ${" name "_config} ${" name "_flags}\"\nrun_rc_command \"$1\""
	}' >"$1/$2"
	chmod 555 "$1/$2"
}

i=0
while [ $i -lt "$base" ]; do
	script "$dir/etc/rc.d" "base$i" $i
	i=$((i + 1))
done
i=0
while [ $i -lt "$local" ]; do
	script "$dir/usr/local/etc/rc.d" "port$i" $i
	i=$((i + 1))
done
