#!/usr/bin/env python3
"""Small MPEG-2 transport stream writer for the tests, and the faults a demultiplexer meets.

  ts.py mux [options] in.h264 [in2.h264] out.ts
  ts.py patch-type [--index N] [--type T] in.ts out.ts

mux wraps one or two H.264 elementary streams: PAT, PMT (padded with descriptors to a chosen
section_length, so it spans several packets), then one PES packet with a PTS per access unit,
the access units of the streams interleaved. The PSI can sit behind a pointer_field of filler
bytes (as es2ts writes it), share its packets with other tables on the same PID and with a
second program's PMT on the same PMT PID, and a PMT of version 1 can move the first stream to
another PID part way. Part way, too, a PAT of a new version can move the PMT to another PID, or
a current PAT can leave the program out (the usual tables follow it at once), and the PMT can
carry a program_number other than the PAT's. The tables can go behind the first packet of the
PES packet before the unit they are due at, so that they change while that packet is in
flight, as muxers place them wherever they like. patch-type sets the stream_type of the PMT's
entry N (0 first) in every PMT of a stream made elsewhere (ffmpeg) and recomputes the
section's CRC_32, so other readers still accept it.
"""
import argparse
import functools
import sys

import h264es

PAT_PID = 0x0000
PMT_PID = 0x0100
MOVED_PMT_PID = 0x0200
VIDEO_PIDS = (0x1011, 0x1012)
MOVED_PID = 0x1021
NULL_PID = 0x1FFF


def _crc_table():
    table = []
    for i in range(256):
        c = i << 24
        for _ in range(8):
            c = ((c << 1) ^ 0x04C11DB7) if c & 0x80000000 else (c << 1)
        table.append(c & 0xFFFFFFFF)
    return table


_CRC = _crc_table()


def crc32_mpeg(data):
    """CRC_32 of PSI sections: polynomial 0x04C11DB7, initial value all ones, not reflected."""
    c = 0xFFFFFFFF
    for b in data:
        c = ((c << 8) & 0xFFFFFFFF) ^ _CRC[((c >> 24) ^ b) & 0xFF]
    return c


def long_section(table_id, extension, body, version=0):
    """A section with the syntax indicator set, current, section 0 of 0."""
    length = 5 + len(body) + 4
    head = bytes([table_id, 0xB0 | (length >> 8), length & 0xFF,
                  extension >> 8, extension & 0xFF, 0xC1 | version << 1, 0, 0])
    sec = head + bytes(body)
    return sec + crc32_mpeg(sec).to_bytes(4, "big")


def pat(programs, version=0):
    body = bytearray()
    for number, pid in programs:
        body += number.to_bytes(2, "big") + (0xE000 | pid).to_bytes(2, "big")
    return long_section(0x00, 1, body, version)


def padding_descriptors(n):
    """n bytes of descriptors (tag 0x42, stuffing), each at most 257 bytes long."""
    if n == 1:
        raise ValueError("one byte cannot hold a descriptor")
    out = bytearray()
    while n > 0:
        take = n if n <= 257 else (256 if n - 257 == 1 else 257)
        out += bytes([0x42, take - 2]) + b"\xff" * (take - 2)
        n -= take
    return out


def pmt(program, pcr_pid, streams, section_length=None, version=0):
    """streams: (stream_type, pid) pairs. section_length: pad program_info to reach it."""
    loop = bytearray()
    for stype, pid in streams:
        loop += bytes([stype]) + (0xE000 | pid).to_bytes(2, "big") + b"\xf0\x00"
    info = b""
    if section_length is not None:
        # section_length counts from program_number to the CRC_32.
        info = padding_descriptors(section_length - (9 + len(loop) + 4))
    body = ((0xE000 | pcr_pid).to_bytes(2, "big") + (0xF000 | len(info)).to_bytes(2, "big")
            + info + loop)
    return long_section(0x02, program, body, version)


