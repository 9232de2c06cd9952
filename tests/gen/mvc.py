#!/usr/bin/env python3
"""MVC-shaped H.264 streams with 3D plane-offset metadata (OFMD), made by hand.

Builds the OFMD user data payload, the nesting SEI messages that carry it, and two-view
streams (base view with prefix NAL units, a subset SPS with two views, the dependent view's
PPS, type-20 slices over dummy data, type-24 delimiters) as one interleaved elementary stream,
as separate base and dependent files, or as a transport stream. From the same description it
renders what the offset editor must produce: the stream without OFMD, with replaced payloads,
with inserted units, the extracted text and the change logs.

Usage: mvc.py SCENARIO OUTDIR    (the scenario_* functions say what each writes)
Python 3 standard library only.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import h264es as g  # noqa: E402

# OFMD and MDPM share the disc-video UUID; the type indicator tells them apart.
UUID = g.DISC_UUID
VCL = (1, 2, 3, 4, 5, 14, 20, 21)
sei_message = g.sei_message


def nal(ref_idc, nal_type, rbsp, start=4, ext=b""):
    """One NAL unit with its start code; ext is the 3 bytes of an MVC header extension."""
    return b"\0" * (start - 3) + b"\0\0\1" + bytes([ref_idc << 5 | nal_type]) + ext + \
        g.escape(rbsp)


def mvc_ext(view_id, anchor, non_idr=1):
    # svc_extension_flag, non_idr, priority_id, view_id, temporal_id, anchor, inter_view, 1
    return g.BitWriter().u(2, non_idr).u(6, 0).u(10, view_id).u(3, 0).u(1, anchor) \
        .u(2, 3).bytes()


# ---------------------------------------------------------------------------------------
# OFMD payload and SEI messages

def clamp(v):
    return max(-127, min(127, v))


def ofmd_payload(frame_rate, pts, sequences):
    """sequences: one list of per-frame offsets per offset sequence (all of one length)."""
    frames = len(sequences[0]) if sequences else 0
    bw = g.BitWriter().u(1, 1).u(3, 0).u(4, frame_rate).u(5, 0).u(3, pts >> 30 & 7).u(1, 1)
    bw.u(15, pts >> 15 & 0x7FFF).u(1, 1).u(15, pts & 0x7FFF).u(1, 1).u(1, 0)
    bw.u(6, len(sequences)).u(8, frames).u(1, 1).u(15, 0)
    for v in (clamp(v) for seq in sequences for v in seq):
        bw.u(1, 1 if v <= 0 else 0).u(7, abs(v))  # value 0 with the direction bit set
    return UUID + b"OFMD" + bw.bytes()


def nesting_header(op_point=0, all_views=1, view_ids=(0, 1), temporal_id=0):
    """mvc_scalable_nesting() up to the nested message."""
    bw = g.BitWriter().u(1, op_point)
    if not op_point:
        bw.u(1, all_views)
    if op_point or not all_views:
        bw.ue(len(view_ids) - 1)
        for v in view_ids:
            bw.u(10, v)
    if op_point:
        bw.u(3, temporal_id)
    return bw.align_zero().bytes()


class Plain:
    """A message kept as it is (a plain user data, pic timing, ...)."""

    def __init__(self, ptype, payload):
        self.ptype, self.payload = ptype, payload

    def encode(self):
        return sei_message(self.ptype, self.payload)


class Nested:
    """A nesting message (outer type 30, 37 or 48) around one nested message; cut drops that
    many bytes from the nested payload's end (the declared size stays)."""

    def __init__(self, nested_type, payload, outer=37, cut=0, **header):
        self.nested_type, self.payload, self.outer = nested_type, payload, outer
        self.cut, self.header = cut, header

    def body(self):
        return nesting_header(**self.header) + sei_message(
            self.nested_type, self.payload[:len(self.payload) - self.cut], len(self.payload))

    def encode(self):
        return sei_message(self.outer, self.body())


class Ofmd(Nested):
    """An OFMD payload in a nesting message; the editor reads cut bytes as zeros."""

    def __init__(self, frame_rate, pts, sequences, **kw):
        self.frame_rate, self.pts, self.sequences = frame_rate, pts, sequences
        super().__init__(5, ofmd_payload(frame_rate, pts, sequences), **kw)

    def frames(self):
        return len(self.sequences[0]) if self.sequences else 0

    def read_sequences(self):
        """The offsets as the editor reads them."""
        data = self.payload[:len(self.payload) - self.cut] + b"\0" * self.cut
        n = self.frames()
        return [[-(b & 0x7F) if b & 0x80 else b for b in data[30 + s * n:30 + (s + 1) * n]]
                for s in range(len(self.sequences))]


