#!/usr/bin/env bash
# A home-network lab in Linux network namespaces: an "internet" with an
# address-echo page, optionally an ISP that shares one IPv4 address among its
# customers, a home router running Debian's miniupnpd (nftables build), and
# the host PC behind it. Nothing links the lab to the machine's own
# interfaces: every veth pair is made between two lab namespaces, so the
# lab's addresses (including its "public" ones) exist only inside it.
#
#   lab.sh up SITUATION DIR   builds the lab, writes DIR/lab.env (names and
#                             addresses, sourceable) and prints it
#   lab.sh down DIR           stops what the lab runs and removes it
#   lab.sh restart DIR [PORT] the router restarts and forgets every mapping
#                             (a power cut), on HTTP port PORT when given
#   lab.sh refuse DIR         a restart that comes up failing every mapping (501)
#   lab.sh readdress DIR IPV4 a new outside address (a PPPoE reconnect)
#
# SITUATION:
#   public   the router's WAN has a public IPv4 address
#   portset  the same, but the router maps only a MAP-E-like set of ports
#            (three blocks of 16; 21212 is not among them)
#   v1portset  an IGD v1 router (no AddAnyPortMapping) on a MAP-E customer's
#            set: one run of 16 in every 4096-port block, the last one that
#            the host's search from 21212 reaches
#   v1       an IGD v1 router that maps any port but 21212 (another device's)
#   shared   the router's WAN is in 100.64.0.0/10 behind an ISP that
#            masquerades; IPv6 is routed through to the home
#
# Needs root (ip netns, nft). Exit code 77 when namespaces cannot be made.
set -euo pipefail

# Addresses. 11.17.0.0/16 is neither private nor reserved, so miniupnpd
# accepts it as a WAN address; it exists only inside the lab.
INET_ECHO4=11.17.0.80
INET_ECHO6=2400:cafe::80
INET_MEMBER4=11.17.0.100
INET_MEMBER6=2400:cafe::100
ROUTER_WAN4_PUBLIC=11.17.1.2
INET_CORE4_PUBLIC=11.17.1.1
ISP_WAN4=11.17.2.2
INET_CORE4_ISP=11.17.2.1
ROUTER_WAN4_SHARED=100.64.17.2
ISP_LAN4=100.64.17.1
ROUTER_LAN4=192.168.17.1
PC4=192.168.17.2
# IPv6: the home's /64 is routed from the internet through the ISP (if any)
# and the router; the router lets in only what a pinhole opens.
INET_CORE6=2400:cafe:1::1
UP_WAN6=2400:cafe:1::2          # router (public, portset) or ISP (shared)
ISP_LAN6=2400:cafe:2::1
ROUTER_WAN6_SHARED=2400:cafe:2::2
ROUTER_LAN6=2400:cafe:100::1
PC6=2400:cafe:100::2
# The ports the port-set router lets clients map: three blocks of 16 as a
# MAP-E line hands them out.
PORTSET_RANGES="5136-5151 9232-9247 21264-21279"
# The IGD v1 router's set: PSID 44, ports 704-719 of every block 1..15.
V1_PORTSET_RANGES="$(for a in $(seq 1 15); do echo "$((a * 4096 + 704))-$((a * 4096 + 719))"; done | xargs)"
UPNP_HTTP_PORT=5000

die() { echo "lab: $*" >&2; exit 1; }
skip() { echo "lab: SKIPPED: $*" >&2; exit 77; }

in_ns() { local ns="$1"; shift; ip netns exec "$ns" "$@"; }

# Runs a command in a namespace in the background, standard output and error
# to a log file; records its pid so that "down" stops exactly it.
start_in_ns() {
  local ns="$1" log="$2"; shift 2
  ip netns exec "$ns" "$@" >>"$log" 2>&1 </dev/null &
  echo $! >>"$DIR/pids"
}

# A veth pair made straight inside two lab namespaces (never in the
# machine's own namespace), both ends up.
link_ns() {
  local ns1="$1" if1="$2" ns2="$3" if2="$4"
  ip -n "$ns1" link add "$if1" type veth peer name "$if2" netns "$ns2"
  ip -n "$ns1" link set "$if1" up
  ip -n "$ns2" link set "$if2" up
}

new_ns() {
  ip netns add "$1"
  echo "$1" >>"$DIR/namespaces"
  ip -n "$1" link set lo up
  # IPv6 addresses usable at once (no duplicate address detection wait).
  in_ns "$1" sysctl -qw net.ipv6.conf.all.accept_dad=0 net.ipv6.conf.default.accept_dad=0
}

