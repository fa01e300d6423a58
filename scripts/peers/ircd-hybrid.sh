#!/usr/bin/env bash
# Runs ircd-hybrid for a test, in the foreground, on 127.0.0.1 only:
#   ircd-hybrid.sh DIR PORT [ident]
# With "ident" it asks each client's ident responder (port 113).
# It refuses to run as root (so it runs as the stock "irc" user) and always
# asks DNS for the client's name, so it gets a private resolv.conf naming
# 127.0.0.1, where a stub answers every query with "no such name" at once.
# The package conflicts with ngircd: scripts/install-deps.sh unpacks it into
# /opt/brevant-peers/ircd-hybrid instead, whose libraries are laid over
# /usr/lib in a private mount namespace. Needs root. SIGTERM stops both.
set -euo pipefail
dir=$1
port=$2
disable_auth=yes
[ "${3:-}" = ident ] && disable_auth=no
root=${BREVANT_HYBRID_ROOT:-/opt/brevant-peers/ircd-hybrid}
if [ -x /usr/sbin/ircd-hybrid ]; then bin=/usr/sbin/ircd-hybrid; overlay=""; else
  bin=$root/usr/sbin/ircd-hybrid
  overlay="mount -t overlay overlay -o lowerdir=$root/usr/lib:/usr/lib /usr/lib &&"
fi
[ -x "$bin" ] || { echo "ircd-hybrid is not installed (scripts/install-deps.sh)" >&2; exit 1; }

cat > "$dir/ircd.conf" <<CONF
serverinfo { name = "irc.test"; description = "test server"; network_name = "testnet"; hub = no;
	default_max_clients = 100; max_nick_length = 30; };
admin { name = "test"; description = "test"; email = "<root@localhost>"; };
class { name = "users"; ping_time = 3 seconds; number_per_ip_local = 100; number_per_ip_global = 100;
	max_number = 100; sendq = 2 megabytes; recvq = 8 kbytes; };
listen { host = "127.0.0.1"; port = $port; };
auth { user = "*@*"; class = "users"; };
motd { mask = "*"; file = "$dir/ircd.motd"; };
general { disable_auth = $disable_auth; invisible_on_connect = no; throttle_time = 0 seconds; default_floodcount = 1000; };
CONF
echo "test motd" > "$dir/ircd.motd"
echo "nameserver 127.0.0.1" > "$dir/resolv.conf"
cat > "$dir/fakedns.py" <<'PY'
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 53))
while True:
    q, peer = s.recvfrom(2048)
    i = 12
    while i < len(q) and q[i]:
        i += q[i] + 1
    s.sendto(q[:2] + bytes([0x80 | (q[2] & 0x79), 0x83]) + b"\0\1\0\0\0\0\0\0" + q[12:i + 5], peer)
PY
chown -R irc:irc "$dir"

python3 "$dir/fakedns.py" &
dns=$!
unshare -m sh -c "$overlay mount --bind $dir/resolv.conf /etc/resolv.conf && exec setpriv --reuid=irc --regid=irc --init-groups $bin -foreground -configfile $dir/ircd.conf -pidfile $dir/ircd.pid -logfile $dir/ircd.log -klinefile $dir/kline.db -dlinefile $dir/dline.db -xlinefile $dir/xline.db -resvfile $dir/resv.db" &
ircd=$!
trap 'kill $ircd $dns 2>/dev/null; wait' TERM INT EXIT
wait $ircd
