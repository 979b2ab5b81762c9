#!/usr/bin/env python3
"""Seeds fuzz/corpus/<harness>/ from real traffic of the emulated DVR.

Runs dvremu, puts a recording TCP relay between it and kaviroctl on all three
ports, and drives kaviroctl through a logon, the live stream, status, log and
light replies, search replies, a download, a playback with its recording and
a recording of the live pictures. The bytes each side sent, the files
kaviroctl wrote and the disk and CD images dvremu writes become seed inputs,
framed as each harness reads its input. Hand-made seeds of Tarvek's files and
serial dialogue and of echo replies are added. Then each harness minimises
its corpus (-merge=1).

usage: capture_corpora.py BUILD_RELEASE BUILD_FUZZ
"""
import datetime
import os
import shutil
import socket
import sqlite3
import struct
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SEED_LIMIT = 65536
REPLY_DECODERS = 13  # entries of kDecoders in fuzz/reply_decoders.cpp


def free_port_triple():
    for _ in range(200):
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            base = probe.getsockname()[1]
        if base + 2 >= 65536:
            continue
        try:
            sockets = []
            for offset in range(3):
                s = socket.socket()
                s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
                s.bind(("127.0.0.1", base + offset))
                sockets.append(s)
            for s in sockets:
                s.close()
            return base
        except OSError:
            for s in sockets:
                s.close()
    raise SystemExit("no three free ports in a row")


class Relay:
    """Forwards three ports to the DVR's, keeping each connection's bytes."""

    def __init__(self, listen_base, dvr_base):
        self.captures = []  # (port index, bytes from the DVR, bytes from the client)
        self.lock = threading.Lock()
        self.listeners = []
        for offset in range(3):
            s = socket.socket()
            s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            s.bind(("127.0.0.1", listen_base + offset))
            s.listen(16)
            self.listeners.append(s)
            threading.Thread(target=self.accept, args=(s, offset, dvr_base + offset), daemon=True).start()

    def accept(self, listener, offset, target):
        while True:
            try:
                client, _ = listener.accept()
            except OSError:
                return
            dvr = socket.create_connection(("127.0.0.1", target))
            record = [offset, bytearray(), bytearray()]
            with self.lock:
                self.captures.append(record)
            threading.Thread(target=self.pump, args=(dvr, client, record[1]), daemon=True).start()
            threading.Thread(target=self.pump, args=(client, dvr, record[2]), daemon=True).start()

    @staticmethod
    def pump(source, sink, kept):
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                if len(kept) < 4 * SEED_LIMIT:
                    kept += data
                sink.sendall(data)
        except OSError:
            pass
        for s in (sink, source):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


def packets(stream):
    """Whole packets (header, payload) of a captured byte stream."""
    out = []
    pos = 0
    while pos + 12 <= len(stream):
        if stream[pos:pos + 5] != b"TOLVA":
            pos += 1
            continue
        length = struct.unpack(">H", stream[pos + 6:pos + 8])[0]
        if pos + 12 + length > len(stream):
            break
        out.append((bytes(stream[pos:pos + 12]), bytes(stream[pos + 12:pos + 12 + length])))
        pos += 12 + length
    return out


class Corpora:
    def __init__(self, root):
        self.root = root
        self.count = 0

    def add(self, harness, data):
        data = bytes(data[:SEED_LIMIT])
        folder = os.path.join(self.root, harness)
        os.makedirs(folder, exist_ok=True)
        self.count += 1
        with open(os.path.join(folder, "seed%05d" % self.count), "wb") as f:
            f.write(data)


def run(kaviroctl, port, args, out=None):
    command = [kaviroctl] + args[:1] + ["--port", str(port), "--password", "1234"] + args[1:]
    if out:
        command += ["--out", out]
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    print("  %-60s exit %d" % (" ".join(args), result.returncode))
    return result.stdout.decode(errors="replace")