addr() { ip -n "$1" addr add "$3" dev "$2" nodad 2>/dev/null || ip -n "$1" addr add "$3" dev "$2"; }

forwarding() {
  in_ns "$1" sysctl -qw net.ipv4.ip_forward=1 net.ipv6.conf.all.forwarding=1
}

# The internet: a core link towards the next hop (router or ISP); the echo
# page's and the member's addresses sit on its loopback interface.
make_internet() {
  new_ns "$NS_INET"
  addr "$NS_INET" lo "$INET_ECHO4/32"
  addr "$NS_INET" lo "$INET_MEMBER4/32"
  addr "$NS_INET" lo "$INET_ECHO6/128"
  addr "$NS_INET" lo "$INET_MEMBER6/128"
}

# The echo page: answers every GET with the caller's address after the
# second "(" and before the next ")".
start_echo_page() {
  start_in_ns "$NS_INET" "$DIR/echo.log" python3 -u "$LAB_DIR/echo_page.py" "::" 80
  for _ in $(seq 50); do
    in_ns "$NS_INET" bash -c "exec 3<>/dev/tcp/$INET_ECHO4/80" 2>/dev/null && return 0
    sleep 0.1
  done
  die "the echo page did not start"
}

# The home router: WAN link, LAN link to the PC, masquerading for the LAN's
# IPv4, a forward policy that drops what comes in unless it answers the
# home's own traffic or miniupnpd opened it, and miniupnpd itself.
make_router() {
  local wan4="$1" wan4_gw="$2" wan6="$3" wan6_gw="$4" permissions="$5" extra="${6:-}"
  new_ns "$NS_PC"
  link_ns "$NS_ROUTER" lan0 "$NS_PC" eth0
  addr "$NS_ROUTER" lan0 "$ROUTER_LAN4/24"
  addr "$NS_ROUTER" lan0 "$ROUTER_LAN6/64"
  addr "$NS_PC" eth0 "$PC4/24"
  addr "$NS_PC" eth0 "$PC6/64"
  ip -n "$NS_PC" route add default via "$ROUTER_LAN4"
  ip -n "$NS_PC" -6 route add default via "$ROUTER_LAN6"
  addr "$NS_ROUTER" wan0 "$wan4/24"
  addr "$NS_ROUTER" wan0 "$wan6/64"
  ip -n "$NS_ROUTER" route add default via "$wan4_gw"
  ip -n "$NS_ROUTER" -6 route add default via "$wan6_gw"
  forwarding "$NS_ROUTER"

  in_ns "$NS_ROUTER" nft -f - <<NFT
table inet filter {
  chain forward {
    type filter hook forward priority 0; policy drop;
    ct state established,related accept
    iifname "lan0" accept
    jump miniupnpd
  }
  chain miniupnpd {
  }
  chain prerouting {
    type nat hook prerouting priority -100; policy accept;
    jump prerouting_miniupnpd
  }
  chain postrouting {
    type nat hook postrouting priority 100; policy accept;
    jump postrouting_miniupnpd
    oifname "wan0" ip saddr 192.168.17.0/24 masquerade
  }
  chain prerouting_miniupnpd {
  }
  chain postrouting_miniupnpd {
  }
}
NFT

  cat >"$DIR/miniupnpd.conf" <<CONF
ext_ifname=wan0
ext_ifname6=wan0
listening_ip=lan0
http_port=$UPNP_HTTP_PORT
enable_natpmp=no
enable_upnp=yes
secure_mode=yes
system_uptime=yes
notify_interval=900
clean_ruleset_interval=0
uuid=3f1a2b4c-17aa-4c17-9a17-0123456789ab
friendly_name=Crewmap lab router
lease_file=$DIR/leases
upnp_table_name=filter
upnp_nat_table_name=filter
upnp_forward_chain=miniupnpd
upnp_nat_chain=prerouting_miniupnpd
upnp_nat_postrouting_chain=postrouting_miniupnpd
$extra
$permissions
CONF
  start_miniupnpd
}

# miniupnpd as configured in DIR, waited for until it answers on its port.
start_miniupnpd() {
  local port
  port="$(sed -n 's/^http_port=//p' "$DIR/miniupnpd.conf")"
  start_in_ns "$NS_ROUTER" "$DIR/miniupnpd.log" /usr/sbin/miniupnpd -d -f "$DIR/miniupnpd.conf" -P "$DIR/miniupnpd.pid"
  for _ in $(seq 50); do
    in_ns "$NS_PC" bash -c "exec 3<>/dev/tcp/$ROUTER_LAN4/$port" 2>/dev/null && return 0
    sleep 0.1
  done
  cat "$DIR/miniupnpd.log" >&2
  die "miniupnpd did not start"
}

