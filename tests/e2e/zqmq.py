"""POSIX message queues and TLV messages for tests that play a camera process.

Queue names are the camera's ("/to_zqnet"); like the daemon, `queue_name` adds the suffix that
keeps runs below different ZQ_ROOTs apart. TLV messages are built and parsed here byte by byte,
independently of the daemon's code.
"""

import ctypes
import os
import struct
import threading
import time

_rt = ctypes.CDLL("librt.so.1", use_errno=True)

CMD, CMDARG, DST, SRC, RSPARG, VOID, END = 0x41, 0x42, 0x43, 0x44, 0x45, 0x58, 0xEE
MSG_MAX = 1500


class _Attr(ctypes.Structure):
    _fields_ = [("mq_flags", ctypes.c_long), ("mq_maxmsg", ctypes.c_long),
                ("mq_msgsize", ctypes.c_long), ("mq_curmsgs", ctypes.c_long),
                ("reserved", ctypes.c_long * 4)]


class _Timespec(ctypes.Structure):
    _fields_ = [("tv_sec", ctypes.c_long), ("tv_nsec", ctypes.c_long)]


_rt.mq_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.c_uint, ctypes.POINTER(_Attr)]
_rt.mq_open.restype = ctypes.c_int
_rt.mq_timedreceive.argtypes = [ctypes.c_int, ctypes.c_char_p, ctypes.c_size_t,
                                ctypes.POINTER(ctypes.c_uint), ctypes.POINTER(_Timespec)]
_rt.mq_timedreceive.restype = ctypes.c_ssize_t
_rt.mq_send.argtypes = [ctypes.c_int, ctypes.c_char_p, ctypes.c_size_t, ctypes.c_uint]
_rt.mq_getattr.argtypes = [ctypes.c_int, ctypes.POINTER(_Attr)]
_rt.mq_unlink.argtypes = [ctypes.c_char_p]
_rt.mq_close.argtypes = [ctypes.c_int]


def queue_name(name, root):
    """The system-wide name of the camera queue `name` for a run below `root`."""
    if not root:
        return name
    h = 14695981039346656037  # FNV-1a of the root
    for c in root.encode():
        h = ((h ^ c) * 1099511628211) & 0xFFFFFFFFFFFFFFFF
    return f"{name}.{h:016x}"


class Queue:
    """One open queue descriptor."""

    def __init__(self, name, root, create=False, maxmsg=10, msgsize=MSG_MAX, write=False):
        self.name = name
        self.real = queue_name(name, root).encode()
        flags = os.O_WRONLY if write else os.O_RDONLY
        attr = None
        if create:
            flags = os.O_RDWR | os.O_CREAT
            attr = ctypes.byref(_Attr(0, maxmsg, msgsize, 0))
        self.fd = _rt.mq_open(self.real, flags, 0o664, attr)
        if self.fd < 0:
            err = ctypes.get_errno()
            raise OSError(err, f"mq_open {name}: {os.strerror(err)}")

    def send(self, data):
        if _rt.mq_send(self.fd, bytes(data), len(data), 0) != 0:
            err = ctypes.get_errno()
            raise OSError(err, f"mq_send {self.name}: {os.strerror(err)}")

    def receive(self, timeout=10.0):
        """The next message, or None after `timeout` seconds."""
        buf = ctypes.create_string_buffer(8192)
        deadline = time.time() + timeout
        ts = _Timespec(int(deadline), int((deadline % 1) * 1e9))
        n = _rt.mq_timedreceive(self.fd, buf, len(buf), None, ctypes.byref(ts))
        if n < 0:
            return None
        return buf.raw[:n]

    def count(self):
        attr = _Attr()
        _rt.mq_getattr(self.fd, ctypes.byref(attr))
        return attr.mq_curmsgs

    def close(self):
        if self.fd >= 0:
            _rt.mq_close(self.fd)
            self.fd = -1


def exists(name, root):
    fd = _rt.mq_open(queue_name(name, root).encode(), os.O_WRONLY, 0, None)
    if fd < 0:
        return False
    _rt.mq_close(fd)
    return True


def unlink(name, root):
    _rt.mq_unlink(queue_name(name, root).encode())


def element(etype, value):
    return struct.pack(">BHB", 0, len(value), etype) + bytes(value)


def message(category, *elements):
    """A message of `category` holding the given (type, value) elements as they stand."""
    body = b"".join(element(t, v) for t, v in elements)
    return struct.pack(">HBB", 4 + len(body), 0, category) + body


def parse(data):
    """(category, [(type, value), ...]) of a well-framed message."""
    length, _, category = struct.unpack(">HBB", data[:4])
    assert length == len(data), (length, len(data))
    out, off = [], 4
    while off < length:
        _, n, etype = struct.unpack(">BHB", data[off:off + 4])
        out.append((etype, data[off + 4:off + 4 + n]))
        off += 4 + n
    assert off == length
    return category, out


def first(elements, etype):
    for t, v in elements:
        if t == etype:
            return v
    return None


def response(request, rsparg=None, cmd=None):
    """A valid response to `request`: category + 1, its CMD and CMDARG, RSPARG, SRC/DST swapped."""
    category, elements = parse(request)
    parts = [(CMD, cmd if cmd is not None else first(elements, CMD)),
             (CMDARG, first(elements, CMDARG))]
    if rsparg is not None:
        parts.append((RSPARG, rsparg))
    parts += [(SRC, first(elements, DST)), (DST, first(elements, SRC)), (END, b"")]
    return message(category | 1, *parts)


class NetService:
    """Plays the network service: owns "/to_zqnet" and answers each message with
    `answer(request) -> list of messages` (sent to the request's SRC)."""

    def __init__(self, root, answer, maxmsg=10):
        self.root = root
        self.answer = answer
        unlink("/to_zqnet", root)
        self.queue = Queue("/to_zqnet", root, create=True, maxmsg=maxmsg)
        self.requests = []
        self._stop = False
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _run(self):
        while not self._stop:
            data = self.queue.receive(timeout=0.1)
            if data is None:
                continue
            self.requests.append(data)
            _, elements = parse(data)
            src = first(elements, SRC).decode()
            for reply in self.answer(data):
                q = Queue(src, self.root, write=True)
                q.send(reply)
                q.close()

    def close(self):
        self._stop = True
        self._thread.join()
        self.queue.close()
        unlink("/to_zqnet", self.root)
