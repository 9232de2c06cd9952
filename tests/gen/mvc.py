#!/usr/bin/env python3
"""MVC-shaped H.264 streams with 3D plane-offset metadata (OFMD), made by hand.

Builds the OFMD user data payload, the nesting SEI messages that carry it, and two-view
streams (base view with prefix NAL units, a subset SPS with two views, the dependent view's
PPS, type-20 slices over dummy data, type-24 delimiters) as one interleaved elementary stream,
as separate base and dependent files, or as a transport stream. From the same description it
renders what the offset editor must produce: the stream without OFMD, with replaced payloads,
with inserted units, the extracted text and the change logs.

Usage: mvc.py SCENARIO OUTDIR    (python3 -c 'import mvc; help(mvc)' for the scenarios)
Python 3 standard library only.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import h264es  # noqa: E402

# OFMD and MDPM share the disc-video UUID; the type indicator tells them apart.
OFMD_UUID = h264es.DISC_UUID
MDPM_UUID = h264es.DISC_UUID


class BitWriter:
    def __init__(self):
        self.bits = []

    def u(self, n, v):
        for i in range(n - 1, -1, -1):
            self.bits.append((v >> i) & 1)

    def ue(self, v):
        v += 1
        n = v.bit_length()
        self.u(n - 1, 0)
        self.u(n, v)

    def se(self, v):
        self.ue(2 * v - 1 if v > 0 else -2 * v)

    def aligned(self):
        return len(self.bits) % 8 == 0

    def align_zero(self):
        while not self.aligned():
            self.bits.append(0)

    def trailing(self):
        self.bits.append(1)
        self.align_zero()

    def raw(self, data):
        assert self.aligned()
        for b in data:
            self.u(8, b)

    def data(self):
        assert self.aligned()
        out = bytearray()
        for i in range(0, len(self.bits), 8):
            v = 0
            for b in self.bits[i:i + 8]:
                v = v << 1 | b
            out.append(v)
        return bytes(out)


escape = h264es.escape


def nal(ref_idc, nal_type, rbsp, start=4, ext=None):
    """One NAL unit with its start code; ext is the 3 bytes of an MVC header extension."""
    head = bytes([(ref_idc << 5) | nal_type]) + (ext or b"")
    return (b"\0\0\0\1" if start == 4 else b"\0\0\1") + head + escape(rbsp)


def mvc_ext(view_id, anchor, non_idr=1, inter_view=1, priority=0, temporal=0):
    bw = BitWriter()
    bw.u(1, 0)  # svc_extension_flag
    bw.u(1, non_idr)
    bw.u(6, priority)
    bw.u(10, view_id)
    bw.u(3, temporal)
    bw.u(1, anchor)
    bw.u(1, inter_view)
    bw.u(1, 1)  # reserved_one_bit
    return bw.data()


# ---------------------------------------------------------------------------------------
# OFMD payload and SEI messages

def clamp(v):
    return max(-127, min(127, v))


def ofmd_payload(frame_rate, pts, sequences):
    """sequences: one list of per-frame offsets per offset sequence (all of one length)."""
    frames = len(sequences[0]) if sequences else 0
    bw = BitWriter()
    bw.raw(OFMD_UUID + b"OFMD")
    bw.u(1, 1)
    bw.u(3, 0)
    bw.u(4, frame_rate)
    bw.u(5, 0)
    bw.u(3, (pts >> 30) & 7)
    bw.u(1, 1)
    bw.u(15, (pts >> 15) & 0x7FFF)
    bw.u(1, 1)
    bw.u(15, pts & 0x7FFF)
    bw.u(1, 1)
    bw.u(1, 0)
    bw.u(6, len(sequences))
    bw.u(8, frames)
    bw.u(1, 1)
    bw.u(15, 0)
    for seq in sequences:
        for v in seq:
            v = clamp(v)
            bw.u(1, 1 if v <= 0 else 0)
            bw.u(7, abs(v))
    return bw.data()


sei_message = h264es.sei_message


def nesting_header(op_point=0, all_views=1, view_ids=(0, 1), temporal_id=0):
    """mvc_scalable_nesting() up to the nested message."""
    bw = BitWriter()
    bw.u(1, op_point)
    if op_point:
        bw.ue(len(view_ids) - 1)
        for v in view_ids:
            bw.u(10, v)
        bw.u(3, temporal_id)
    else:
        bw.u(1, all_views)
        if not all_views:
            bw.ue(len(view_ids) - 1)
            for v in view_ids:
                bw.u(10, v)
    bw.align_zero()
    return bw.data()


class Plain:
    """A message kept as it is (a plain user data, pic timing, ...)."""

    def __init__(self, ptype, payload):
        self.ptype, self.payload = ptype, payload

    def encode(self):
        return sei_message(self.ptype, self.payload)


class Nested:
    """A nesting message (outer type 30, 37 or 48) around one nested message."""

    def __init__(self, nested_type, payload, outer=37, cut=0, **header):
        self.nested_type, self.payload, self.outer = nested_type, payload, outer
        self.cut, self.header = cut, header

    def body(self):
        payload = self.payload[:len(self.payload) - self.cut] if self.cut else self.payload
        return nesting_header(**self.header) + sei_message(self.nested_type, payload,
                                                           len(self.payload))

    def encode(self):
        return sei_message(self.outer, self.body())


class Ofmd(Nested):
    """An OFMD payload in a nesting message. cut drops that many bytes from its end (the
    declared size stays): the editor reads the missing bytes as zeros."""

    def __init__(self, frame_rate, pts, sequences, **kw):
        self.frame_rate, self.pts, self.sequences = frame_rate, pts, sequences
        super().__init__(5, ofmd_payload(frame_rate, pts, sequences), **kw)

    def read_sequences(self):
        """The offsets as the editor reads them (cut bytes as zeros)."""
        if not self.cut:
            return [[clamp(v) for v in s] for s in self.sequences]
        data = self.payload[:len(self.payload) - self.cut] + b"\0" * self.cut
        frames = len(self.sequences[0])
        out = []
        for s in range(len(self.sequences)):
            row = []
            for f in range(frames):
                b = data[30 + s * frames + f]
                row.append(-(b & 0x7F) if b & 0x80 else b & 0x7F)
            out.append(row)
        return out


def nested_ofmd_body(payload):
    """The nesting body the editor writes: operation_point_flag 0, all views, type 5."""
    return nesting_header() + sei_message(5, payload)


class Sei:
    """An SEI NAL unit; trailing_zeros are zero bytes after its rbsp_trailing_bits."""

    def __init__(self, messages, ref_idc=0, start=4, trailing_zeros=0):
        self.messages, self.ref_idc = messages, ref_idc
        self.start, self.trailing_zeros = start, trailing_zeros

    def encode(self, messages=None, start=None):
        messages = self.messages if messages is None else messages
        rbsp = b"".join(m.encode() for m in messages) + b"\x80"
        return nal(self.ref_idc, 6, rbsp, self.start if start is None else start) + \
            b"\0" * self.trailing_zeros


def ofmd_sei_unit(payload):
    """The unit the editor inserts: nal_ref_idc 0, one type-37 message, 4-byte start code."""
    return nal(0, 6, sei_message(37, nested_ofmd_body(payload)) + b"\x80")


# ---------------------------------------------------------------------------------------
# Parameter sets and slices

LOG2_FRAME_NUM = 8
LOG2_POC_LSB = 8
WIDTH_MBS, HEIGHT_MBS = 20, 15


def sps_data(bw, profile, sps_id):
    bw.u(8, profile)
    bw.u(8, 0)
    bw.u(8, 40)
    bw.ue(sps_id)
    if profile in (100, 110, 122, 244, 44, 83, 86, 118, 128, 138, 139, 134, 135):
        bw.ue(1)  # chroma_format_idc
        bw.ue(0)
        bw.ue(0)
        bw.u(1, 0)
        bw.u(1, 0)  # seq_scaling_matrix_present_flag
    bw.ue(LOG2_FRAME_NUM - 4)
    bw.ue(0)  # pic_order_cnt_type
    bw.ue(LOG2_POC_LSB - 4)
    bw.ue(2)  # max_num_ref_frames
    bw.u(1, 0)
    bw.ue(WIDTH_MBS - 1)
    bw.ue(HEIGHT_MBS - 1)
    bw.u(1, 1)  # frame_mbs_only_flag
    bw.u(1, 1)
    bw.u(1, 0)
    bw.u(1, 0)  # vui_parameters_present_flag


def sps(sps_id=0, profile=100):
    bw = BitWriter()
    sps_data(bw, profile, sps_id)
    bw.trailing()
    return nal(3, 7, bw.data())


def subset_sps(sps_id=1):
    bw = BitWriter()
    sps_data(bw, 128, sps_id)
    bw.u(1, 1)  # bit_equal_to_one
    bw.ue(1)  # num_views_minus1
    bw.ue(0)
    bw.ue(1)  # view_id
    bw.ue(1)  # num_anchor_refs_l0[1]
    bw.ue(0)
    bw.ue(0)  # num_anchor_refs_l1[1]
    bw.ue(1)  # num_non_anchor_refs_l0[1]
    bw.ue(0)
    bw.ue(0)
    bw.ue(0)  # num_level_values_signalled_minus1
    bw.u(8, 40)
    bw.ue(0)  # num_applicable_ops_minus1
    bw.u(3, 0)
    bw.ue(0)
    bw.ue(1)  # applicable_op_target_view_id
    bw.ue(1)  # applicable_op_num_views_minus1
    bw.u(1, 0)  # mvc_vui_parameters_present_flag
    bw.u(1, 0)  # additional_extension2_flag
    bw.trailing()
    return nal(3, 15, bw.data())


def pps(pps_id=0, sps_id=0):
    bw = BitWriter()
    bw.ue(pps_id)
    bw.ue(sps_id)
    bw.u(1, 0)  # entropy_coding_mode_flag
    bw.u(1, 0)
    bw.ue(0)  # num_slice_groups_minus1
    bw.ue(0)
    bw.ue(0)
    bw.u(1, 0)
    bw.u(2, 0)
    bw.se(0)
    bw.se(0)
    bw.se(0)
    bw.u(1, 1)  # deblocking_filter_control_present_flag
    bw.u(1, 0)
    bw.u(1, 0)
    bw.trailing()
    return nal(3, 8, bw.data())


# Slice data stand-in: zero runs that need emulation prevention, and a last byte that ends
# the unit with a 1 bit.
DUMMY_DATA = bytes([0x9A, 0, 0, 0, 0x11, 0, 0, 1, 0x22, 0, 0, 2, 0x33, 0, 0, 3, 0x44, 0xC3])


def slice_unit(nal_type, ref_idc, slice_type, pps_id, frame_num, poc, idr=False,
               first_mb=0, ext=None, data=DUMMY_DATA, start=4):
    bw = BitWriter()
    bw.ue(first_mb)
    bw.ue(slice_type)
    bw.ue(pps_id)
    bw.u(LOG2_FRAME_NUM, frame_num % (1 << LOG2_FRAME_NUM))
    if idr:
        bw.ue(0)  # idr_pic_id
    bw.u(LOG2_POC_LSB, poc % (1 << LOG2_POC_LSB))
    st = slice_type % 5
    if st == 1:  # B
        bw.u(1, 1)  # direct_spatial_mv_pred_flag
    if st in (0, 1):
        bw.u(1, 0)  # num_ref_idx_active_override_flag
        bw.u(1, 0)  # ref_pic_list_modification_flag_l0
    if st == 1:
        bw.u(1, 0)  # ref_pic_list_modification_flag_l1
    if ref_idc:
        if idr:
            bw.u(1, 0)
            bw.u(1, 0)
        else:
            bw.u(1, 0)  # adaptive_ref_pic_marking_mode_flag
    bw.se(0)  # slice_qp_delta
    bw.ue(1)  # disable_deblocking_filter_idc
    bw.u(1, 1)  # the slice data begins with a 1 bit
    bw.align_zero()
    return nal(ref_idc, nal_type, bw.data() + data, start, ext)


def aud(primary_pic_type=7):
    return nal(0, 9, bytes([(primary_pic_type << 5) | 0x10]))


def delimiter24():
    return nal(0, 24, b"\xf0")


def prefix(anchor, view_id=0):
    return nal(3, 14, b"", ext=mvc_ext(view_id, anchor, non_idr=0 if anchor else 1))


def buffering_period_payload():
    bw = BitWriter()
    bw.ue(1)  # seq_parameter_set_id
    bw.u(24, 90000)
    bw.u(24, 0)
    bw.trailing()
    return bw.data()


# ---------------------------------------------------------------------------------------
# Streams: access units of units (bytes, or Sei objects), and what the editor makes of them

class Stream:
    def __init__(self):
        self.units = []  # bytes or Sei, in stream order

    def add(self, *units):
        self.units.extend(units)

    def encode(self):
        return b"".join(u.encode() if isinstance(u, Sei) else u for u in self.units)

    def frame_numbers(self):
        """The frame counter at each unit: delimiters (type 9 or 24, whichever comes first)
        count; 0xFFFFFFFF before the first."""
        out, counter, kind = [], 0xFFFFFFFF, None
        for u in self.units:
            if not isinstance(u, Sei):
                t = nal_type_of(u)
                if t in (9, 24) and (kind is None or kind == t):
                    kind = t
                    counter = (counter + 1) & 0xFFFFFFFF
            out.append(counter)
        return out

    def extract(self):
        text = ""
        for u, frame in zip(self.units, self.frame_numbers()):
            if isinstance(u, Sei):
                for m in u.messages:
                    if isinstance(m, Ofmd):
                        text += ofmd_block(frame, m.pts, m.read_sequences())
        return text

    def delete(self):
        """(stream bytes, log) of the delete command."""
        out, log = b"", ""
        for u, frame in zip(self.units, self.frame_numbers()):
            if isinstance(u, Sei) and any(isinstance(m, Ofmd) for m in u.messages):
                kept = [m for m in u.messages if not isinstance(m, Ofmd)]
                log += "%u\tdeleted\n" % frame * (len(u.messages) - len(kept))
                out += u.encode(kept, 4) if kept else b"\0" * u.trailing_zeros
            else:
                out += u.encode() if isinstance(u, Sei) else u
        return out, log

    def replace(self, ofmd_text):
        reader = OfmdReader(ofmd_text)
        out, log = b"", ""
        for u, frame in zip(self.units, self.frame_numbers()):
            if isinstance(u, Sei) and any(isinstance(m, Ofmd) for m in u.messages):
                msgs = []
                for m in u.messages:
                    if isinstance(m, Ofmd):
                        log += "%u\treplaced\n" % frame
                        frames = len(m.sequences[0]) if m.sequences else 0
                        seqs = reader.gop(frame, frames)
                        payload = ofmd_payload(m.frame_rate, m.pts, seqs)
                        msgs.append(Plain(37, nested_ofmd_body(payload)))
                    else:
                        msgs.append(m)
                out += u.encode(msgs, 4)
            else:
                out += u.encode() if isinstance(u, Sei) else u
        return out, log

    def insert(self, gops, ofmd_text):
        """gops: (first frame, count) of the base view. The new unit goes right after an SEI
        unit with a nested buffering period that comes before the GOP's first VCL unit, else
        right before that VCL unit."""
        reader = OfmdReader(ofmd_text)
        starts = {g[0]: g[1] for g in gops}
        done = set()
        out, log = b"", ""
        pic_seen = False
        for u, frame in zip(self.units, self.frame_numbers()):
            t = 6 if isinstance(u, Sei) else nal_type_of(u)
            if t in (9, 24):
                pic_seen = False
            new = b""
            if frame in starts and frame not in done:
                is_bp = isinstance(u, Sei) and any(
                    isinstance(m, Nested) and not isinstance(m, Ofmd) and m.nested_type == 0
                    for m in u.messages)
                if t in (1, 2, 3, 4, 5, 14, 20, 21) and not pic_seen or is_bp and not pic_seen:
                    log_line = "%u\tINSERTED\n" % frame
                    n = min(starts[frame], 255)
                    new = ofmd_sei_unit(ofmd_payload(1, 0, reader.gop(frame, n)))
                    done.add(frame)
                    if is_bp:
                        pass
            if t in (1, 2, 3, 4, 5, 14, 20, 21):
                pic_seen = True
            if isinstance(u, Sei) and any(isinstance(m, Ofmd) for m in u.messages):
                kept = [m for m in u.messages if not isinstance(m, Ofmd)]
                del_log = "%u\tdeleted\n" % frame * (len(u.messages) - len(kept))
                body = u.encode(kept, 4) if kept else b"\0" * u.trailing_zeros
            else:
                del_log = ""
                body = u.encode() if isinstance(u, Sei) else u
            if new and t == 6:  # after the SEI unit with the buffering period
                log += del_log + log_line
                out += body + new
            elif new:
                log += log_line + del_log
                out += new + body
            else:
                log += del_log
                out += body
        return out, log


def nal_type_of(unit):
    i = 3 if unit[2] == 1 else 4
    return unit[i] & 0x1F


def ofmd_block(first, pts, sequences):
    frames = len(sequences[0]) if sequences else 0
    text = ";PTS: %u\n;frames in GOP: %u\n" % (pts, frames)
    for f in range(frames):
        text += "%6u: " % (first + f) + ", ".join("%4d" % s[f] for s in sequences) + "\n"
    return text


class OfmdReader:
    """The .ofmd reading rules: the first frame line fixes the number of sequences; lines
    ascend; a frame without a line reads as 0; values are clamped to -127..127 when used."""

    def __init__(self, text):
        self.lines = []
        for line in text.replace("\r\n", "\n").split("\n"):
            s = line.lstrip()
            if not s or not s[0].isdigit():
                continue
            num, _, rest = s.partition(":")
            vals = [int(v) for v in rest.replace(",", " ").replace(";", " ").split()]
            self.lines.append((int(num), vals))
        self.nseq = len(self.lines[0][1][:32]) if self.lines else 0
        self.pos = 0

    def current(self):
        return self.lines[self.pos] if self.pos < len(self.lines) else None

    def gop(self, first, count):
        while self.current() and self.current()[0] < first:
            self.pos += 1
        seqs = [[0] * count for _ in range(self.nseq)]
        for i in range(count):
            cur = self.current()
            if cur and cur[0] == first + i:
                vals = (cur[1] + [0] * self.nseq)[:self.nseq]
                for s in range(self.nseq):
                    seqs[s][i] = clamp(vals[s])
                self.pos += 1
        return seqs


def base_au(frame, gop_len, sei_units=(), avc_only=False, slices=1):
    """The base view of one access unit: delimiter, parameter sets at a GOP start, SEI,
    prefix and slice(s)."""
    start = frame % gop_len == 0
    units = [aud(0 if start else 1)]
    if start:
        units += [sps(0), pps(0, 0)]
    units += list(sei_units)
    for i in range(slices):
        if not avc_only:
            units.append(prefix(1 if start else 0))
        if start:
            units.append(slice_unit(5, 3, 7, 0, 0, 2 * (frame % gop_len), idr=True,
                                    first_mb=i * 75))
        else:
            units.append(slice_unit(1, 2, 5, 0, frame % gop_len, 2 * (frame % gop_len),
                                    first_mb=i * 75))
    return units


def dep_au(frame, gop_len, sei_units=(), with_delimiter=True, with_params=None):
    start = frame % gop_len == 0
    units = [delimiter24()] if with_delimiter else []
    if start and (with_params if with_params is not None else True):
        units += [subset_sps(1), pps(1, 1)]
    units += list(sei_units)
    units.append(slice_unit(20, 2, 5, 1, frame % gop_len, 2 * (frame % gop_len),
                            ext=mvc_ext(1, 1 if start else 0)))
    return units


def offsets_for(frame, frames, nseq, scale=1):
    return [[((frame + f) * (s + 3) * scale) % 61 - 30 for f in range(frames)]
            for s in range(nseq)]


# ---------------------------------------------------------------------------------------
# Scenarios

def write(outdir, name, data):
    mode = "wb" if isinstance(data, bytes) else "w"
    with open(os.path.join(outdir, name), mode, newline="" if mode == "w" else None) as f:
        f.write(data)


def edited_text(gops, nseq=3, scale=7):
    """An .ofmd file for the GOPs with new values (some out of range, one frame missing)."""
    text = "; edited\n"
    for first, count in gops:
        for f in range(count):
            frame = first + f
            if frame == 5:
                continue  # a frame without a line reads as 0
            vals = [((frame * (s + 1) * scale) % 301) - 150 for s in range(nseq)]
            text += "%d: %s\n" % (frame, ", ".join(str(v) for v in vals))
    return text


def ofmd_text_in_range(gops, nseq):
    """Values within -127..127 for every frame, as extract writes them."""
    text = ""
    for first, count in gops:
        seqs = offsets_for(first, count, nseq, scale=5)
        text += ofmd_block(first, 0, seqs)
    return text


def first_clamp(text):
    """The first value the reader clamps, in file order: (value, frame, written)."""
    r = OfmdReader(text)
    for frame, vals in r.lines:
        for v in (vals + [0] * r.nseq)[:r.nseq]:
            if clamp(v) != v:
                return v, frame, clamp(v)
    return None


def scenario_interleaved(outdir):
    """Interleaved two-view ES, GOPs of 12, 12 and 8 frames; OFMD in every GOP's dependent
    view, in the nesting forms in turn; a nested buffering period before the OFMD SEI unit
    in the first GOP; a unit with two OFMD messages and other messages; trailing zeros."""
    s = Stream()
    gops = [(0, 12), (12, 12), (24, 8)]
    total = 32
    for frame in range(total):
        gop = 12
        base_sei = []
        dep_sei = []
        if frame in (0, 12, 24):
            n = dict((g[0], g[1]) for g in gops)[frame]
            if frame == 0:
                bp = Nested(0, buffering_period_payload(), outer=37, op_point=0, all_views=0,
                            view_ids=(1,))
                dep_sei.append(Sei([bp], start=3))
                dep_sei.append(Sei([Ofmd(3, 900000, offsets_for(0, n, 2)),
                                    Plain(5, MDPM_UUID + b"MDPM\x00")], trailing_zeros=2))
            elif frame == 12:
                dep_sei.append(Sei([Plain(1, b"\x12\x34\x80"),
                                    Ofmd(3, 2**32 + 5, offsets_for(12, n, 2), outer=30,
                                         op_point=1, view_ids=(0, 1), temporal_id=2),
                                    Ofmd(3, 7, offsets_for(12, n, 2), outer=48,
                                         op_point=0, all_views=0, view_ids=(1, 2, 3)),
                                    Nested(5, b"\x11" * 16 + b"GA94xx", outer=37)],
                                   start=3))
            else:
                dep_sei.append(Sei([Ofmd(3, 0x1FFFFFFFF, offsets_for(24, n, 2),
                                         op_point=1, view_ids=(1,))], ref_idc=1,
                                   trailing_zeros=3))
        s.add(*base_au(frame, gop if frame < 24 else 8, base_sei))
        s.add(*dep_au(frame, gop if frame < 24 else 8, dep_sei))
    write(outdir, "in.mvc", s.encode())
    write(outdir, "extract.ofmd", s.extract())
    out, log = s.delete()
    write(outdir, "delete.mvc", out)
    write(outdir, "delete.log", log)
    text = edited_text(gops)
    write(outdir, "edited.ofmd", text)
    out, log = s.replace(text)
    write(outdir, "replace.mvc", out)
    write(outdir, "replace.log", log)
    out, log = s.insert(gops, text)
    write(outdir, "insert.mvc", out)
    write(outdir, "insert.log", log)
    write(outdir, "gops.txt", "".join("%u\t%u\n" % g for g in gops))
    clamped = first_clamp(text)
    write(outdir, "clamp.txt", "%d %u %d\n" % clamped if clamped else "")
    # extract then replace gives the stream back when the messages are as the editor writes
    # them: type 37 with the plain nesting header.
    return s


def two_views(gops, ofmd_sei=None, bp_at=(), base_slices=1, dep_start=4):
    """Base and dependent view access units per frame. ofmd_sei(frame) gives the dependent
    view's SEI units of a frame; bp_at: frames whose dependent view has an SEI unit with a
    nested buffering period first."""
    base, dep = [], []
    for first, count in gops:
        for f in range(count):
            sei = []
            if first + f in bp_at:
                sei.append(Sei([Nested(0, buffering_period_payload(), op_point=0, all_views=0,
                                       view_ids=(1,))], start=dep_start))
            if ofmd_sei:
                sei += ofmd_sei(first + f)
            base.append(base_au(f, 10**9, slices=base_slices))
            dep.append(dep_au(f, 10**9, sei))
    return base, dep


def stream_of(aus):
    s = Stream()
    for au in aus:
        s.add(*au)
    return s


def outputs(outdir, prefix, s, gops, text, extract=True):
    """The editor's expected outputs for stream s: extract, delete, replace, insert."""
    if extract:
        write(outdir, prefix + "extract.ofmd", s.extract())
    out, log = s.delete()
    write(outdir, prefix + "delete.out", out)
    write(outdir, prefix + "delete.log", log)
    out, log = s.replace(text)
    write(outdir, prefix + "replace.out", out)
    write(outdir, prefix + "replace.log", log)
    out, log = s.insert(gops, text)
    write(outdir, prefix + "insert.out", out)
    write(outdir, prefix + "insert.log", log)


