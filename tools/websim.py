#!/usr/bin/env python3
"""Web-service simulator for LoxanRadio: the package query, the scrambled package, the direct
package request (ETag/304, Set-Session-Key), listener counts, and misbehaving endpoints for tests.

Runs on 127.0.0.1 only. The first line on stdout is "websim listening on http://127.0.0.1:PORT".
Point the companion's net_option.ini at it to watch the whole update flow:

    [WebURL]
    MagpieUrl=http://127.0.0.1:PORT/api/package/v1/query
    RADIO_API_SERVER_HOST=http://127.0.0.1:PORT

Control (tests): POST /_sim/config with a JSON object merges settings (see DEFAULTS);
GET /_sim/log lists the requests received; POST /_sim/reset restores the defaults.
Only the Python standard library is used.
"""
import argparse
import base64
import io
import json
import socket
import struct
import sys
import threading
import time
import urllib.parse
import zipfile
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PACKAGE_KEY = 0xB6

DEFAULTS = {
    "version": "1.2.3",            # version text in the query reply
    "hash": "h123",
    "encrypt_hash": "e456",
    "code": 0,
    "version_reply": None,         # raw text replacing the whole query reply
    "package_b64": None,           # raw package bytes (a zip, or anything else)
    "package_path": None,          # or a zip file on disk
    "package_kind": "sample",      # else "climbing" (an entry "../escaped.txt"), "partial" (no category.txt)
    "etag": '"pkg-1"',
    "session_key": "sk-1",
    "etag_header": "ETag",         # header names as sent, to test letter case
    "session_header": "Set-Session-Key",
    "direct_status": 200,          # status of the direct request when not 304
    "listener_replies": {},        # "type/type_key" -> raw reply text
}

SAMPLE_FILES = {
    "channel.txt": [
        "channel_key,key,name,url,location_key,location_name,switch,weight,hz,extra",
        "101,1,模拟之声,mms://127.0.0.1/sim101,42,推荐,1,10,FM101.1,x",
        "102,2,测试新闻台,http://127.0.0.1/sim/102.m3u8,1,网络,1,9,FM102.2,x",
        "103,3,北京交通,mms://127.0.0.1/sim103,11,北京,1,8,FM103.9,x",
    ],
    "location.txt": ["key,name", "42,推荐", "1,网络", "11,北京"],
    "category.txt": ["key,name,index", "7,新闻,1"],
    "category_map.txt": ["key,channel_key,channel_name,category_key,category_name", "1,102,测试新闻台,7,新闻"],
}


def sample_package(kind="sample"):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        if kind == "climbing":
            z.writestr("../escaped.txt", b"outside")
        for name, lines in SAMPLE_FILES.items():
            if kind == "partial" and name == "category.txt":
                continue
            z.writestr(name, ("\n".join(lines) + "\n").encode("utf-16-le"))
    return out.getvalue()


def scramble(data):
    """Inverse of the client's unscrambling (nibble swap, then XOR with the key)."""
    table = bytes((((b ^ PACKAGE_KEY) >> 4) | ((b ^ PACKAGE_KEY) << 4)) & 0xFF for b in range(256))
    return data.translate(table)


class State:
    def __init__(self):
        self.lock = threading.Lock()
        self.reset()

    def reset(self):
        with getattr(self, "lock", threading.Lock()):
            self.cfg = json.loads(json.dumps(DEFAULTS))
            self.log = []

    def get(self, key):
        with self.lock:
            return self.cfg[key]

    def package(self):
        with self.lock:
            b64, path, kind = self.cfg["package_b64"], self.cfg["package_path"], self.cfg["package_kind"]
        if b64 is not None:
            return base64.b64decode(b64)
        if path:
            with open(path, "rb") as f:
                return f.read()
        return sample_package(kind)


STATE = State()
BLOB = bytes(range(256)) * 4096  # 1 MiB pattern for large bodies


