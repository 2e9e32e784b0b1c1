"""The simulator MORLA runs during morla.minimize: it passes the point in the
exchange file to the waiting Python process over a Unix socket and appends
the values it gets back.

    python3 _bridge.py SOCKET EXCHANGE_FILE

Exit status 0 when the values were written, 1 when the Python side refused
(its function failed or the run budget was spent).
"""
import socket
import sys


def main(sock_path, exchange):
    with open(exchange) as f:
        tokens = f.read().split()
    d = int(tokens[0])
    point = tokens[1:1 + d]
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
        s.connect(sock_path)
        s.sendall((" ".join(point) + "\n").encode())
        reply = b""
        while not reply.endswith(b"\n"):
            part = s.recv(65536)
            if not part:
                break
            reply += part
    words = reply.decode().split()
    if not words or words[0] != "OK":
        return 1
    with open(exchange, "a") as f:
        f.write(" " + " ".join(words[1:]) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
