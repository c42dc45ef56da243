"""HTTP peers on loopback ports the OS picks, shared by the end-to-end runs
of the Linux and the Windows window."""

import functools
import http.server
import os
import shutil
import socket
import threading

PAGE_PATH = "/nav/archiv/szolgaltatasok/uzemanyag_elszamolas/2018_uzemanyagarak.html"
SAMPLE_PAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "testdata",
                           "2018_uzemanyagarak.html")


class Site:
    """The sample page at NAV's path, served by Python's HTTP server."""

    def __init__(self, directory):
        target = os.path.join(directory, PAGE_PATH.lstrip("/"))
        os.makedirs(os.path.dirname(target))
        shutil.copyfile(SAMPLE_PAGE, target)
        self.requests = []
        requests = self.requests

        class Handler(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                requests.append(self.requestline)

        handler = functools.partial(Handler, directory=directory)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.url = f"http://127.0.0.1:{self.server.server_address[1]}{PAGE_PATH}"

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class RawServer:
    """Answers every request with fixed bytes and closes: for statuses a file
    server would never give."""

    def __init__(self, response, path=PAGE_PATH):
        self.requests = []
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen()
        self.response = response
        threading.Thread(target=self._serve, daemon=True).start()
        self.url = f"http://127.0.0.1:{self.listener.getsockname()[1]}{path}"

    def _serve(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            with connection:
                head = b""
                while b"\r\n\r\n" not in head and len(head) < 65536:
                    piece = connection.recv(4096)
                    if not piece:
                        break
                    head += piece
                self.requests.append(head.split(b"\r\n", 1)[0].decode("latin-1"))
                connection.sendall(self.response)

    def close(self):
        self.listener.close()
