"""The lab's network scenarios. Each builds namespaces inside a Lab and returns the namespace the
program runs in, with the facts a test checks against."""

import os
import shutil
import time

# Addresses of the "home" network. The peer namespace plays the gateway and owns the fixed internet
# probe targets as the lab's own test hosts.
LAN_V4 = "192.168.50.2"
GATEWAY_V4 = "192.168.50.1"
LAN_V6 = "2001:db8:50::2"
GATEWAY_V6 = "2001:db8:50::1"
INTERNET_V4 = "223.5.5.5"
INTERNET_V6 = "2400:3200::1"
ROUTE_PROBE_V4 = "1.1.1.1"
CARRIER = "vEthernet-lan"  # a veth named like a known virtual carrier, so it is assessed as one
TUN = "wltun0"
TUN_V4 = "198.18.0.1"


class Scenario:
    def __init__(self, lab, ns, **facts):
        self.lab = lab
        self.ns = ns
        self.facts = facts


def _resolv_conf(lab, ns, servers):
    """`ip netns exec` shows /etc/netns/<ns>/resolv.conf as /etc/resolv.conf inside the namespace."""
    directory = f"/etc/netns/{ns}"
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, "resolv.conf"), "w") as f:
        f.writelines(f"nameserver {s}\n" for s in servers)
    lab.cleanups.append(lambda: shutil.rmtree(directory, ignore_errors=True))


def offline(lab):
    ns = lab.netns("off")
    _resolv_conf(lab, ns, [])
    return Scenario(lab, ns)


def home(lab):
    pc = lab.netns("pc")
    net = lab.netns("net")
    lab.veth(pc, CARRIER, net, "lan0")
    lab.ip(pc, "addr", "add", f"{LAN_V4}/24", "dev", CARRIER)
    lab.ip(pc, "-6", "addr", "add", f"{LAN_V6}/64", "dev", CARRIER, "nodad")
    lab.ip(net, "addr", "add", f"{GATEWAY_V4}/24", "dev", "lan0")
    lab.ip(net, "-6", "addr", "add", f"{GATEWAY_V6}/64", "dev", "lan0", "nodad")
    for address in (f"{INTERNET_V4}/32", f"{ROUTE_PROBE_V4}/32"):
        lab.ip(net, "addr", "add", address, "dev", "lo")
    lab.ip(net, "-6", "addr", "add", f"{INTERNET_V6}/128", "dev", "lo", "nodad")
    lab.ip(pc, "route", "add", "default", "via", GATEWAY_V4, "dev", CARRIER, "metric", "100")
    lab.ip(pc, "-6", "route", "add", "default", "via", GATEWAY_V6, "dev", CARRIER, "metric", "100")
    _resolv_conf(lab, pc, [GATEWAY_V4])
    return Scenario(lab, pc, peer=net)


def tun(lab):
    """Home plus a TUN adapter with a 198.18.x.x address that owns the preferred default route."""
    s = home(lab)
    pc = s.ns
    lab.exec(pc, "ip", "tuntap", "add", "mode", "tun", "name", TUN)
    # A TUN device has no carrier until a process holds it open.
    lab.spawn(pc, "python3", "-c",
              "import fcntl,os,struct,time\n"
              "fd=os.open('/dev/net/tun',os.O_RDWR)\n"
              f"fcntl.ioctl(fd,0x400454ca,struct.pack('16sH',b'{TUN}',0x1001))\n"
              "time.sleep(86400)")
    lab.ip(pc, "addr", "add", f"{TUN_V4}/16", "dev", TUN)
    lab.ip(pc, "link", "set", TUN, "up")
    lab.ip(pc, "route", "add", "default", "dev", TUN, "metric", "5")
    # The holder attaches a moment after it starts; a run before that sees the TUN as down.
    _wait_for_carrier(lab, pc, TUN)
    return s


