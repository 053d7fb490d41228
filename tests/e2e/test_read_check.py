"""The read-stream checker must reject every way a storage path can spoil a command."""

import unittest
import zlib

from read_check import (REPLY_SECTOR, SEPARATOR, ReadStreamError, first_difference,
                        parse_commands)


def encode(code, args=(0xCF, 0xDF, 0xEF), payload=None, polls=1):
    """The read addresses a host sends for one command (fixture builder)."""
    header = bytes((1 if payload else 0, 5 if payload else 4, 0xEF, 0xFF))
    body = header + bytes((code, *args)) + (payload or b"")
    preamble = bytes((0x43, 0, 0x71, 0, 0xA7, 0, 0xDF, 0))
    crc = zlib.crc32(preamble + body).to_bytes(4, "big")
    values = [0x43, 0x71, 0xA7, 0xDF]
    values += [0x100 + b for b in header] + [0x200 + b for b in (code, *args)]
    values += [0x300 + b for b in (payload or b"")] + [0x400 + b for b in crc]
    lbas, previous = [], None
    for value in values:
        if value == previous:
            lbas.append(SEPARATOR)
        lbas.append(value)
        previous = value
    return lbas + [SEPARATOR, REPLY_SECTOR] * polls


PROBE = encode(0x10)
# Flash read of block 0: arguments 01 00 00 put 0x200 twice in a row.
FLASH_READ = encode(0x20, (0x01, 0x00, 0x00), polls=3)
ATA_ISSUE = encode(0xB1, (0xEC, 0x00, 0x00), payload=bytes([0x27, 0x80, 0xEC]) + bytes(125))


class ParseGoodStreams(unittest.TestCase):
    def test_commands_come_back_with_codes_arguments_and_polls(self):
        commands = parse_commands(PROBE + FLASH_READ + ATA_ISSUE)
        self.assertEqual([(c.code, c.args, c.long_frame, c.polls) for c in commands],
                         [(0x10, (0xCF, 0xDF, 0xEF), False, 1),
                          (0x20, (0x01, 0x00, 0x00), False, 3),
                          (0xB1, (0xEC, 0x00, 0x00), True, 1)])
        self.assertEqual(commands[2].payload[:3], bytes([0x27, 0x80, 0xEC]))
        self.assertEqual(len(PROBE), 16 + 2)
        self.assertEqual(len(ATA_ISSUE), 144 + 2 + ATA_ISSUE.count(SEPARATOR) - 1)

    def test_empty_stream_has_no_commands(self):
        self.assertEqual(parse_commands([]), [])


def without(stream, index):
    return stream[:index] + stream[index + 1:]


def with_inserted(stream, index, value):
    return stream[:index] + [value] + stream[index:]


def replaced(stream, index, value):
    return stream[:index] + [value] + stream[index + 1:]


class RejectSpoiledStreams(unittest.TestCase):
    # Each row: what happened on the way, the stream the enclosure received,
    # and a piece of the message that must say what is wrong.
    CASES = [
        ("a command byte dropped", without(PROBE, 8), "expected a command address"),
        ("a CRC byte dropped", without(PROBE, 14), "separator between different"),
        ("the stream cut inside a frame", PROBE[:10], "ends inside a frame"),
        ("a separator dropped", without(FLASH_READ, FLASH_READ.index(SEPARATOR)),
         "repeated without a separator"),
        ("readahead inside a frame", with_inserted(PROBE, 5, 0x106), "bad frame header"),
        ("sector 0 read inside a frame", with_inserted(PROBE, 10, 0), "expected a command"),
        ("a read of sector 0 between frame and polls", with_inserted(PROBE, 16, 0) + PROBE,
         "not followed by reply polls"),
        ("reply poll answered from a cache (polls missing)", PROBE[:16] + PROBE,
         "not followed by reply polls"),
        ("a stray separator", with_inserted(PROBE, 9, SEPARATOR), "separator between different"),
        ("a corrupted argument", replaced(PROBE, 9, 0x2CE), "CRC"),
        ("a frame starting mid-preamble", PROBE[1:], "expected preamble"),
        ("a poll without its separator", PROBE[:16] + [REPLY_SECTOR], "not followed by reply"),
    ]

    def test_each_spoiled_stream_is_rejected_with_its_reason(self):
        for what, stream, reason in self.CASES:
            with self.subTest(what):
                with self.assertRaises(ReadStreamError) as caught:
                    parse_commands(stream)
                self.assertIn(reason, str(caught.exception))


class FirstDifference(unittest.TestCase):
    def test_positions_and_values(self):
        rows = [
            ([1, 2, 3], [1, 2, 3], None),
            ([1, 9, 3], [1, 2, 3], (1, 9, 2)),
            ([1, 2], [1, 2, 3], (2, None, 3)),
            ([1, 2, 3, 4], [1, 2, 3], (3, 4, None)),
        ]
        for received, sent, expected in rows:
            with self.subTest(received=received):
                self.assertEqual(first_difference(received, sent), expected)


if __name__ == "__main__":
    unittest.main()
