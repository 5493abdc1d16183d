"""A one-connection LTP peer on loopback that answers with a fixed response and keeps the
request, for what ltpd never sends (a malformed answer) and for the exact bytes of a request.
It is a Python thread: a client call that kept the GIL while waiting would never be answered."""
import socket
import threading


class FakeServer:
    def __init__(self, response: bytes):
        self.response = response
        self.request = b""
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.listener.settimeout(10)
        self.port = self.listener.getsockname()[1]
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        try:
            conn, _ = self.listener.accept()
        except OSError:
            return
        with conn:
            conn.settimeout(10)
            data = b""
            while b"\r\n\r\n" not in data:
                chunk = conn.recv(4096)
                if not chunk:
                    return
                data += chunk
            head, _, body = data.partition(b"\r\n\r\n")
            length = 0
            for line in head.split(b"\r\n"):
                if line.lower().startswith(b"content-length:"):
                    length = int(line.split(b":", 1)[1])
            # A key body without a length is one line.
            while (len(body) < length) if length else (body and not body.endswith(b"\r\n")):
                chunk = conn.recv(4096)
                if not chunk:
                    break
                body += chunk
            self.request = head + b"\r\n\r\n" + body
            conn.sendall(self.response)

    def close(self):
        self.listener.close()
        self.thread.join(timeout=10)


def response(status: str, body: bytes = b"") -> bytes:
    return b"LTP/1.0 " + status.encode() + b"\r\nContent-Length: " + str(len(body)).encode() + \
        b"\r\n\r\n" + body