def sample_ofmd(frame, gop_starts, nseq=2, **kw):
    if frame not in gop_starts:
        return []
    return [Sei([Ofmd(3, 90000 + 3750 * frame, offsets_for(frame, gop_starts[frame], nseq),
                      **kw)])]


def scenario_split(outdir):
    """Separate base (base.avc) and dependent (dep.mvc) files and the same two views as a
    transport stream (two.ts: 0x1B and 0x20). The dependent view has an SEI unit with a nested
    buffering period before its slices in GOPs 0 and 24, none in GOP 12."""
    gops = [(0, 12), (12, 12), (24, 6)]
    starts = dict(gops)
    base, dep = two_views(gops, lambda f: sample_ofmd(f, starts), bp_at=(0, 24))
    write(outdir, "base.avc", stream_of(base).encode())
    d = stream_of(dep)
    write(outdir, "dep.mvc", d.encode())
    text = edited_text(gops, nseq=2, scale=3)
    write(outdir, "edited.ofmd", text)
    outputs(outdir, "dep.", d, gops, text)
    write(outdir, "gops.txt", "".join("%u\t%u\n" % g for g in gops))
    try:
        import ts
    except ImportError:
        return
    with open(os.path.join(outdir, "two.ts"), "wb") as out:
        m = ts.Muxer(out, 192)
        m.psi(ts.PAT_PID, ts.pat([(1, ts.PMT_PID)]))
        m.psi(ts.PMT_PID, ts.pmt(1, ts.VIDEO_PIDS[0], [(0x1B, ts.VIDEO_PIDS[0]),
                                                       (0x20, ts.VIDEO_PIDS[1])]))
        for i, (b, dd) in enumerate(zip(base, dep)):
            m.pes(ts.VIDEO_PIDS[0], stream_of([b]).encode(), 90000 + 3750 * i)
            m.pes(ts.VIDEO_PIDS[1], stream_of([dd]).encode(), 90000 + 3750 * i)
        m.flush()