class Muxer:
    """Writes packets as they are made; the faults that concern one packet are applied as it
    goes out."""

    def __init__(self, out, packet_size=188, tei=(), shift=None, first_header=None):
        self.out = out
        self.packet_size = packet_size
        self.cc = {}
        self.count = 0
        self.ats = 0
        self.tei = set(tei)
        self.shift = shift
        self.first_header = first_header
        self.pending = []

    def emit(self, p):
        if self.count in self.tei:
            p = bytes([p[0], p[1] | 0x80]) + p[2:]
        if self.shift is not None and self.count == self.shift:
            self.pending.append(b"\x00")
        if self.packet_size == 192:
            hdr = self.ats.to_bytes(4, "big")
            if self.count == 0 and self.first_header is not None:
                hdr = self.first_header
            self.pending.append(hdr)
            self.ats = (self.ats + 2000) & 0x3FFFFFFF
        self.pending.append(p)
        self.count += 1
        if len(self.pending) >= 4096:
            self.flush()

    def flush(self):
        self.out.write(b"".join(self.pending))
        self.pending = []

    def packet(self, pid, payload=b"", unit_start=False, adaptation=None, tei=False):
        """One packet; the payload is padded with adaptation-field stuffing to fill it."""
        cc = self.cc.get(pid, 0)
        has_payload = len(payload) > 0
        if has_payload:
            self.cc[pid] = (cc + 1) & 15
        af = adaptation
        room = 184 - len(payload)
        if af is not None or room > 0:
            af = bytearray(af or b"")
            need = room - 1  # bytes of the field behind its length byte
            if need < 0:
                raise ValueError("payload too long for the adaptation field")
            if need > 0 and len(af) == 0:
                af.append(0x00)
            if len(af) > need:
                raise ValueError("adaptation field does not fit")
            af += b"\xff" * (need - len(af))
            af = bytes([len(af)]) + af
        afc = (2 if af is not None else 0) | (1 if has_payload else 0)
        head = bytes([0x47, (0x80 if tei else 0) | (0x40 if unit_start else 0) | (pid >> 8),
                      pid & 0xFF, (afc << 4) | cc])
        p = head + (af or b"") + payload
        assert len(p) == 188, len(p)
        self.emit(p)

    def psi(self, pid, sections, pointer=0):
        """Sections packed back to back on one PID. Each packet in which one starts has
        payload_unit_start_indicator and a pointer_field to the first of them; the first
        packet's pointer_field passes over `pointer` filler bytes instead (183 points past its
        payload). FF stuffing fills the last packet."""
        if isinstance(sections, bytes):
            sections = [sections]
        if not 0 <= pointer <= 183:
            raise ValueError("pointer_field past the packet")
        data = b"".join(sections)
        starts, at = [], 0
        for sec in sections:
            starts.append(at)
            at += len(sec)
        pos, first = 0, True
        while first or pos < len(data):
            if first:
                head = bytes([pointer]) + b"\xff" * pointer
            else:
                following = [s for s in starts if pos <= s < pos + 184]
                if not following:
                    head = b""
                elif following[0] < pos + 183:
                    head = bytes([following[0] - pos])
                else:
                    # A section would start at the last byte of a packet without a
                    # pointer_field: stuffing takes that byte, the section the next packet.
                    self.packet(pid, data[pos:following[0]] + b"\xff")
                    pos = following[0]
                    continue
            chunk = data[pos:pos + 184 - len(head)]
            pos += len(chunk)
            payload = head + chunk
            self.packet(pid, payload + b"\xff" * (184 - len(payload)),
                        unit_start=first or bool(head))
            first = False

    def pes(self, pid, es, pts, header_in_first=None, bad_start=False, after_first=None):
        """One PES packet (stream_id 0xE0, PTS only, unbounded length) split into packets.
        header_in_first: only that many header bytes in the first packet (stuffing there).
        bad_start: 00 00 02 in place of its start code. after_first: called once the first
        packet is out."""
        p = pts & 0x1FFFFFFFF
        pts_bytes = bytes([0x21 | ((p >> 29) & 0x0E), (p >> 22) & 0xFF,
                           ((p >> 14) & 0xFE) | 1, (p >> 7) & 0xFF, ((p << 1) & 0xFE) | 1])
        data = b"\x00\x00\x01\xe0\x00\x00\x80\x80\x05" + pts_bytes + es
        if bad_start:
            data = b"\x00\x00\x02" + data[3:]
        first = True
        # Chunks by offset: a large access unit is not copied once per packet.
        pos = 0
        while pos < len(data):
            if first and header_in_first is not None:
                n = header_in_first
            elif first:
                # The first packet of each PES carries the PCR.
                n = 176
            else:
                n = 184
            chunk = data[pos:pos + n]
            pos += n
            af = None
            if first and header_in_first is None:
                pcr = (pts - 9000) & 0x1FFFFFFFF if pts >= 9000 else 0
                af = bytes([0x10, (pcr >> 25) & 0xFF, (pcr >> 17) & 0xFF, (pcr >> 9) & 0xFF,
                            (pcr >> 1) & 0xFF, ((pcr & 1) << 7) | 0x7E, 0])
            self.packet(pid, chunk, unit_start=first, adaptation=af)
            if first and after_first:
                after_first()
            first = False


