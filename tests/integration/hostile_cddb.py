#!/usr/bin/env python3
"""A hostile CDDB responder on 127.0.0.1, for the lookup's tests.

It answers every request to /~cddb/cddb.cgi in one of the ways a broken or
malicious server does (--mode), and logs one line per connection to --log:
the command, the bytes it sent and how long the connection lasted, so a test
(or a person measuring) can see how much a client took before it gave up.

    hostile_cddb.py --mode MODE [--log FILE] [--matches N]

Prints "listening on 127.0.0.1:PORT" (a free port) once it accepts, and
runs until SIGTERM or SIGINT. Modes:

  nul-flood     200 OK, then NUL bytes as fast as the client takes them
  header-flood  200 OK, then header lines without end
  many-matches  the query: 210 with --matches (5000) matches; reads: silence
  slowloris     the query: 210 with 32 matches, fast; every read reply comes
                one byte every 0.2 s, without end
  random-read   the query: 200; the read: "210 x" and random bytes (with an
                "# xmcd" and a DTITLE line among them), then the close
  other-entry   the query: 200; the read: a well-formed entry of another disc
  held-open     complete replies with Content-Length, connection kept open
  chunked       complete replies in chunks (HTTP/1.1), connection kept open
  control-titles  a well-formed match and entry whose titles hold bells and
                terminal escapes (ESC [31m, ESC ]0;... BEL, the C1 OSC 0x9D)

AccurateRip database files (GET /accuraterip/x/y/z/dBAR-NNN-id1-id2-id3.bin;
the CDDB script then answers "202 No match"), built from the ids the path
names:
  ar-truncated  one response less its last byte
  ar-oversized  70 KiB of well-formed responses, more than any file holds
  ar-wrong-ids  a well-formed response of another disc (id2 + 1)
  ar-html       200 OK with an HTML page
  ar-held       Content-Length of a whole response, half of it, then silence
                with the connection kept open
  ar-trickle    Content-Length of a whole response, then one byte every
                0.2 s, past any deadline

Only the loopback address is used; every loop ends when the client goes or
the process is stopped.
"""

import argparse
import os
import random
import signal
import socket
import sys
import threading
import time
import urllib.parse

ENTRY_TEMPLATE = (
    "# xmcd\r\n#\r\n# Track frame offsets:\r\n#\t150\r\n#\t13380\r\n#\r\n"
    "# Disc length: 298 seconds\r\n#\r\nDISCID={id}\r\nDTITLE={dtitle}\r\n"
    "DYEAR=2001\r\nDGENRE=Test\r\nTTITLE0={t0}\r\nTTITLE1={t1}\r\nEXTD=\r\n"
    "EXTT0=\r\nEXTT1=\r\nPLAYORDER=\r\n.\r\n"
)

stopping = threading.Event()
log_lock = threading.Lock()
log_file = None


def log(line):
    with log_lock:
        if log_file is not None:
            log_file.write(line + "\n")
            log_file.flush()


def read_head(conn):
    """The request line, or None when the client went before its head ended."""
    data = b""
    conn.settimeout(10)
    while b"\r\n\r\n" not in data and b"\n\n" not in data:
        if len(data) > 65536:
            return None
        try:
            piece = conn.recv(4096)
        except OSError:
            return None
        if not piece:
            return None
        data += piece
    return data.split(b"\n", 1)[0].decode("latin-1").strip()


def command_of(request_line):
    """The words of the cmd form field, lower-cased."""
    parts = request_line.split(" ")
    target = parts[1] if len(parts) > 1 else ""
    query = urllib.parse.urlsplit(target).query
    fields = urllib.parse.parse_qs(query)
    return " ".join(fields.get("cmd", [""])).lower().split()


class Sender:
    """Counts what goes out; every send ends the connection's work on error."""

    def __init__(self, conn):
        self.conn = conn
        self.sent = 0
        conn.settimeout(5)

    def send(self, data):
        if stopping.is_set():
            raise ConnectionError("stopping")
        self.conn.sendall(data)
        self.sent += len(data)

    def hold(self):
        """Keeps the connection open until the client closes it."""
        self.conn.settimeout(0.2)
        while not stopping.is_set():
            try:
                if not self.conn.recv(4096):
                    return
            except socket.timeout:
                continue
            except OSError:
                return