def scenario_slices(outdir):
    """An AVC stream with four slices per picture and no buffering period: the new unit goes
    right before the first slice of each GOP's first access unit."""
    gops = [(0, 8), (8, 8)]
    aus = []
    for first, count in gops:
        for f in range(count):
            aus.append(base_au(f, 10**9, avc_only=True, slices=4))
    s = stream_of(aus)
    write(outdir, "in.h264", s.encode())
    text = "0: 1, 2, 3\n9: -4, 5, 6\n"
    write(outdir, "in.ofmd", text)
    out, log = s.insert(gops, text)
    write(outdir, "insert.out", out)
    write(outdir, "insert.log", log)


def scenario_canonical(outdir):
    """OFMD as the insert command writes it (type 37, plain nesting, frame_rate 1, PTS 0,
    nal_ref_idc 0, 4-byte start code), placed where insert places it: delete then insert, and
    extract then replace, give the stream back."""
    gops = [(0, 10), (10, 10), (20, 5)]
    text = ofmd_text_in_range(gops, nseq=3)
    base, dep = two_views(gops)
    clean = stream_of(b + d for b, d in zip(base, dep))
    out, _ = clean.insert(gops, text)
    write(outdir, "in.mvc", out)
    write(outdir, "in.ofmd", text)
    write(outdir, "clean.mvc", clean.encode())