def is_buffering_period(m):
    return isinstance(m, Nested) and not isinstance(m, Ofmd) and m.nested_type == 0


class Sei:
    """An SEI NAL unit; trailing_zeros are zero bytes after its rbsp_trailing_bits."""

    def __init__(self, messages, ref_idc=0, start=4, trailing_zeros=0):
        self.messages, self.ref_idc = messages, ref_idc
        self.start, self.trailing_zeros = start, trailing_zeros

    def encode(self, messages=None, start=None):
        rbsp = b"".join(m.encode() for m in (self.messages if messages is None else messages))
        return nal(self.ref_idc, 6, rbsp + b"\x80", start or self.start) + \
            b"\0" * self.trailing_zeros


def ofmd_message(payload):
    """The message the editor writes: type 37, operation_point_flag 0, all views, type 5."""
    return Plain(37, nesting_header() + sei_message(5, payload))


def ofmd_sei_unit(payload):
    """The unit the editor inserts: nal_ref_idc 0, one message, 4-byte start code."""
    return Sei([ofmd_message(payload)]).encode()


# ---------------------------------------------------------------------------------------
# Parameter sets and slices (frame_num and pic_order_cnt_lsb of 8 bits)

def sps_data(sps_id, profile):
    bw = g.BitWriter().u(8, profile).u(8, 0).u(8, 40).ue(sps_id)
    bw.ue(1).ue(0).ue(0).u(1, 0).u(1, 0)  # 4:2:0, 8 bits, no scaling matrices
    bw.ue(4).ue(0).ue(4).ue(2).u(1, 0)  # frame_num, POC type 0 and its lsb, 2 reference frames
    return bw.ue(19).ue(14).u(1, 1).u(1, 1).u(1, 0).u(1, 0)  # 320x240, no cropping, no VUI


def sps():
    return nal(3, 7, sps_data(0, 100).trailing().bytes())


def subset_sps():
    """Profile 128, views 0 and 1 (1 predicted from 0), one level, one operation point."""
    bw = sps_data(1, 128).u(1, 1).ue(1).ue(0).ue(1).ue(1).ue(0).ue(0).ue(1).ue(0).ue(0)
    bw.ue(0).u(8, 40).ue(0).u(3, 0).ue(0).ue(1).ue(1).u(1, 0).u(1, 0)
    return nal(3, 15, bw.trailing().bytes())


def pps(pps_id=0, sps_id=0):
    bw = g.BitWriter().ue(pps_id).ue(sps_id).u(2, 0).ue(0).ue(0).ue(0).u(3, 0)
    return nal(3, 8, bw.se(0).se(0).se(0).u(3, 4).trailing().bytes())  # deblocking control


# Slice data stand-in: zero runs that need emulation prevention, and a last byte that ends
# the unit with a 1 bit.
DUMMY_DATA = bytes([0x9A, 0, 0, 0, 0x11, 0, 0, 1, 0x22, 0, 0, 2, 0x33, 0, 0, 3, 0x44, 0xC3])


def slice_unit(nal_type, ref_idc, slice_type, pps_id, frame_num, idr=False, first_mb=0,
               ext=b""):
    bw = g.BitWriter().ue(first_mb).ue(slice_type).ue(pps_id).u(8, frame_num % 256)
    if idr:
        bw.ue(0)  # idr_pic_id
    bw.u(8, 2 * frame_num % 256)
    st = slice_type % 5
    if st == 1:
        bw.u(1, 1)  # direct_spatial_mv_pred_flag
    if st in (0, 1):
        bw.u(2 + (st == 1), 0)  # no override, no list modification
    if ref_idc:
        bw.u(1 + idr, 0)  # dec_ref_pic_marking()
    bw.se(0).ue(1).u(1, 1).align_zero()  # qp delta, no deblocking, data beginning with 1
    return nal(ref_idc, nal_type, bw.bytes() + DUMMY_DATA, 4, ext)


