"""A local HTTPS server (TLS 1.2, a certificate for "localhost") for the update check's tests.

Two listeners: one with a certificate from the CA the test trusts, one from a CA it does not.
Every request is logged as a JSON line (path and headers in the order sent). Paths:
  /r/<base64url body>/...            200 with that body
  /flaky/<key>/<n>/<base64url>/...   the first n requests for key are dropped, then as /r/
  /fail/...                          always dropped
  /redirect/...                      302 to a plain-http address
  /big/...                           200 with 1 MiB + 1 bytes
  /status/<code>/<base64url body>/... that status with that body
  /trickle/...                       200 with a long body sent a byte every 200 ms, for ever
Writes "<trusted port> <untrusted port>" to <dir>/ports once listening.
"""
import base64
import http.server
import json
import os
import ssl
import sys
import threading
import time

work = sys.argv[1]
log_lock = threading.Lock()
flaky = {}


def decode(part):
    return base64.urlsafe_b64decode(part + "=" * (-len(part) % 4))


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, status, body, extra=()):
        self.send_response(status)
        for name, value in extra:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        with log_lock, open(os.path.join(work, "log"), "a") as log:
            log.write(json.dumps({"path": self.path, "headers": list(self.headers.items())}) + "\n")
        parts = self.path.split("/")
        kind = parts[1] if len(parts) > 1 else ""
        if kind == "r":
            self.reply(200, decode(parts[2]))
        elif kind == "flaky":
            key, n = parts[2], int(parts[3])
            with log_lock:
                flaky[key] = flaky.get(key, 0) + 1
                count = flaky[key]
            if count <= n:
                self.close_connection = True
                self.connection.close()
                return
            self.reply(200, decode(parts[4]))
        elif kind == "redirect":
            self.reply(302, b"", [("Location", "http://localhost:%d/r/e30/api.init.php" % plain_port)])
        elif kind == "big":
            self.reply(200, b"x" * (1024 * 1024 + 1))
        elif kind == "status":
            self.reply(int(parts[2]), decode(parts[3]))
        elif kind == "trickle":
            self.send_response(200)
            self.send_header("Content-Length", "1000000")
            self.end_headers()
            try:
                while True:
                    self.wfile.write(b"x")
                    self.wfile.flush()
                    time.sleep(0.2)
            except OSError:
                pass
        else:
            self.close_connection = True
            self.connection.close()


def serve(cert, key):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.maximum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(cert, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


plain = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
plain_port = plain.server_address[1]
threading.Thread(target=plain.serve_forever, daemon=True).start()
trusted = serve(os.path.join(work, "server.pem"), os.path.join(work, "server.key"))
untrusted = serve(os.path.join(work, "other.pem"), os.path.join(work, "other.key"))
with open(os.path.join(work, "ports.tmp"), "w") as f:
    f.write("%d %d %d\n" % (trusted, untrusted, plain_port))
os.rename(os.path.join(work, "ports.tmp"), os.path.join(work, "ports"))
threading.Event().wait()