def capture(build_release, corpora):
    dvremu = os.path.join(build_release, "tools/dvremu/dvremu")
    kaviroctl = os.path.join(build_release, "client/kaviroctl/kaviroctl")
    work = tempfile.mkdtemp(prefix="kaviro_seeds_")
    try:
        dvr_base = free_port_triple()
        dvr = subprocess.Popen([dvremu, "--port", str(dvr_base), "--channels", "4", "--days", "2", "--no-stdin"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", dvr_base), timeout=1).close()
                break
            except OSError:
                time.sleep(0.1)
        relay_base = free_port_triple()
        relay = Relay(relay_base, dvr_base)
        today = datetime.date.today().isoformat()
        try:
            run(kaviroctl, relay_base, ["probe", "--seconds", "2"])
            run(kaviroctl, relay_base, ["status"])
            run(kaviroctl, relay_base, ["log", "--date", today])
            run(kaviroctl, relay_base, ["light"])
            run(kaviroctl, relay_base, ["search"])
            # A row: start/end, events, size, file index.
            rows = [line.split("\t") for line in run(kaviroctl, relay_base, ["search", "--date", today]).splitlines()
                    if line.count("\t") == 3]
            if rows:
                start = rows[0][0].split("/")[0]
                index = rows[0][3].strip()
                from_time = start[3:8]
                to_time = "%s:%02d" % (start[3:5], min(59, int(start[6:8]) + 4))
                run(kaviroctl, relay_base, ["download", "--date", today, "--file", index, "--from", from_time, "--to",
                                            to_time], os.path.join(work, "download"))
                run(kaviroctl, relay_base, ["play", "--date", today, "--file", index, "--seconds", "2", "--record"],
                    os.path.join(work, "play"))
            run(kaviroctl, relay_base, ["record", "--seconds", "2"], os.path.join(work, "record"))
            subprocess.run([kaviroctl, "probe", "--port", str(relay_base), "--password", "wrong"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        finally:
            dvr.terminate()
            dvr.wait(timeout=30)
        time.sleep(0.5)

        for offset, from_dvr, from_client in relay.captures:
            if not from_dvr:
                continue
            whole = packets(from_dvr)
            # The byte stream as it came, for the reassemblers and the sessions.
            corpora.add("packet_reassembly", bytes([0, len(corpora.root) & 0xFF]) + from_dvr)
            if offset == 1:
                corpora.add("stream_session", bytes([0x0C, 7]) + from_dvr)
                corpora.add("stream_session", bytes([0x0D, 3]) + b"".join(p[20:] for _, p in whole[1:40]))
            if offset == 2:
                corpora.add("file_download_session", from_dvr)
            if offset == 0:
                corpora.add("live_command_port", from_dvr)
            if offset == 0 and from_client:
                corpora.add("dvremu_client_bytes", from_client[from_client.find(b"TOLVA", 12):])
            # Each reply payload before every decoder: the merge keeps what adds coverage.
            if offset != 1:
                for _, payload in whole[:64]:
                    for decoder in range(REPLY_DECODERS):
                        corpora.add("reply_decoders", bytes([decoder]) + payload)
            # The same packets as the modem line carries them (port in header byte 5).
            line = bytearray()
            for header, payload in whole[:200]:
                line += header[:5] + bytes([offset + 1]) + header[6:] + payload
            corpora.add("line_reassembly", bytes([offset * 37 + 5]) + line)

        for folder, _, names in os.walk(work):
            for name in names:
                with open(os.path.join(folder, name), "rb") as f:
                    data = f.read()
                if name.lower().endswith((".rmp", ".rmg", ".png")):
                    continue
                corpora.add("record_file", data)
            rmp = [n for n in names if n.lower().endswith(".rmp")]
            for name in rmp:
                index_name = name[:-4] + (".RMG" if name.endswith(".RMP") else ".rmg")
                index = b""
                if os.path.exists(os.path.join(folder, index_name)):
                    with open(os.path.join(folder, index_name), "rb") as f:
                        index = f.read()
                with open(os.path.join(folder, name), "rb") as f:
                    data = f.read()
                entries = min(255, len(index) // 7)
                corpora.add("rmp_file", bytes([entries]) + index[:entries * 7] + data)

        disk = os.path.join(work, "dvr.img")
        cd = os.path.join(work, "backup.iso")
        subprocess.run([dvremu, "--write-disk", disk, "--days", "2", "--channels", "4"], check=True,
                       stdout=subprocess.DEVNULL)
        subprocess.run([dvremu, "--write-cd", cd, "--days", "1", "--channels", "4"], check=True,
                       stdout=subprocess.DEVNULL)
        with open(disk, "rb") as f:
            image = f.read()
        corpora.add("disk_index", image[2 * 512:130 * 512])
        corpora.add("disk_index", image[2 * 512:2 * 512 + 64 * 4])
        corpora.add("record_file", image[130 * 512:130 * 512 + SEED_LIMIT])
        with open(cd, "rb") as f:
            block = f.read(2048)
        corpora.add("backup_cd_header", block)
        corpora.add("backup_cd_header", block[:32])
    finally:
        shutil.rmtree(work, ignore_errors=True)


def hand_made(corpora):
    for cfg, fil, ports in [(b"1\n57600\n", b"/home/op/dnapp.bin\n", b"/dev/ttyS0\n/dev/ttyUSB0\n"),
                            (b"3\r\n115200\r\n", b"C:\\tarvek\\image.bin", b""),
                            (b"x\n", b"", b"\n\n\n/dev/pts/3\n")]:
        corpora.add("tarvek_config", bytes([len(cfg), len(fil)]) + cfg + fil + ports)
    corpora.add("tarvek_unpacker", bytes([0x1D]) + bytes((i * 13) & 0xFF for i in range(300)))
    corpora.add("tarvek_unpacker", bytes([0x00]) + b"\x00" * 64)
    for dialogue in [b">A$", b">B$#%", b"\n(s#ok\n", b">\nT$", b"> A$", b">a%r", b">S#gr", b">A$r" + b"r" * 3 + b"c",
                     b"Boot monitor\r\n>B$#%rrr\r\nok\r\n>"]:
        corpora.add("tarvek_serial", dialogue)
    echo = bytes([0, 0, 0x12, 0x34, 0x00, 0x02, 0x00, 0x01]) + struct.pack("<I", 1000) + b"E" * 32
    ip = bytes([0x45, 0, 0, 64, 0, 0, 0x40, 0, 64, 1, 0, 0, 127, 0, 0, 1, 127, 0, 0, 1])
    corpora.add("icmp_echo_reply", bytes([0]) + echo)
    corpora.add("icmp_echo_reply", bytes([5]) + ip + echo)
    corpora.add("icmp_echo_reply", bytes([1]) + ip + bytes([3, 1]) + echo[2:])


def registry_seed(corpora):
    """A configuration store as the client keeps it: keys, strings, a number."""
    folder = tempfile.mkdtemp(prefix="kaviro_registry_")
    try:
        path = os.path.join(folder, "registry.db")
        db = sqlite3.connect(path)
        db.executescript(
            "CREATE TABLE keys(path TEXT PRIMARY KEY COLLATE NOCASE, parent TEXT COLLATE NOCASE, name TEXT);"
            "CREATE INDEX keys_parent ON keys(parent);"
            "CREATE TABLE vals(key TEXT COLLATE NOCASE, name TEXT COLLATE NOCASE, type INTEGER, data BLOB,"
            " PRIMARY KEY(key, name));")
        root = "Software\\Veldmark\\Kaviro\\1.0.0.0"
        paths = ["Software", "Software\\Veldmark", "Software\\Veldmark\\Kaviro", root, root + "\\Storage Path",
                 root + "\\Storage Path\\Video", root + "\\Storage Path\\Image", root + "\\Address Book",
                 root + "\\Address Book\\Ethernet", root + "\\Address Book\\Ethernet\\DVR-01"]
        for key in paths:
            parent, _, name = key.rpartition("\\")
            db.execute("INSERT INTO keys VALUES(?, ?, ?)", (key, parent, name))
        values = [(root + "\\Storage Path\\Video", "SavePath01", 1, b"/home/op/video/"),
                  (root + "\\Storage Path\\Image", "SavePath01", 1, b"/home/op/image/"),
                  (root + "\\Address Book\\Ethernet\\DVR-01", "IP", 1, b"192.168.0.20"),
                  (root + "\\Address Book\\Ethernet\\DVR-01", "Port", 4, struct.pack("<I", 4000)),
                  (root + "\\Address Book\\Ethernet\\DVR-01", "UserName", 1, b"admin")]
        db.executemany("INSERT INTO vals VALUES(?, ?, ?, ?)", values)
        db.commit()
        db.close()
        with open(path, "rb") as f:
            corpora.add("registry_values", f.read())
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def minimise(build_fuzz, raw, kept):
    for harness in sorted(os.listdir(raw)):
        binary = os.path.join(build_fuzz, "fuzz", "fuzz_" + harness)
        if not os.path.exists(binary):
            print("  no harness %s; its seeds are dropped" % harness)
            continue
        target = os.path.join(kept, harness)
        os.makedirs(target, exist_ok=True)
        subprocess.run([binary, "-merge=1", "-max_len=%d" % SEED_LIMIT, target, os.path.join(raw, harness)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        print("  %-24s %4d inputs" % (harness, len(os.listdir(target))))


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    build_release, build_fuzz = (os.path.abspath(a) for a in sys.argv[1:])
    raw = tempfile.mkdtemp(prefix="kaviro_raw_corpora_")
    try:
        corpora = Corpora(raw)
        capture(build_release, corpora)
        hand_made(corpora)
        registry_seed(corpora)
        minimise(build_fuzz, raw, os.path.join(ROOT, "fuzz", "corpus"))
    finally:
        shutil.rmtree(raw, ignore_errors=True)


if __name__ == "__main__":
    main()