def plain(body, close_after=True):
    head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n"
    return (head + body).encode("latin-1")


def with_length(body):
    data = body.encode("latin-1")
    head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n\r\n" % len(data)
    return head.encode("latin-1") + data


def chunked(body):
    data = body.encode("latin-1")
    out = b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n"
    rng = random.Random(len(data))
    at = 0
    while at < len(data):
        size = rng.randint(1, 40)
        piece = data[at:at + size]
        out += b"%x\r\n" % len(piece) + piece + b"\r\n"
        at += size
    return out + b"0\r\n\r\n"


def entry(disc_id, dtitle, t0, t1):
    return ENTRY_TEMPLATE.format(id=disc_id, dtitle=dtitle, t0=t0, t1=t1)


def match_list(code_line, count, disc_id):
    lines = [code_line]
    for i in range(count):
        lines.append("rock %08x Match %d / Title %d" % ((int(disc_id, 16) + i) & 0xFFFFFFFF, i, i))
    return "\r\n".join(lines) + "\r\n.\r\n"


def accuraterip_ids(request_line):
    """(track count, id1, id2, freedb id) named by a database file's path."""
    parts = request_line.split(" ")
    name = (parts[1] if len(parts) > 1 else "").rsplit("/", 1)[-1]
    fields = name[:-4].split("-") if name.endswith(".bin") else []
    if len(fields) != 5 or fields[0] != "dBAR":
        return None
    try:
        return int(fields[1]), int(fields[2], 16), int(fields[3], 16), int(fields[4], 16)
    except ValueError:
        return None


def accuraterip_response(count, id1, id2, freedb):
    body = bytes([count]) + id1.to_bytes(4, "little") + id2.to_bytes(4, "little") + freedb.to_bytes(4, "little")
    for track in range(count):
        body += bytes([7]) + (0x1000 + track).to_bytes(4, "little") + (0x2000 + track).to_bytes(4, "little")
    return body


def binary(body, length=None):
    head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: %d\r\n\r\n" % (
        len(body) if length is None else length)
    return head.encode("latin-1") + body