def buffering_period(start=4):
    """A nested buffering period for the dependent view, as its own SEI unit."""
    payload = g.BitWriter().ue(1).u(24, 90000).u(24, 0).trailing().bytes()
    return Sei([Nested(0, payload, all_views=0, view_ids=(1,))], start=start)


def base_au(f, sei_units=(), avc_only=False, slices=1):
    """The base view of frame f of a GOP: delimiter, parameter sets at a GOP start, SEI,
    prefix and slice(s)."""
    start = f == 0
    units = [nal(0, 9, bytes([(0 if start else 1) << 5 | 0x10]))]
    units += [sps(), pps()] if start else []
    units += list(sei_units)
    for i in range(slices):
        if not avc_only:
            units.append(nal(3, 14, b"", ext=mvc_ext(0, start, 0 if start else 1)))
        units.append(slice_unit(5, 3, 7, 0, 0, True, i * 75) if start else
                     slice_unit(1, 2, 5, 0, f, first_mb=i * 75))
    return units


def dep_au(f, sei_units=(), slices=1):
    units = [nal(0, 24, b"\xf0")] + ([subset_sps(), pps(1, 1)] if f == 0 else [])
    return units + list(sei_units) + [slice_unit(20, 2, 5, 1, f, first_mb=i * 75,
                                                 ext=mvc_ext(1, f == 0)) for i in range(slices)]


def offsets_for(frame, frames, nseq, scale=1):
    return [[((frame + f) * (s + 3) * scale) % 61 - 30 for f in range(frames)]
            for s in range(nseq)]


# ---------------------------------------------------------------------------------------
# Streams, and what the editor makes of them

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
        for line in text.split("\n"):
            num, _, rest = line.strip().partition(":")
            if num[:1].isdigit():
                vals = [int(v) for v in rest.replace(",", " ").replace(";", " ").split()]
                self.lines.append((int(num), vals))
        self.nseq = len(self.lines[0][1][:32]) if self.lines else 0

    def gop(self, first, count):
        """Reads forward: the lines before the GOP are passed over, its own are used up."""
        while self.lines and self.lines[0][0] < first:
            self.lines.pop(0)
        seqs = [[0] * count for _ in range(self.nseq)]
        for i in range(count):
            if self.lines and self.lines[0][0] == first + i:
                vals = self.lines.pop(0)[1] + [0] * self.nseq
                for s in range(self.nseq):
                    seqs[s][i] = clamp(vals[s])
        return seqs


class Stream:
    def __init__(self, aus):
        self.units = [u for au in aus for u in au]  # bytes or Sei, in stream order

    def encode(self):
        return b"".join(u.encode() if isinstance(u, Sei) else u for u in self.units)

    def frames(self):
        """Each unit with the frame counter there: delimiters of the kind (type 9 or 24) that
        comes first count; 0xFFFFFFFF before the first."""
        counter, kind = 0xFFFFFFFF, None
        for u in self.units:
            t = 6 if isinstance(u, Sei) else g.nal_type(u)
            if t in (9, 24) and kind in (None, t):
                kind, counter = t, (counter + 1) & 0xFFFFFFFF
            yield u, t, counter

    def extract(self):
        return "".join(ofmd_block(frame, m.pts, m.read_sequences())
                       for u, t, frame in self.frames() if isinstance(u, Sei)
                       for m in u.messages if isinstance(m, Ofmd))

    @staticmethod
    def edit(u, frame, new=None):
        """The unit's bytes and log with its OFMD messages deleted, or replaced by new(m)."""
        if not isinstance(u, Sei) or not any(isinstance(m, Ofmd) for m in u.messages):
            return (u.encode() if isinstance(u, Sei) else u), ""
        kept, log = [], ""
        for m in u.messages:
            if isinstance(m, Ofmd):
                log += "%u\t%s\n" % (frame, "replaced" if new else "deleted")
            if not isinstance(m, Ofmd) or new:
                kept.append(new(m) if isinstance(m, Ofmd) else m)
        return (u.encode(kept, 4) if kept else b"\0" * u.trailing_zeros), log

    def delete(self):
        """(stream bytes, log) of the delete command."""
        done = [self.edit(u, frame) for u, _, frame in self.frames()]
        return b"".join(d[0] for d in done), "".join(d[1] for d in done)

    def replace(self, ofmd_text):
        reader = OfmdReader(ofmd_text)
        done = [self.edit(u, frame, lambda m: ofmd_message(ofmd_payload(
            m.frame_rate, m.pts, reader.gop(frame, m.frames())))) for u, _, frame in self.frames()]
        return b"".join(d[0] for d in done), "".join(d[1] for d in done)

    def insert(self, gops, ofmd_text):
        """gops: (first frame, count) of the base view. The new unit goes right after an SEI
        unit with a nested buffering period that comes before the GOP's first VCL unit, else
        right before that VCL unit."""
        reader, starts = OfmdReader(ofmd_text), dict(gops)
        out, log, picture = b"", "", False
        for u, t, frame in self.frames():
            picture = picture and t not in (9, 24)
            body, lines = self.edit(u, frame)
            bp = isinstance(u, Sei) and any(is_buffering_period(m) for m in u.messages)
            if frame in starts and not picture and (t in VCL or bp):
                new = ofmd_sei_unit(ofmd_payload(1, 0, reader.gop(frame, min(starts.pop(frame),
                                                                             255))))
                inserted = "%u\tINSERTED\n" % frame
                body, lines = (body + new, lines + inserted) if bp else \
                    (new + body, inserted + lines)
            picture = picture or t in VCL
            out, log = out + body, log + lines
        return out, log

    def write_outputs(self, outdir, prefix, gops, text):
        """The editor's expected outputs: extract, delete, replace and insert with their logs."""
        write(outdir, prefix + "extract.ofmd", self.extract())
        for name, (out, log) in (("delete", self.delete()), ("replace", self.replace(text)),
                                 ("insert", self.insert(gops, text))):
            write(outdir, prefix + name + ".out", out)
            write(outdir, prefix + name + ".log", log)