lab_restart() {
  local pid
  pid="$(cat "$DIR/miniupnpd.pid")"
  kill -9 "$pid" && timeout 5 tail --pid="$pid" -f /dev/null
  in_ns "$NS_ROUTER" nft "flush chain inet filter miniupnpd; flush chain inet filter prerouting_miniupnpd;
                          flush chain inet filter postrouting_miniupnpd"
  rm -f "$DIR/leases" "$DIR/miniupnpd.pid"
  [ -z "${1:-}" ] || sed -i "s/^http_port=.*/http_port=$1/" "$DIR/miniupnpd.conf"
  start_miniupnpd
}

# Its rules not loaded and its firewall chain missing, miniupnpd answers and
# fails every mapping (UPnP error 501, whatever the port).
lab_refuse() {
  cp "$DIR/miniupnpd.conf" "$DIR/working.conf"
  sed -i '/^allow\|^deny/d; s/^upnp_nat_chain=.*/upnp_nat_chain=not_ready/' "$DIR/miniupnpd.conf"
  lab_restart && mv "$DIR/working.conf" "$DIR/miniupnpd.conf"
}

# The old address is gone from the router, and from what the internet knows.
lab_readdress() {
  in_ns "$NS_ROUTER" ip addr del "$ROUTER_WAN4/24" dev wan0
  addr "$NS_ROUTER" wan0 "$1/24"
  ip -n "$NS_ROUTER" route replace default via "$INET_CORE4_PUBLIC"
  ip -n "$NS_INET" neigh flush all
  sed -i "s/^ROUTER_WAN4=.*/ROUTER_WAN4=$1/; s/^PUBLIC4=.*/PUBLIC4=$1/" "$DIR/lab.env"
}

lab_up() {
  local situation="$1"
  command -v nft >/dev/null || skip "nft is not installed (package nftables)"
  [ -x /usr/sbin/miniupnpd ] || skip "miniupnpd is not installed (package miniupnpd-nftables)"
  command -v python3 >/dev/null || skip "python3 is not installed"
  [ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
  local probe="cml-probe-$$"
  ip netns add "$probe" 2>/dev/null || skip "cannot make network namespaces here"
  ip netns del "$probe"

  mkdir -p "$DIR"
  : >"$DIR/namespaces"
  : >"$DIR/pids"
  sweep_abandoned
  # The owner's pid in every name lets a later run clear a lab whose owner
  # was killed before it could take it down.
  local id
  id="${LAB_OWNER:-$PPID}-$(printf '%04x' $RANDOM)"
  NS_INET="cml-$id-inet"
  NS_ISP="cml-$id-isp"
  NS_ROUTER="cml-$id-rtr"
  NS_PC="cml-$id-pc"
  make_internet
  new_ns "$NS_ROUTER"
  local permissions="allow 1024-65535 192.168.17.0/24 1024-65535
deny 0-65535 0.0.0.0/0 0-65535" router_wan4="$ROUTER_WAN4_PUBLIC"
  local ranges="" extra=""
  [ "$situation" = portset ] && ranges="$PORTSET_RANGES"
  [ "$situation" = v1portset ] && ranges="$V1_PORTSET_RANGES" extra="force_igd_desc_v1=yes"
  [ "$situation" = v1 ] && extra="force_igd_desc_v1=yes" permissions="deny 21212-21212 0.0.0.0/0 0-65535
$permissions"
  case "$situation" in
    public|portset|v1portset|v1)
      link_ns "$NS_INET" core0 "$NS_ROUTER" wan0
      addr "$NS_INET" core0 "$INET_CORE4_PUBLIC/24"
      addr "$NS_INET" core0 "$INET_CORE6/64"
      ip -n "$NS_INET" -6 route add 2400:cafe:100::/64 via "$UP_WAN6"
      if [ -n "$ranges" ]; then
        permissions=""
        local r
        for r in $ranges; do
          permissions+="allow $r 192.168.17.0/24 1024-65535"$'\n'
        done
        permissions+="deny 0-65535 0.0.0.0/0 0-65535"
      fi
      make_router "$ROUTER_WAN4_PUBLIC" "$INET_CORE4_PUBLIC" "$UP_WAN6" "$INET_CORE6" "$permissions" "$extra"
      NS_ISP=""
      ;;
    shared)
      new_ns "$NS_ISP"
      link_ns "$NS_INET" core0 "$NS_ISP" wan0
      addr "$NS_INET" core0 "$INET_CORE4_ISP/24"
      addr "$NS_INET" core0 "$INET_CORE6/64"
      ip -n "$NS_INET" -6 route add 2400:cafe:100::/48 via "$UP_WAN6"
      addr "$NS_ISP" wan0 "$ISP_WAN4/24"
      addr "$NS_ISP" wan0 "$UP_WAN6/64"
      ip -n "$NS_ISP" route add default via "$INET_CORE4_ISP"
      ip -n "$NS_ISP" -6 route add default via "$INET_CORE6"
      link_ns "$NS_ISP" cust0 "$NS_ROUTER" wan0
      addr "$NS_ISP" cust0 "$ISP_LAN4/24"
      addr "$NS_ISP" cust0 "$ISP_LAN6/64"
      ip -n "$NS_ISP" -6 route add 2400:cafe:100::/64 via "$ROUTER_WAN6_SHARED"
      forwarding "$NS_ISP"
      # One IPv4 address for every customer; nothing comes in unasked.
      in_ns "$NS_ISP" nft -f - <<NFT