def access_units(es):
    """The access units of an Annex B stream, each as bytes with its leading start codes."""
    return [b"".join(au) for au in h264es.access_units(h264es.split_units(es))]


def foreign_section(table_id, section_length):
    """A table the demultiplexer is to pass over: filler, with a valid CRC_32."""
    return long_section(table_id, 0, b"\x5a" * (section_length - 9))


def mux(args):
    streams = [open(path, "rb").read() for path in args.inputs]
    types = [args.type, args.second_type][:len(streams)]
    pids = list(VIDEO_PIDS)
    faults = set(args.fault or [])
    bad_pes = {int(x, 0) for x in args.bad_pes or []}
    first_header = bytes.fromhex(args.first_header) if args.first_header else None
    foreign = {"pat": [], "pmt": []}
    for spec in args.foreign or []:
        where, table_id, length = spec.split(":")
        foreign[where].append(foreign_section(int(table_id, 0), int(length, 0)))
    out = open(args.output, "wb")
    m = Muxer(out, args.packet, {int(x, 0) for x in args.tei or []}, args.shift, first_header)

    # The PMT's PID and the PAT's version in force.
    state = {"pmt_pid": PMT_PID, "pat_version": 0}

    def write_psi(plain, gap=False):
        pointer, length = (0, None) if plain else (args.pointer, args.pmt_length)
        if gap:
            # A current PAT without the program, then one with it again.
            state["pat_version"] += 1
            m.psi(PAT_PID, pat([], state["pat_version"]))
            state["pat_version"] += 1
        pmt_pid = state["pmt_pid"]
        programs = [(1, pmt_pid)]
        pmts = [pmt(args.pmt_program, pids[0], list(zip(types, pids)), length,
                    int(pids[0] == MOVED_PID))]
        if args.shared_pmt:
            # Program 2 lists no stream; its PMT shares the PID and the packets.
            programs.append((2, pmt_pid))
            other = pmt(2, NULL_PID, [], length)
            pmts = [other] + pmts if args.shared_pmt == "before" else pmts + [other]
        m.psi(PAT_PID, foreign["pat"] + [pat(programs, state["pat_version"])], pointer)
        m.psi(pmt_pid, foreign["pmt"] + pmts, pointer)

    def due(n):
        """Applies what changes at access unit n; true when tables are due before it."""
        if n == args.move:
            pids[0] = MOVED_PID
        if n == args.move_pmt:
            state["pmt_pid"] = MOVED_PMT_PID
            state["pat_version"] += 1
        return (n in (args.move, args.move_pmt, args.drop_program) or
                n > 0 and args.psi_every and n % args.psi_every == 0)

    def psi_due(n):
        if due(n):
            write_psi(False, n == args.drop_program)

    write_psi(args.late)
    if "stray-payload" in faults:
        # A stream joined in the middle: payload before the PID's first PES header, carrying
        # whole NAL units that must not reach the reader.
        data = b"".join(access_units(streams[0])[:2])
        while data:
            chunk, data = data[:184], data[184:]
            m.packet(VIDEO_PIDS[0], chunk)
    aus = [access_units(s) for s in streams]
    count = max(len(a) for a in aus)
    split = args.split_header if "split-pes-header" in faults else None
    pes_index = 0
    for repeat in range(args.repeat):
        for i in range(count):
            n = repeat * count + i
            if not args.in_flight:
                psi_due(n)
            for k, a in enumerate(aus):
                if i >= len(a):
                    continue
                # In flight: the tables due before the next unit, inside this unit's PES packet.
                after_first = None
                if args.in_flight and k == 0:
                    after_first = functools.partial(psi_due, n + 1)
                m.pes(pids[k], a[i], 90000 + 3750 * n, split, pes_index in bad_pes, after_first)
                pes_index += 1
                if "null-packets" in faults:
                    m.packet(NULL_PID, b"\xff" * 184)
                if "adaptation-only" in faults:
                    m.packet(pids[k], b"", adaptation=b"\x00")
    m.flush()
    if args.truncate:
        out.truncate(out.tell() - args.truncate)
    out.close()