def pattern(n):
    return bytes(i % 251 for i in range(n))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "websim"
    sys_version = ""
    verbose = False

    def log_message(self, fmt, *args):
        if self.verbose:
            sys.stderr.write("websim: " + (fmt % args) + "\n")

    # ---- plumbing -------------------------------------------------------------------------
    def read_body(self):
        n = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(n) if n > 0 else b""

    def reply(self, status, body=b"", ctype="application/octet-stream", headers=()):
        self.send_response(status)
        bodyless = status in (204, 304)
        if not bodyless:
            self.send_header("Content-Type", ctype)
            self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if not bodyless and self.command != "HEAD":
            self.wfile.write(body)

    def json_reply(self, obj, status=200):
        self.reply(status, json.dumps(obj, ensure_ascii=False).encode("utf-8"), "application/json; charset=utf-8")

    def base(self):
        return "http://127.0.0.1:%d" % self.server.server_address[1]

    def do_GET(self):
        self.dispatch(b"")

    def do_POST(self):
        self.dispatch(self.read_body())

    def dispatch(self, body):
        target = self.path
        parts = urllib.parse.urlsplit(target)
        path, query = parts.path, urllib.parse.parse_qs(parts.query)
        if not path.startswith("/_sim/"):
            with STATE.lock:
                STATE.log.append({"method": self.command, "target": target, "path": path, "query": parts.query,
                                  "headers": {k: v for k, v in self.headers.items()}, "body_len": len(body)})
        try:
            self.route(path, query, body)
        except (BrokenPipeError, ConnectionResetError):
            pass

    # ---- routes ---------------------------------------------------------------------------
    def route(self, path, q, body):
        if path == "/_sim/config":
            update = json.loads(body or b"{}")
            with STATE.lock:
                STATE.cfg.update(update)
            return self.json_reply({"ok": True})
        if path == "/_sim/log":
            with STATE.lock:
                return self.json_reply(STATE.log)
        if path == "/_sim/reset":
            STATE.reset()
            return self.json_reply({"ok": True})
        if path == "/api/package/v1/query":
            return self.version_query()
        if path.startswith("/package/"):
            return self.reply(200, scramble(STATE.package()))
        if path == "/resource2/IOS":
            return self.direct_request()
        if path.startswith("/program_info_list/"):
            return self.listener_counts(path)
        if path.startswith("/test/"):
            return self.test_route(path[len("/test/"):], q, body)
        return self.reply(404, b"not found", "text/plain")

    def version_query(self):
        raw = STATE.get("version_reply")
        if raw is not None:
            return self.reply(200, raw.encode("utf-8"), "application/json; charset=utf-8")
        version = STATE.get("version")
        info = {"version": version, "url": self.base() + "/package/Package_%s.bin" % version,
                "hash": STATE.get("hash"), "encryptHash": STATE.get("encrypt_hash")}
        return self.json_reply({"code": STATE.get("code"), "msg": "ok", "data": {"info": info}})

    def direct_request(self):
        etag = STATE.get("etag")
        if etag and self.headers.get("If-None-Match") == etag:
            return self.reply(304)
        status = STATE.get("direct_status")
        headers = [(STATE.get("etag_header"), etag), (STATE.get("session_header"), STATE.get("session_key"))]
        return self.reply(status, STATE.package(), "application/zip", headers)

    def listener_counts(self, path):
        seg = path.strip("/").split("/")  # program_info_list/type/T/type_key/K
        key = "%s/%s" % (seg[2] if len(seg) > 2 else "", seg[4] if len(seg) > 4 else "")
        replies = STATE.get("listener_replies")
        if key in replies:
            return self.reply(200, replies[key].encode("utf-8"), "application/json; charset=utf-8")
        try:
            base = int(seg[4]) * 100
        except (IndexError, ValueError):
            base = 0
        items = [{"channel_key": base + i, "listener_count": 10 * i} for i in range(1, 4)]
        return self.json_reply({"program_info_list": items})

    def test_route(self, name, q, body):
        arg = lambda k, d: int(q.get(k, [d])[0])
        if name == "bytes":
            data = pattern(arg("n", 0))
            if arg("bom", 0):
                data = b"\xef\xbb\xbf" + data
            return self.reply(200, data, q.get("ctype", ["application/octet-stream"])[0])
        if name.startswith("status/"):
            code = int(name.split("/")[1])
            return self.reply(code, b"status %d" % code, "text/plain")
        if name == "header":
            self.send_response(200)
            for line in q.get("line", []):  # raw lines, sent exactly as given
                self._headers_buffer.append(line.encode("latin-1", "replace") + b"\r\n")
            self.send_header("Content-Length", "2")
            self.end_headers()
            return self.wfile.write(b"ok")
        if name == "echo":
            return self.json_reply({"method": self.command, "target": self.path,
                                    "headers": {k: v for k, v in self.headers.items()},
                                    "body_b64": base64.b64encode(body).decode()})
        if name.startswith("redirect/"):
            n = int(name.split("/")[1])
            if n <= 0:
                return self.reply(200, b"arrived", "text/plain")
            return self.reply(302, b"", "text/plain", [("Location", "/test/redirect/%d" % (n - 1))])
        if name == "redirect-loop":
            return self.reply(302, b"", "text/plain", [("Location", "/test/redirect-loop")])
        if name == "cookie/set":
            return self.reply(200, b"set", "text/plain", [("Set-Cookie", "sid=%s; Path=/" % q.get("v", ["1"])[0])])
        if name == "cookie/get":
            return self.reply(200, (self.headers.get("Cookie") or "").encode(), "text/plain")
        if name in ("slow", "stall", "reset"):
            return self.misbehave(name, arg("n", 4096), arg("after", 1024), arg("chunk", 1024), arg("delay_ms", 50))
        if name == "noanswer":
            time.sleep(arg("hold_s", 60))
            self.close_connection = True
            return None
        if name == "blob":
            return self.blob(arg("size", 50 * 1024 * 1024))
        return self.reply(404, b"not found", "text/plain")

    def misbehave(self, name, n, after, chunk, delay_ms):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(n))
        self.end_headers()
        data = pattern(n)
        if name == "slow":
            for i in range(0, n, chunk):
                self.wfile.write(data[i:i + chunk])
                self.wfile.flush()
                time.sleep(delay_ms / 1000.0)
            return None
        self.wfile.write(data[:after])
        self.wfile.flush()
        self.close_connection = True
        if name == "stall":
            time.sleep(60)
            return None
        # reset: an abortive close sends RST in the middle of the body
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()
        return None

    def blob(self, size):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        view = memoryview(BLOB)
        left = size
        while left > 0:
            n = min(left, len(BLOB))
            self.wfile.write(view[:n])
            left -= n


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: a free one)")
    ap.add_argument("--package", help="zip file served as the package (default: a small sample)")
    ap.add_argument("--verbose", action="store_true", help="log each request on stderr")
    args = ap.parse_args()
    if args.package:
        STATE.cfg["package_path"] = args.package
    Handler.verbose = args.verbose
    server = Server(("127.0.0.1", args.port), Handler)
    print("websim listening on http://127.0.0.1:%d" % server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