def scenario_worked(outdir):
    """The worked example: the unit with frame_rate 3, PTS 900000 and the sequences (3, 4, 0)
    and (-2, -1, 127) in access unit 24 of an AVC stream with delimiters."""
    unit = ofmd_sei_unit(ofmd_payload(3, 900000, [[3, 4, 0], [-2, -1, 127]]))
    aus = []
    for f in range(30):
        au = base_au(f % 12, 12, avc_only=True)
        if f == 24:
            au.insert(1, unit)
        aus.append(au)
    s = stream_of(aus)
    write(outdir, "in.h264", s.encode())
    write(outdir, "unit.bin", unit)


def scenario_long_gop(outdir):
    """One GOP of 300 frames: the inserted payload holds the first 255."""
    aus = [base_au(f, 10**9, avc_only=True) for f in range(300)]
    s = stream_of(aus)
    write(outdir, "in.h264", s.encode())
    text = "".join("%d: %d\n" % (f, f % 100 - 50) for f in range(300))
    write(outdir, "in.ofmd", text)
    out, log = s.insert([(0, 300)], text)
    write(outdir, "insert.out", out)
    write(outdir, "insert.log", log)


def scenario_faults(outdir):
    """Messages that look like OFMD but cannot be read (a body ending after the nested payload
    type, a nested payload of only the UUID and "OFMD"), a cut payload read with zeros, and an
    SEI unit that cannot be parsed (its message runs past the unit) in access unit 5."""
    short1 = Plain(37, bytes.fromhex("4005"))
    short2 = Plain(37, bytes.fromhex("4005") + bytes([20]) + OFMD_UUID + b"OFMD")
    cut = Ofmd(2, 1234, [[1, 2, 3, 4], [-1, -2, -3, -4]], cut=5)
    aus = []
    for f in range(8):
        au = base_au(f, 10**9, avc_only=True)
        if f == 1:
            au.insert(1, Sei([short1, short2], trailing_zeros=1))
            au.insert(2, Sei([cut]))
        aus.append(au)
    s = stream_of(aus)
    write(outdir, "in.h264", s.encode())
    write(outdir, "extract.ofmd", s.extract())
    out, log = s.delete()
    write(outdir, "delete.out", out)
    write(outdir, "delete.log", log)
    # The same with a unit that cannot be parsed in access unit 5: what came before it is out.
    bad = nal(0, 6, sei_message(5, b"\x11" * 8, size=40) + b"\x80")
    aus[5].insert(1, bad)
    b = stream_of(aus)
    write(outdir, "bad.h264", b.encode())
    units_before = [u for au in aus[:5] for u in au] + [aus[5][0]]
    out, log = stream_of([units_before]).delete()
    write(outdir, "bad.delete.out", out)
    write(outdir, "bad.delete.log", log)


