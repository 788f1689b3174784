#!/usr/bin/env python3
"""A stand-in for the crates registry's web API and sparse index, on loopback, for the release
rehearsal: the release's skip-if-present step asks it whether a version exists, as it asks the
real registry. It answers as the real one does:

  GET /api/v1/crates/NAME/VERSION   200 {"version": {...}} when DIR/NAME/VERSION exists,
                                    404 {"errors": [{"detail": ...}]} otherwise
  GET /api/v1/crates/NAME           200 {"crate": ..., "versions": [...]} or 404
  GET /index/config.json            the sparse index's configuration
  GET /index/PREFIX/NAME            one JSON line per published version, 404 when none
  a request without a User-Agent    403, as the registry's policy requires

A version is published by creating the file DIR/NAME/VERSION. "Unreachable" is played by the
rehearsal's curl shim, which sends requests to a closed port instead.

Usage: crates_standin.py DIR PORT_FILE   (writes the port it listens on to PORT_FILE)
"""
import http.server
import json
import os
import re
import sys


def index_path(name):
    """The sparse index's path of a crate name: 1/a, 2/ab, 3/a/abc, ab/cd/abcd..."""
    name = name.lower()
    if len(name) <= 2:
        return f"{len(name)}/{name}"
    if len(name) == 3:
        return f"3/{name[0]}/{name}"
    return f"{name[:2]}/{name[2:4]}/{name}"


class Handler(http.server.BaseHTTPRequestHandler):
    root = "."

    def versions(self, name):
        folder = os.path.join(self.root, name.lower())
        return sorted(os.listdir(folder)) if os.path.isdir(folder) else []

    def reply(self, status, body):
        data = body.encode() if isinstance(body, str) else json.dumps(body).encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):  # noqa: N802 (the name http.server calls)
        if not self.headers.get("User-Agent"):
            return self.reply(403, {"errors": [{"detail": "We require that all requests include "
                                                "a `User-Agent` header."}]})
        path = self.path.split("?", 1)[0]
        m = re.fullmatch(r"/api/v1/crates/([\w-]+)(?:/([^/]+))?", path)
        if m:
            name, version = m.groups()
            versions = self.versions(name)
            if not versions:
                return self.reply(404, {"errors": [{"detail": f"crate `{name}` does not exist"}]})
            if version is None:
                return self.reply(200, {"crate": {"name": name, "max_version": versions[-1]},
                                        "versions": [{"crate": name, "num": v} for v in versions]})
            if version not in versions:
                return self.reply(404, {"errors": [{"detail": f"crate `{name}` does not have "
                                                    f"a version `{version}`"}]})
            return self.reply(200, {"version": {"crate": name, "num": version, "yanked": False}})
        if path == "/index/config.json":
            host = f"http://{self.headers.get('Host')}"
            return self.reply(200, {"dl": f"{host}/api/v1/crates", "api": host})
        m = re.fullmatch(r"/index/(?:[\w-]+/){1,2}([\w-]+)", path)
        if m and path == "/index/" + index_path(m.group(1)) and self.versions(m.group(1)):
            lines = [json.dumps({"name": m.group(1), "vers": v, "deps": [], "cksum": "0" * 64,
                                 "features": {}, "yanked": False}) for v in self.versions(m.group(1))]
            return self.reply(200, "\n".join(lines) + "\n")
        return self.reply(404, {"errors": [{"detail": "Not Found"}]})

    def log_message(self, fmt, *args):
        sys.stderr.write("crates stand-in: " + fmt % args + "\n")


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    Handler.root = argv[1]
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    with open(argv[2], "w", encoding="utf-8") as f:
        f.write(f"{server.server_address[1]}\n")
    server.serve_forever()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
