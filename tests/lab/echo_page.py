"""The lab's address-echo page: answers every GET with the caller's address
between the second "(" and the next ")", e.g.
"Your address (public) is (11.17.1.2) today". Listens on IPv4 and IPv6."""
import http.server
import socket
import sys


class Echo(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        host = self.client_address[0]
        if host.startswith("::ffff:"):
            host = host[len("::ffff:"):]
        body = f"Your address (public) is ({host}) today\r\n".encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, fmt, *args):
        sys.stdout.write("%s %s\n" % (self.client_address[0], fmt % args))


class DualStack(http.server.ThreadingHTTPServer):
    address_family = socket.AF_INET6

    def server_bind(self):
        self.socket.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
        super().server_bind()


DualStack((sys.argv[1], int(sys.argv[2])), Echo).serve_forever()
