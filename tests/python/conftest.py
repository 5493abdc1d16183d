"""pytest fixtures: ltpd with demo data on a free loopback port, and a client of it."""
import os
import subprocess
import tempfile
import time

import pytest

import ltpadmin

PASSWORD = "py-secret"


@pytest.fixture(scope="session")
def ltpd_port():
    with tempfile.TemporaryDirectory() as work:
        port_file = os.path.join(work, "port")
        server = subprocess.Popen(
            [os.environ["LTPD"], "--port", "0", "--port-file", port_file, "--seed", "demo",
             "--quiet"],
            env=dict(os.environ, LTPD_PASSWORD=PASSWORD),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            for _ in range(200):
                if os.path.exists(port_file) and os.path.getsize(port_file) > 0:
                    break
                assert server.poll() is None, "ltpd ended at start"
                time.sleep(0.05)
            with open(port_file) as f:
                yield int(f.read())
        finally:
            server.terminate()
            server.wait(timeout=10)


@pytest.fixture(scope="session")
def options(ltpd_port):
    return dict(port=ltpd_port, user="admin", password=PASSWORD, request_timeout=5.0)


@pytest.fixture
def client(options):
    with ltpadmin.Client(**options) as c:
        yield c