def scenario_open_gop(outdir):
    """Open GOPs: an IDR picture, then every 9th frame a non-IDR I picture (slice_type 2)
    followed in decode order by B pictures; the GOPs start at the I pictures."""
    aus = []
    for f in range(30):
        units = [aud()]
        if f == 0:
            units += [sps(0), pps(0, 0), slice_unit(5, 3, 7, 0, 0, 0, idr=True)]
        elif f % 9 == 0:
            units.append(slice_unit(1, 3, 2, 0, f % 256, 2 * f))
        elif f % 3 == 0:
            units.append(slice_unit(1, 2, 0, 0, f % 256, 2 * f))
        else:
            units.append(slice_unit(1, 0, 1, 0, f % 256, 2 * f))
        aus.append(units)
    write(outdir, "in.h264", stream_of(aus).encode())
    write(outdir, "gops.txt", "0\t9\n9\t9\n18\t9\n27\t3\n")


def scenario_no_intra(outdir):
    """Delimiters and P slices only: no GOP."""
    aus = [base_au(f + 1, 10**9, avc_only=True) for f in range(6)]
    write(outdir, "in.h264", stream_of(aus).encode())


SCENARIOS = {
    "interleaved": scenario_interleaved,
    "split": scenario_split,
    "slices": scenario_slices,
    "canonical": scenario_canonical,
    "worked": scenario_worked,
    "long_gop": scenario_long_gop,
    "faults": scenario_faults,
    "no_intra": scenario_no_intra,
    "open_gop": scenario_open_gop,
}


def main(argv):
    if len(argv) != 3 or argv[1] not in SCENARIOS:
        sys.stderr.write("usage: mvc.py {%s} OUTDIR\n" % ",".join(sorted(SCENARIOS)))
        return 2
    os.makedirs(argv[2], exist_ok=True)
    SCENARIOS[argv[1]](argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