def _wait_for_carrier(lab, ns, link, timeout=10):
    deadline = time.monotonic() + timeout
    while "LOWER_UP" not in lab.ip(ns, "link", "show", link).stdout:
        if time.monotonic() > deadline:
            raise RuntimeError(f"{link} has no carrier after {timeout} s")
        time.sleep(0.05)


# The KAM campus network's fixed addresses, owned here by the peer namespace as the lab's own hosts.
CAMPUS_PORTAL = "10.0.0.55"
CAMPUS_API = "10.0.0.54"
CAMPUS_DNS_PRIMARY = "10.0.32.32"
CAMPUS_DNS_BACKUP = "10.0.32.33"
CAMPUS_PORTAL_TITLE = "KAM Lab Portal"
CAMPUS_USER = "s2301lab"
CAMPUS_ONLINE_IP = "10.12.3.4"
CAMPUS_SUM_BYTES = 123456789
CAMPUS_SUM_SECONDS = 3600
CAMPUS_DNS_ANSWER = "10.0.0.80"

# The srun portal: its root redirects to the login page, and rad_user_info answers JSONP.
_CAMPUS_PORTAL_SERVER = f"""
import http.server, json
page = b'<html><head><title>{CAMPUS_PORTAL_TITLE}</title></head><body>srun</body></html>'
info = json.dumps({{"error": "ok", "user_name": "{CAMPUS_USER}", "online_ip": "{CAMPUS_ONLINE_IP}",
                    "sum_bytes": {CAMPUS_SUM_BYTES}, "sum_seconds": {CAMPUS_SUM_SECONDS}}})
class Portal(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        if self.path == '/':
            self.send_response(302)
            self.send_header('Location', '/srun_portal_pc?ac_id=1&theme=basic')
            self.end_headers()
        elif self.path.startswith('/srun_portal_pc'):
            self.reply(page, 'text/html')
        elif self.path.startswith('/cgi-bin/rad_user_info'):
            self.reply(('jQuery1124_1700000000(' + info + ')').encode(), 'text/plain')
        else:
            self.send_error(404)
    def reply(self, body, kind):
        self.send_response(200)
        self.send_header('Content-Type', kind)
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args):
        pass
http.server.HTTPServer(('{CAMPUS_PORTAL}', 80), Portal).serve_forever()
"""

# The API host only takes connections and closes them: a port that is open but speaks no HTTP.
_CAMPUS_API_ACCEPTOR = f"""
import socket
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(('{CAMPUS_API}', 8800))
s.listen(16)
while True:
    c, _ = s.accept()
    c.close()
"""


def campus(lab):
    """Home, where the peer also plays the KAM campus hosts: the srun portal, an API port that accepts
    but never answers, and a resolver on the primary address only (the backup address answers echoes
    but no DNS). Without dnsmasq no resolver runs; the facts say which."""
    s = home(lab)
    net = s.facts["peer"]
    for address in (CAMPUS_PORTAL, CAMPUS_API, CAMPUS_DNS_PRIMARY, CAMPUS_DNS_BACKUP):
        lab.ip(net, "addr", "add", f"{address}/32", "dev", "lo")
    lab.spawn(net, "python3", "-c", _CAMPUS_PORTAL_SERVER)
    lab.spawn(net, "python3", "-c", _CAMPUS_API_ACCEPTOR)
    dnsmasq = shutil.which("dnsmasq")
    if dnsmasq:
        lab.spawn(net, dnsmasq, "--keep-in-foreground", "--conf-file=/dev/null", "--no-resolv", "--no-hosts",
                  "--pid-file=", "--bind-interfaces", f"--listen-address={CAMPUS_DNS_PRIMARY}",
                  f"--address=/#/{CAMPUS_DNS_ANSWER}")
    lab.wait_listening(net, 80, address=CAMPUS_PORTAL)
    lab.wait_listening(net, 8800, address=CAMPUS_API)
    if dnsmasq:
        lab.wait_listening(net, 53, udp=True, address=CAMPUS_DNS_PRIMARY)
    s.facts["resolver"] = dnsmasq is not None
    return s