def two_views(gops, ofmd_sei=lambda frame: [], bp_at=(), dep_slices=1):
    """Base and dependent view access units per frame; ofmd_sei(frame) gives the dependent
    view's SEI units, after a nested buffering period in the frames of bp_at."""
    base, dep = [], []
    for first, count in gops:
        for f in range(count):
            sei = [buffering_period()] if first + f in bp_at else []
            base.append(base_au(f))
            dep.append(dep_au(f, sei + ofmd_sei(first + f), dep_slices))
    return base, dep


def edited_text(gops, nseq=3, scale=7):
    """An .ofmd file for the GOPs with new values (some out of range, frame 5 missing)."""
    return "; edited\n" + "".join(
        "%d: %s\n" % (n, ", ".join(str(n * (s + 1) * scale % 301 - 150) for s in range(nseq)))
        for first, count in gops for n in range(first, first + count) if n != 5)


def ofmd_text_in_range(gops, nseq):
    """Values within -127..127 for every frame, as extract writes them."""
    return "".join(ofmd_block(first, 0, offsets_for(first, count, nseq, scale=5))
                   for first, count in gops)


# ---------------------------------------------------------------------------------------
# Scenarios

def write(outdir, name, data):
    with open(os.path.join(outdir, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def scenario_interleaved(outdir):
    """in.mvc: an interleaved two-view ES, GOPs of 12, 12 and 8 frames; OFMD in every GOP's
    dependent view, in the nesting forms in turn; a nested buffering period before the OFMD
    SEI unit in the first GOP; a unit with two OFMD messages among others that are not OFMD;
    trailing zeros. The outputs for edited.ofmd, and short.replace.out for short.ofmd."""
    gops = [(0, 12), (12, 12), (24, 8)]
    seis = {
        0: [buffering_period(3),
            Sei([Ofmd(3, 900000, offsets_for(0, 12, 2)), Plain(5, UUID + b"MDPM\x00")],
                trailing_zeros=2)],
        12: [Sei([Plain(1, b"\x12\x34\x80"),
                  Ofmd(3, 2**32 + 5, offsets_for(12, 12, 2), outer=30, op_point=1,
                       temporal_id=2),
                  Ofmd(3, 7, offsets_for(12, 12, 2), outer=48, all_views=0, view_ids=(1, 2, 3)),
                  Nested(5, b"\x11" * 16 + b"GA94xx"), Nested(5, UUID + b"MDPM\x00")],
                 start=3)],
        24: [Sei([Ofmd(3, 0x1FFFFFFFF, offsets_for(24, 8, 2), op_point=1, view_ids=(1,))],
                 ref_idc=1, trailing_zeros=3)],
    }
    aus = []
    for first, count in gops:
        for f in range(count):
            aus += [base_au(f), dep_au(f, seis.get(first + f, []))]
    s = Stream(aus)
    write(outdir, "in.mvc", s.encode())
    text = edited_text(gops)
    write(outdir, "edited.ofmd", text)
    s.write_outputs(outdir, "", gops, text)
    # An .ofmd file that ends in the first GOP: every later frame reads as 0.
    write(outdir, "short.ofmd", "0: 1, 2\n")
    write(outdir, "short.replace.out", s.replace("0: 1, 2\n")[0])


def scenario_split(outdir):
    """Separate base (base.avc) and dependent (dep.mvc) files with three slices per dependent
    picture, and the same two views as a transport stream (two.ts: 0x1B and 0x20). The
    dependent view has an SEI unit with a nested buffering period before its slices in GOPs 0
    and 24, none in GOP 12; then one with OFMD and another nested message, and a plain one.
    The dep.* outputs for edited.ofmd."""
    gops = [(0, 12), (12, 12), (24, 6)]
    starts = dict(gops)

    def sei(n):
        ofmd = Ofmd(3, 90000 + 3750 * n, offsets_for(n, starts[n], 2))
        return [Sei([ofmd, Nested(5, UUID + b"MDPM\x00")]), Sei([Plain(1, b"\x12\x34\x80")])]
    base, dep = two_views(gops, lambda n: sei(n) if n in starts else [], bp_at=(0, 24),
                          dep_slices=3)
    write(outdir, "base.avc", Stream(base).encode())
    write(outdir, "dep.mvc", Stream(dep).encode())
    text = edited_text(gops, nseq=2, scale=3)
    write(outdir, "edited.ofmd", text)
    Stream(dep).write_outputs(outdir, "dep.", gops, text)
    import ts
    with open(os.path.join(outdir, "two.ts"), "wb") as out:
        m = ts.Muxer(out, 192)
        m.psi(ts.PAT_PID, ts.pat([(1, ts.PMT_PID)]))
        m.psi(ts.PMT_PID, ts.pmt(1, ts.VIDEO_PIDS[0], [(0x1B, ts.VIDEO_PIDS[0]),
                                                       (0x20, ts.VIDEO_PIDS[1])]))
        for i, (b, d) in enumerate(zip(base, dep)):
            m.pes(ts.VIDEO_PIDS[0], Stream([b]).encode(), 90000 + 3750 * i)
            m.pes(ts.VIDEO_PIDS[1], Stream([d]).encode(), 90000 + 3750 * i)
        m.flush()


def scenario_round_trips(outdir):
    """in.mvc: OFMD as the insert command writes it (type 37, plain nesting, frame_rate 1,
    PTS 0, nal_ref_idc 0, 4-byte start code), where it places it, with the values of in.ofmd;
    clean.mvc: the same without OFMD. worked.h264: an AVC stream with the unit of the worked
    example (unit.bin: frame_rate 3, PTS 900000, the sequences (3, 4, 0) and (-2, -1, 127))
    in access unit 24."""
    gops = [(0, 10), (10, 10), (20, 5)]
    text = ofmd_text_in_range(gops, nseq=3)
    base, dep = two_views(gops)
    clean = Stream(au for pair in zip(base, dep) for au in pair)
    write(outdir, "in.mvc", clean.insert(gops, text)[0])
    write(outdir, "in.ofmd", text)
    write(outdir, "clean.mvc", clean.encode())

    unit = ofmd_sei_unit(ofmd_payload(3, 900000, [[3, 4, 0], [-2, -1, 127]]))
    aus = [base_au(n % 12, avc_only=True) for n in range(30)]
    aus[24].insert(1, unit)
    write(outdir, "worked.h264", Stream(aus).encode())
    write(outdir, "unit.bin", unit)


def scenario_faults(outdir):
    """in.h264: messages that look like OFMD but cannot be read (a body ending after the
    nested payload type, a nested payload of only the UUID and "OFMD", an empty nested
    payload), a cut payload read with zeros, and their delete.*; bad.h264: the same with an SEI
    unit that cannot be parsed (its message runs past the unit) in access unit 5, and
    bad.delete.* with the units before it. long.h264: one GOP of 300 frames, and long.insert.*
    with long.ofmd."""
    shorts = [Plain(37, bytes.fromhex(h) + tail) for h, tail in
              (("4005", b""), ("400514", UUID + b"OFMD"), ("400500", b""))]
    aus = [base_au(f, avc_only=True) for f in range(8)]
    aus[1][1:1] = [Sei(shorts, trailing_zeros=1),
                   Sei([Ofmd(2, 1234, [[1, 2, 3, 4], [-1, -2, -3, -4]], cut=5)])]
    s = Stream(aus)
    write(outdir, "in.h264", s.encode())
    write(outdir, "extract.ofmd", s.extract())
    out, log = s.delete()
    write(outdir, "delete.out", out)
    write(outdir, "delete.log", log)
    aus[5].insert(1, nal(0, 6, sei_message(5, b"\x11" * 8, size=40) + b"\x80"))
    write(outdir, "bad.h264", Stream(aus).encode())
    out, log = Stream(aus[:5] + [aus[5][:1]]).delete()
    write(outdir, "bad.delete.out", out)
    write(outdir, "bad.delete.log", log)

    s = Stream(base_au(f, avc_only=True) for f in range(300))
    write(outdir, "long.h264", s.encode())
    text = "".join("%d: %d, %d\n" % (f, f % 100 - 50, 60 - f % 120) for f in range(300))
    write(outdir, "long.ofmd", text)
    out, log = s.insert([(0, 300)], text)
    write(outdir, "long.insert.out", out)
    write(outdir, "long.insert.log", log)


def scenario_gops(outdir):
    """open.h264: an IDR picture, then every 9th frame a non-IDR I picture (slice_type 2)
    followed in decode order by B pictures: GOPs start at the I pictures. no_intra.h264:
    delimiters and P slices only: no GOP."""
    aus = []
    for f in range(30):
        kind = (1, 3, 2) if f % 9 == 0 else (1, 2, 0) if f % 3 == 0 else (1, 0, 1)
        aus.append([nal(0, 9, b"\xf0")] + ([sps(), pps(), slice_unit(5, 3, 7, 0, 0, True)]
                                           if f == 0 else [slice_unit(*kind, 0, f)]))
    write(outdir, "open.h264", Stream(aus).encode())
    write(outdir, "no_intra.h264", Stream(base_au(f + 1, avc_only=True) for f in range(6))
          .encode())


def scenario_late_start(outdir):
    """in.mvc: an interleaved two-view recording cut before its first I picture: 8 frames of P
    pictures, then GOPs of 12 at frames 8 and 20, the second with a nested buffering period
    before its dependent slices. in.ofmd has lines for every frame; insert.out and insert.log
    are the insert of in.ofmd (one unit per GOP, none before the first), gops.ofmd what extract
    gives back from insert.out."""
    lead = [au for f in range(4, 12) for au in (base_au(f), dep_au(f))]
    gops = [(8, 12), (20, 12)]
    base, dep = two_views(gops, bp_at=(20,))
    s = Stream(lead + [au for pair in zip(base, dep) for au in pair])
    write(outdir, "in.mvc", s.encode())
    text = ofmd_text_in_range([(0, 8)] + gops, nseq=2)
    write(outdir, "in.ofmd", text)
    out, log = s.insert(gops, text)
    write(outdir, "insert.out", out)
    write(outdir, "insert.log", log)
    write(outdir, "gops.ofmd", ofmd_text_in_range(gops, nseq=2))


def scenario_lead_ofmd(outdir):
    """in.h264: an AVC stream whose first unit, before any delimiter, is an SEI unit with a
    3-frame OFMD payload (PTS 5, offsets -4, 5, 6), and another with 2 frames (PTS 9, offsets
    7, -8) in access unit 6; both as replace writes them."""
    aus = [base_au(n, avc_only=True) for n in range(12)]
    aus[0].insert(0, ofmd_sei_unit(ofmd_payload(3, 5, [[-4, 5, 6]])))
    aus[6].insert(1, ofmd_sei_unit(ofmd_payload(3, 9, [[7, -8]])))
    write(outdir, "in.h264", Stream(aus).encode())


def main(argv):
    scenarios = {k[9:]: v for k, v in globals().items() if k.startswith("scenario_")}
    if len(argv) != 3 or argv[1] not in scenarios:
        sys.stderr.write("usage: mvc.py {%s} OUTDIR\n" % ",".join(sorted(scenarios)))
        return 2
    os.makedirs(argv[2], exist_ok=True)
    scenarios[argv[1]](argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