table ip cgnat {
  chain postrouting {
    type nat hook postrouting priority 100; policy accept;
    oifname "wan0" ip saddr 100.64.0.0/10 masquerade
  }
}
NFT
      router_wan4="$ROUTER_WAN4_SHARED"
      make_router "$ROUTER_WAN4_SHARED" "$ISP_LAN4" "$ROUTER_WAN6_SHARED" "$ISP_LAN6" "$permissions"
      ;;
    *) die "unknown situation $situation (public, portset, v1portset, v1 or shared)" ;;
  esac
  start_echo_page

  cat >"$DIR/lab.env" <<ENV
LAB_SITUATION=$situation
NS_INET=$NS_INET
NS_ISP=$NS_ISP
NS_ROUTER=$NS_ROUTER
NS_PC=$NS_PC
ECHO_URL=http://$INET_ECHO4/
ECHO_URL6=http://[$INET_ECHO6]/
ROUTER_WAN4=$router_wan4
PUBLIC4=$([ "$situation" = shared ] && echo "$ISP_WAN4" || echo "$router_wan4")
PC4=$PC4
PC6=$PC6
ROUTER_LAN4=$ROUTER_LAN4
PORTSET_RANGES="$ranges"
ENV
  cat "$DIR/lab.env"
}

# Removes labs left by runs that were killed (their owner no longer runs);
# only names this script makes are touched.
sweep_abandoned() {
  local ns owner pid
  for ns in $(ip netns list 2>/dev/null | awk '{print $1}' | grep -E '^cml-[0-9]+-[0-9a-f]{4}-(inet|isp|rtr|pc)$'); do
    owner="$(echo "$ns" | cut -d- -f2)"
    kill -0 "$owner" 2>/dev/null && continue
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$pid" 2>/dev/null || true; done
    ip netns del "$ns" 2>/dev/null || true
    rm -rf "/etc/netns/$ns"
  done
}

lab_down() {
  local pid ns
  if [ -f "$DIR/pids" ]; then
    while read -r pid; do
      [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    done <"$DIR/pids"
  fi
  if [ -f "$DIR/namespaces" ]; then
    while read -r ns; do
      [ -n "$ns" ] || continue
      # Whatever still runs inside (started by the lab's user) goes too.
      for pid in $(ip netns pids "$ns" 2>/dev/null); do kill "$pid" 2>/dev/null || true; done
    done <"$DIR/namespaces"
    sleep 0.2
    while read -r ns; do
      [ -n "$ns" ] || continue
      for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$pid" 2>/dev/null || true; done
      ip netns del "$ns" 2>/dev/null || true
      rm -rf "/etc/netns/$ns"  # host names a test gave there
    done <"$DIR/namespaces"
    : >"$DIR/namespaces"
  fi
  : >"$DIR/pids" 2>/dev/null || true
}

LAB_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
case "${1:-}" in
  up)
    [ $# -eq 3 ] || die "usage: lab.sh up SITUATION DIR"
    DIR="$3"
    # A lab half made is taken down again.
    trap 'rc=$?; [ $rc -ne 0 ] && [ $rc -ne 77 ] && lab_down; exit $rc' EXIT
    lab_up "$2"
    trap - EXIT
    ;;
  down)
    [ $# -eq 2 ] || die "usage: lab.sh down DIR"
    DIR="$2"
    lab_down
    ;;
  restart|refuse|readdress)
    DIR="${2:?usage: lab.sh restart|refuse DIR [PORT] | lab.sh readdress DIR IPV4}" && . "$DIR/lab.env"
    "lab_$1" "${3:-}" ;;
  *) die "usage: lab.sh up SITUATION DIR | lab.sh down DIR | lab.sh restart DIR [PORT] | lab.sh readdress DIR IPV4" ;;
esac
