"""Reads the addresses an enclosure received back into the commands they carry.

Every vendor command reaches the controller as a run of one-sector reads whose
addresses are the frame: the preamble 0x43 0x71 0xA7 0xDF, four header bytes at
0x100 + b, four command bytes at 0x200 + b, for a long frame 128 payload bytes
at 0x300 + b, and the CRC-32 at 0x400 + b, most significant byte first. The
controller only sees a change of address, so the host reads the separator
sector 0x5FFF between two equal addresses and nowhere else in a frame. After
the frame the host polls: the separator, then the reply sector 17, until the
reply is signed. Anything else in the stream is a fault of the path between
the host and the controller.
"""

import zlib
from dataclasses import dataclass, field

SEPARATOR = 0x5FFF
REPLY_SECTOR = 17
PREAMBLE = (0x43, 0x71, 0xA7, 0xDF)
PAYLOAD_LENGTH = 128


class ReadStreamError(Exception):
    """The stream is not a sequence of well-formed commands; `index` is where it broke."""

    def __init__(self, index, message):
        super().__init__(f"read {index}: {message}")
        self.index = index


@dataclass
class Command:
    code: int
    args: tuple
    long_frame: bool
    payload: bytes
    polls: int
    first_read: int  # index of its first read in the stream
    reads: list = field(default_factory=list)


class _Cursor:
    def __init__(self, lbas):
        self.lbas = lbas
        self.i = 0

    def at_end(self):
        return self.i >= len(self.lbas)

    def peek(self, ahead=0):
        j = self.i + ahead
        return self.lbas[j] if j < len(self.lbas) else None

    def take(self):
        value = self.lbas[self.i]
        self.i += 1
        return value


def _frame_value(cursor, previous):
    """The next address of a frame, with the separator rule checked."""
    if cursor.at_end():
        raise ReadStreamError(cursor.i, "the stream ends inside a frame")
    value = cursor.take()
    if value == SEPARATOR:
        if cursor.at_end():
            raise ReadStreamError(cursor.i, "the stream ends after a separator")
        following = cursor.take()
        if following != previous:
            raise ReadStreamError(
                cursor.i - 1,
                f"separator between different addresses 0x{previous:X} and 0x{following:X}")
        return following
    if value == previous:
        raise ReadStreamError(cursor.i - 1,
                              f"address 0x{value:X} repeated without a separator")
    return value


def _read_group(cursor, previous, base, count, what):
    """`count` addresses base + byte; returns the bytes and the last address."""
    values = []
    for _ in range(count):
        value = _frame_value(cursor, previous)
        if not base <= value <= base + 0xFF:
            raise ReadStreamError(cursor.i - 1,
                                  f"expected a {what} address 0x{base >> 8:X}xx, got 0x{value:X}")
        values.append(value - base)
        previous = value
    return bytes(values), previous


def _read_frame(cursor):
    start = cursor.i
    previous = None
    data = bytearray()
    for expected in PREAMBLE:
        value = _frame_value(cursor, previous)
        if value != expected:
            raise ReadStreamError(cursor.i - 1,
                                  f"expected preamble 0x{expected:X}, got 0x{value:X}")
        data += bytes((value, 0))  # 16-bit little-endian words
        previous = value
    # The header decides whether a payload follows.
    header, previous = _read_group(cursor, previous, 0x100, 4, "header")
    if header[0] not in (0, 1) or header[2:] != b"\xEF\xFF":
        raise ReadStreamError(cursor.i - 1, f"bad frame header {header.hex(' ')}")
    long_frame = header[0] == 1
    command, previous = _read_group(cursor, previous, 0x200, 4, "command")
    payload = b""
    if long_frame:
        payload, previous = _read_group(cursor, previous, 0x300, PAYLOAD_LENGTH, "payload")
    crc, previous = _read_group(cursor, previous, 0x400, 4, "CRC")
    data += header + command + payload
    if zlib.crc32(bytes(data)).to_bytes(4, "big") != crc:
        raise ReadStreamError(cursor.i - 1, "frame CRC does not match its bytes")
    return Command(code=command[0], args=tuple(command[1:]), long_frame=long_frame,
                   payload=payload, polls=0, first_read=start)


def parse_commands(lbas):
    """Splits a stream of read addresses into commands; raises ReadStreamError."""
    cursor = _Cursor(list(lbas))
    commands = []
    while not cursor.at_end():
        command = _read_frame(cursor)
        while cursor.peek() == SEPARATOR and cursor.peek(1) == REPLY_SECTOR:
            cursor.i += 2
            command.polls += 1
        if command.polls == 0:
            raise ReadStreamError(cursor.i, "a frame not followed by reply polls (0x5FFF, 17)")
        command.reads = cursor.lbas[command.first_read:cursor.i]
        commands.append(command)
    return commands


def first_difference(received, sent):
    """None when equal, else (index, what the enclosure received, what the host sent)."""
    for i, (a, b) in enumerate(zip(received, sent)):
        if a != b:
            return i, a, b
    if len(received) != len(sent):
        i = min(len(received), len(sent))
        return (i, received[i] if i < len(received) else None,
                sent[i] if i < len(sent) else None)
    return None