def patch_type(args):
    data = bytearray(open(args.input, "rb").read())
    size = 192 if len(data) >= 5 and data[4] == 0x47 and data[0] != 0x47 else 188
    off = 4 if size == 192 else 0
    pmt_pids = set()
    patched = 0
    for pos in range(0, len(data) - size + 1, size):
        p = pos + off
        pid = ((data[p + 1] & 0x1F) << 8) | data[p + 2]
        if not data[p + 1] & 0x40 or not data[p + 3] & 0x10:
            continue
        start = p + 4 + (1 + data[p + 4] if data[p + 3] & 0x20 else 0)
        s = start + 1 + data[start]
        length = ((data[s + 1] & 0x0F) << 8) | data[s + 2]
        if s + 3 + length > p + 188:
            continue  # sections over several packets are not patched
        if pid == 0 and data[s] == 0:
            for e in range(s + 8, s + 3 + length - 4, 4):
                if (data[e] << 8) | data[e + 1]:
                    pmt_pids.add(((data[e + 2] & 0x1F) << 8) | data[e + 3])
        elif pid in pmt_pids and data[s] == 2:
            info = ((data[s + 10] & 0x0F) << 8) | data[s + 11]
            e = s + 12 + info
            for _ in range(args.index):
                e += 5 + (((data[e + 3] & 0x0F) << 8) | data[e + 4])
            if e + 5 > s + 3 + length - 4:
                continue
            data[e] = int(args.type, 0)
            crc = crc32_mpeg(data[s:s + 3 + length - 4])
            data[s + 3 + length - 4:s + 3 + length] = crc.to_bytes(4, "big")
            patched += 1
    if not patched:
        sys.exit("no PMT entry patched")
    open(args.output, "wb").write(data)


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="command", required=True)
    m = sub.add_parser("mux")
    m.add_argument("inputs", nargs="+", help="one or two elementary streams, then the output")
    m.add_argument("--packet", type=int, choices=(188, 192), default=188)
    m.add_argument("--type", type=lambda x: int(x, 0), default=0x1B)
    m.add_argument("--second-type", type=lambda x: int(x, 0), default=0x1B)
    m.add_argument("--pmt-length", type=int, help="section_length of the PMT (padded)")
    m.add_argument("--psi-every", type=int, default=0, help="PAT and PMT again every N units")
    m.add_argument("--pointer", type=int, default=0,
                   help="pointer_field of N filler bytes before the PAT and the PMT")
    m.add_argument("--shared-pmt", choices=("before", "after"),
                   help="a second program's PMT on the same PID, before or after the first's")
    m.add_argument("--foreign", action="append", metavar="pat|pmt:TABLE_ID:LENGTH",
                   help="another table ahead of the PAT or the PMT, in the same packets")
    m.add_argument("--late", action="store_true",
                   help="--pointer and --pmt-length for the repeated PSI only, not the first")
    m.add_argument("--move", type=int, help="from access unit N on, the first stream on "
                   "another PID, announced by a PMT of version 1")
    m.add_argument("--move-pmt", type=int, help="from access unit N on, the PMT on another "
                   "PID, announced by a PAT of version 1")
    m.add_argument("--drop-program", type=int, help="before access unit N, a current PAT "
                   "without the program (version 1), then the tables with it again (version 2)")
    m.add_argument("--pmt-program", type=int, default=1,
                   help="the PMT's program_number (the PAT gives its PID program 1)")
    m.add_argument("--in-flight", action="store_true", help="the tables due before access "
                   "unit N go behind the first packet of unit N-1's PES packet instead")
    m.add_argument("--repeat", type=int, default=1, help="write the access units N times")
    m.add_argument("--fault", action="append",
                   choices=("split-pes-header", "null-packets", "adaptation-only",
                            "stray-payload"))
    m.add_argument("--split-header", type=int, default=5,
                   help="PES header bytes in the first packet (split-pes-header)")
    m.add_argument("--tei", action="append", help="set transport_error_indicator in packet N")
    m.add_argument("--bad-pes", action="append", help="break the start code of PES packet N")
    m.add_argument("--shift", type=int, help="one stray byte before packet N")
    m.add_argument("--truncate", type=int, default=0, help="cut N bytes off the end")
    m.add_argument("--first-header", help="hex of the first 4-byte header (192-byte packets)")
    p = sub.add_parser("patch-type")
    p.add_argument("input")
    p.add_argument("output")
    p.add_argument("--index", type=int, default=0)
    p.add_argument("--type", default="0x20")
    args = ap.parse_args()
    if args.command == "mux":
        if len(args.inputs) not in (2, 3):
            ap.error("mux takes one or two inputs and an output")
        args.output = args.inputs.pop()
        mux(args)
    else:
        patch_type(args)


if __name__ == "__main__":
    main()
