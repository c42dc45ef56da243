"""Starts a Linux nginx for the tests that Wine or a wrapper runs beside it.

nginx runs in the foreground on a temporary root and inherits sockets that
already listen on ports the OS chose, so it is reachable from the first
moment: connections wait in the queue until it accepts them
(nginx_server_posix.cpp starts it the same way for the Linux nginx test).
"""
import os
import socket
import subprocess

NGINX = "/usr/sbin/nginx"


def listener():
    """A socket listening on 127.0.0.1 at a port the OS chose."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.bind(("127.0.0.1", 0))
    sock.listen(64)
    return sock


def port(sock):
    return sock.getsockname()[1]


def main_config(root, log_format, servers):
    """nginx.conf for a root of its own: log_format is that of the access
    log, servers the server blocks, listening on the inherited sockets."""
    temp = "".join(f"  {kind}_temp_path {root}/tmp;\n"
                   for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
    return (f"daemon off;\nuser root;\nworker_processes 1;\npid {root}/nginx.pid;\n"
            f"error_log {root}/error.log;\nevents {{ worker_connections 64; }}\n"
            f"http {{\n  log_format conn '{log_format}';\n"
            f"  access_log {root}/access.log conn;\n{temp}"
            f"  default_type application/octet-stream;\n{servers}}}\n")


def start(root, listeners):
    """nginx on root/nginx.conf, serving the given listening sockets."""
    os.makedirs(os.path.join(root, "tmp"), exist_ok=True)
    arguments = ["-e", f"{root}/error.log", "-p", root, "-c", f"{root}/nginx.conf"]
    # A broken configuration fails here, with nginx's reason, rather than as
    # a test that waits on connections nobody accepts.
    subprocess.run([NGINX, "-q", "-t", *arguments], check=True)
    fds = [sock.fileno() for sock in listeners]
    return subprocess.Popen([NGINX, *arguments], pass_fds=fds,
                            env={**os.environ, "NGINX": "".join(f"{fd};" for fd in fds)})


def stop(nginx):
    nginx.terminate()
    nginx.wait()


def windows_path(path):
    # Wine's drive Z: is the Unix root.
    return "Z:" + path.replace("/", "\\")
