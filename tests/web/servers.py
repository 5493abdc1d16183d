"""ltpd with demo data and ltpweb in front of it, each on a free loopback port, for the web tests."""
import http.cookiejar
import json
import os
import subprocess
import tempfile
import time
import urllib.error
import urllib.request

PASSWORD = "demo-password"


def _wait_for_file(path, process, what):
    for _ in range(200):
        if os.path.exists(path) and os.path.getsize(path) > 0:
            with open(path) as f:
                return int(f.read().strip())
        if process.poll() is not None:
            raise RuntimeError(f"{what} ended at start (exit {process.returncode})")
        time.sleep(0.05)
    raise RuntimeError(f"{what} did not report its port")


class Servers:
    def __init__(self, ltpd, ltpweb, labels=None, extra=(), ltpd_extra=()):
        self.work = tempfile.TemporaryDirectory()
        w = self.work.name
        env = dict(os.environ, LTPD_PASSWORD=PASSWORD)
        self.ltpd = subprocess.Popen([ltpd, "--port", "0", "--port-file", f"{w}/ltpd.port",
                                      "--seed", "demo", "--quiet", *ltpd_extra],
                                     env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.ltp_port = _wait_for_file(f"{w}/ltpd.port", self.ltpd, "ltpd")
        args = [ltpweb, "--listen", "127.0.0.1:0", "--port-file", f"{w}/web.port",
                "--ltp-port", str(self.ltp_port), *extra]
        if "--activity" not in extra:
            args += ["--activity", f"{w}/activity.sqlite"]
        if labels:
            args += ["--labels", labels]
        self.web = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.port = _wait_for_file(f"{w}/web.port", self.web, "ltpweb")
        self.url = f"http://127.0.0.1:{self.port}"

    def stop(self):
        for p in (self.web, self.ltpd):
            p.terminate()
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
        self.work.cleanup()


class Client:
    """A person at the API: a cookie jar and the CSRF token of the last sign-in."""

    def __init__(self, url):
        self.url = url
        self.jar = http.cookiejar.CookieJar()
        self.opener = urllib.request.build_opener(urllib.request.HTTPCookieProcessor(self.jar))
        self.csrf = None

    def call(self, method, path, body=None, csrf=True, raw=None, content_type="application/json"):
        data = raw if raw is not None else (None if body is None else json.dumps(body).encode())
        req = urllib.request.Request(self.url + path, data=data, method=method)
        if data is not None:
            req.add_header("Content-Type", content_type)
        if csrf and self.csrf:
            req.add_header("X-CSRF-Token", self.csrf)
        try:
            with self.opener.open(req, timeout=30) as res:
                return res.status, json.loads(res.read() or b"null"), res.headers
        except urllib.error.HTTPError as e:
            text = e.read()
            return e.code, json.loads(text) if text else None, e.headers

    def sign_in(self, user="admin", password=PASSWORD):
        status, body, headers = self.call("POST", "/api/session", {"user": user, "password": password})
        if status == 200:
            self.csrf = body["csrf"]
        return status, body, headers
