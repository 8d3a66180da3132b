"""Test servers on 127.0.0.1 for the end-to-end tests: a private nginx
instance serving a folder, and tests/servers/oddserver.py for the odd
answers. Each runs as a child of the test, without root rights or system
files, and is stopped with stop()."""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

from lkharness import SOURCE_DIR


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def closed_port():
    """A port nobody listens on (as far as anybody can tell)."""
    return free_port()


def _wait_listening(port, proc, timeout=10):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if proc.poll() is not None:
            raise RuntimeError(f"server exited with {proc.returncode}")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError(f"nothing listens on port {port}")


class Nginx:
    """nginx serving root on a free port, from a generated configuration in
    a temporary folder: one process (no master), no daemon, logs kept in
    that folder."""

    def __init__(self, root, tls=False, refuse_head=False, slow_rate=None):
        """refuse_head: the same root is also served under /nohead/, where
        HEAD is answered with 405 (self.nohead_url). slow_rate: the same
        root is also served under /slow/ at that rate ("2m": 2 MB/s;
        self.slow_url). Every request is logged with its Range and If-Range
        headers (access_lines())."""
        self.root = os.path.abspath(root)
        self.dir = tempfile.mkdtemp(prefix="lk-nginx-")
        self.port = free_port()
        d = self.dir
        tls_server = ""
        if tls:
            # A self-signed certificate for 127.0.0.1, which no client trusts.
            self.tls_port = free_port()
            self.cert = os.path.join(d, "cert.pem")
            key = os.path.join(d, "key.pem")
            subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                            "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
                            "-keyout", key, "-out", self.cert],
                           check=True, stdin=subprocess.DEVNULL, capture_output=True)
            tls_server = f"""
  server {{
    listen 127.0.0.1:{self.tls_port} ssl;
    ssl_certificate {self.cert};
    ssl_certificate_key {key};
    root {self.root};
  }}"""
        nohead = ""
        if refuse_head:
            nohead = f"""
    location /nohead/ {{
      alias {self.root}/;
      if ($request_method = HEAD) {{ return 405; }}
    }}"""
        slow = ""
        if slow_rate:
            slow = f"""
    location /slow/ {{
      alias {self.root}/;
      limit_rate {slow_rate};
    }}"""
        conf = f"""
daemon off;
master_process off;
worker_processes 1;
pid {d}/nginx.pid;
error_log {d}/error.log warn;
events {{ worker_connections 256; }}
http {{
  log_format lk '$request_method $uri $status range="$http_range" if_range="$http_if_range" sent=$body_bytes_sent';
  access_log {d}/access.log lk;
  client_body_temp_path {d}/body;
  proxy_temp_path {d}/proxy;
  fastcgi_temp_path {d}/fastcgi;
  uwsgi_temp_path {d}/uwsgi;
  scgi_temp_path {d}/scgi;
  default_type application/octet-stream;
  sendfile on;
  server {{
    listen 127.0.0.1:{self.port};
    root {self.root};{nohead}{slow}
  }}{tls_server}
}}
"""
        with open(os.path.join(d, "nginx.conf"), "w") as f:
            f.write(conf)
        self.proc = subprocess.Popen(
            [shutil.which("nginx") or "/usr/sbin/nginx", "-p", d, "-c", os.path.join(d, "nginx.conf"),
             "-e", os.path.join(d, "error.log")],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            _wait_listening(self.port, self.proc)
        except Exception:
            self.stop()
            raise
        self.url = f"http://127.0.0.1:{self.port}/"
        self.nohead_url = self.url + "nohead/" if refuse_head else None
        self.slow_url = self.url + "slow/" if slow_rate else None
        self.access_log = os.path.join(d, "access.log")
        self.tls_url = f"https://127.0.0.1:{self.tls_port}/" if tls else None

    def access_lines(self):
        """The logged requests so far: 'GET /x.zip 206 range="bytes=5-" if_range="..." sent=N'."""
        try:
            with open(self.access_log, encoding="utf-8", errors="replace") as f:
                return [line.rstrip("\n") for line in f]
        except FileNotFoundError:
            return []

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.dir, True)


class OddServer:
    """tests/servers/oddserver.py on a free port."""

    def __init__(self):
        script = os.path.join(SOURCE_DIR, "tests", "servers", "oddserver.py")
        self.proc = subprocess.Popen([sys.executable, script], stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        try:
            self.port = int(self.proc.stdout.readline().strip())
            _wait_listening(self.port, self.proc)
        except Exception:
            self.stop()
            raise
        self.url = f"http://127.0.0.1:{self.port}/"

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        if self.proc.stdout:
            self.proc.stdout.close()