def serve_accuraterip(out, mode, ids):
    count, id1, id2, freedb = ids
    one = accuraterip_response(count, id1, id2, freedb)
    if mode == "ar-truncated":
        out.send(binary(one[:-1]))
    elif mode == "ar-oversized":
        out.send(binary(one * (70 * 1024 // len(one) + 1)))
    elif mode == "ar-wrong-ids":
        out.send(binary(accuraterip_response(count, id1, (id2 + 1) & 0xFFFFFFFF, freedb)))
    elif mode == "ar-html":
        out.send(plain("<html><head><title>Moved</title></head><body>Try again later</body></html>\r\n"))
    elif mode == "ar-held":
        out.send(binary(one[:len(one) // 2], len(one)))
        out.hold()
    elif mode == "ar-trickle":
        data = binary(one * 100)
        for i in range(len(data)):
            out.send(data[i:i + 1])
            if stopping.wait(0.2):
                return


def serve(conn, mode, matches):
    started = time.monotonic()
    out = Sender(conn)
    words = []
    try:
        line = read_head(conn)
        if line is None:
            return
        words = command_of(line)
        is_query = words[:2] == ["cddb", "query"]
        is_read = words[:2] == ["cddb", "read"]
        disc_id = words[2] if is_query and len(words) > 2 else "00000000"
        category, read_id = (words[2], words[3]) if is_read and len(words) > 3 else ("rock", "00000000")

        if mode.startswith("ar-"):
            ids = accuraterip_ids(line)
            words = ["accuraterip"] if ids else words
            if ids:
                serve_accuraterip(out, mode, ids)
            else:
                out.send(plain("202 No match for disc ID %s.\r\n" % disc_id))
        elif mode == "nul-flood":
            out.send(b"HTTP/1.0 200 OK\r\n\r\n")
            block = b"\0" * 65536
            while True:
                out.send(block)
        elif mode == "header-flood":
            out.send(b"HTTP/1.0 200 OK\r\n")
            block = b"X-Flood: " + b"a" * 50 + b"\r\n"
            block = block * 1000
            while True:
                out.send(block)
        elif mode == "many-matches":
            if is_query:
                out.send(plain(match_list(
                    "210 Found exact matches, list follows (until terminating `.')", matches, disc_id)))
            else:
                out.hold()
        elif mode == "slowloris":
            if is_query:
                out.send(plain(match_list(
                    "210 Found exact matches, list follows (until terminating `.')", 32, disc_id)))
            else:
                data = plain(entry(read_id, "Slow / Loris", "S1", "S2"))
                i = 0
                while True:
                    out.send(data[i:i + 1] if i < len(data) else b" ")
                    i += 1
                    if stopping.wait(0.2):
                        return
        elif mode == "random-read":
            if is_query:
                out.send(plain("200 rock %s Random / Reply\r\n" % disc_id))
            else:
                rng = random.Random()
                noise = bytes(rng.randrange(256) for _ in range(8192))
                out.send(b"HTTP/1.0 200 OK\r\n\r\n210 x\r\n" + noise[:4096] +
                         b"\r\n# xmcd\r\nDTITLE=Evil / Evil\r\nTTITLE0=Evil\r\n" + noise[4096:] + b"\r\n.\r\n")
        elif mode == "other-entry":
            if is_query:
                out.send(plain("200 rock %s Other / Entry\r\n" % disc_id))
            else:
                out.send(plain("210 rock ffffffff CD database entry follows (until terminating `.')\r\n" +
                               entry("ffffffff", "Wrong / Disc", "W1", "W2")))
        elif mode == "control-titles":
            dtitle = "Bell\x07 / Red\x1b[31m Title\x1b]0;pwned\x07"
            if is_query:
                out.send(plain("200 rock %s %s\r\n" % (disc_id, dtitle)))
            else:
                out.send(plain("210 %s %s CD database entry follows (until terminating `.')\r\n"
                               % (category, read_id) + entry(read_id, dtitle, "One\x1b[2J", "Two\x9d0;x\x07")))
        elif mode == "held-open":
            if is_query:
                out.send(with_length("200 rock %s Held / Open\r\n" % disc_id))
            else:
                out.send(with_length("210 %s %s CD database entry follows (until terminating `.')\r\n"
                                     % (category, read_id) + entry(read_id, "Held / Open", "H1", "H2")))
            out.hold()
        elif mode == "chunked":
            if is_query:
                out.send(chunked("200 rock %s Chunked / Reply\r\n" % disc_id))
            else:
                out.send(chunked("210 %s %s CD database entry follows (until terminating `.')\r\n"
                                 % (category, read_id) + entry(read_id, "AC/DC / Back In Black",
                                                               "Hells Bells", "Shoot to Thrill")))
            out.hold()
    except (OSError, ConnectionError):
        pass
    finally:
        log("%s sent=%d seconds=%.2f" % (" ".join(words[:2]) or "-", out.sent, time.monotonic() - started))
        try:
            conn.close()
        except OSError:
            pass


def main():
    global log_file
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", required=True)
    parser.add_argument("--log")
    parser.add_argument("--matches", type=int, default=5000)
    args = parser.parse_args()
    if args.log:
        log_file = open(args.log, "a")

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    listener.settimeout(0.2)

    def stop(_signum, _frame):
        stopping.set()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print("listening on 127.0.0.1:%d" % listener.getsockname()[1], flush=True)
    while not stopping.is_set():
        try:
            conn, _ = listener.accept()
        except socket.timeout:
            continue
        except OSError:
            break
        threading.Thread(target=serve, args=(conn, args.mode, args.matches), daemon=True).start()
    listener.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
