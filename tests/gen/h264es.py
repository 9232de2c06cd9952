#!/usr/bin/env python3
"""Builds H.264 elementary streams for the stream tests (Python 3 standard library only).

A stream is bytes in Annex B form; a unit is one NAL unit with its own start code. The module
splits streams into units and access units, builds SEI units (MDPM recording information as
camcorders store it, other user data), inserts them into access units, and helps make crafted
variants: start-code forms, trailing zeros, cut payloads, hostile parameter sets, huge units
and field-coded (PAFF) pictures.

    import h264es as g
    s = g.read("tests/data/h264/base.h264")
    mdpm = g.sei_unit([g.mdpm_message([(0x13, 0x12345678)])])
    out, where = g.insert_units(s, {0: [mdpm], 12: [mdpm]})
    g.write("out.h264", out)
"""

import random
import re

# The disc-video user-data UUID that MDPM (and OFMD) payloads begin with.
DISC_UUID = bytes.fromhex("17EE8C60F84D11D98CD60800200C9A66")
START4 = b"\x00\x00\x00\x01"
START3 = b"\x00\x00\x01"

VCL_TYPES = (1, 2, 3, 4, 5, 20, 21)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


# --- bits ---------------------------------------------------------------------------------


class BitWriter:
    """Most significant bit first, with the Exp-Golomb codes of ITU-T H.264 clause 9.1."""

    def __init__(self):
        self.bits = []

    def u(self, n, value):
        for i in range(n - 1, -1, -1):
            self.bits.append((value >> i) & 1)
        return self

    def ue(self, value):
        value += 1
        n = value.bit_length()
        return self.u(n - 1, 0).u(n, value)

    def se(self, value):
        return self.ue(2 * value - 1 if value > 0 else -2 * value)

    def trailing(self):
        """rbsp_trailing_bits(): a 1, then zeros to the byte boundary."""
        self.bits.append(1)
        while len(self.bits) % 8:
            self.bits.append(0)
        return self

    def align_zero(self):
        """Zero bits up to the byte boundary."""
        while len(self.bits) % 8:
            self.bits.append(0)
        return self

    def bytes(self):
        """The bits so far, the last byte padded with zeros."""
        bits = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(
            int("".join(map(str, bits[i : i + 8])), 2) for i in range(0, len(bits), 8)
        )


_NEEDS_ESCAPE = re.compile(b"\x00\x00(?=[\x00-\x03])")


def escape(rbsp):
    """Emulation prevention: 03 after every two zero bytes that 00 to 03 would follow."""
    return _NEEDS_ESCAPE.sub(b"\x00\x00\x03", rbsp)


# --- units --------------------------------------------------------------------------------


def split_units(data):
    """The units of a stream, each from its start code (00 00 01, or 00 00 00 01 when a zero
    precedes it) to the next; bytes before the first start code are dropped."""
    starts = []
    i = data.find(START3)
    while i >= 0:
        starts.append(i - 1 if i > 0 and data[i - 1] == 0 else i)
        i = data.find(START3, i + 3)
    starts.append(len(data))
    return [data[a:b] for a, b in zip(starts, starts[1:])]


def header_offset(unit):
    """Where the NAL unit header begins (after the start code)."""
    return unit.find(START3) + 3


def nal_type(unit):
    return unit[header_offset(unit)] & 0x1F


def first_mb_is_zero(unit):
    """first_mb_in_slice is ue(v): it is 0 exactly when its first bit is 1."""
    at = header_offset(unit) + 1 + (3 if nal_type(unit) in (20, 21) else 0)
    return at < len(unit) and unit[at] & 0x80 != 0


def access_units(units):
    """Groups the units of an AVC stream into access units (ITU-T H.264 clause 7.4.1.2.3):
    one begins at a delimiter, at the first SEI, SPS, PPS, SPS extension, prefix or subset SPS
    after a slice, and at a slice whose first_mb_in_slice is 0 that follows a slice. Each
    field of a field-coded frame is an access unit of its own."""
    groups = []
    last_vcl = False
    for unit_ in units:
        t = nal_type(unit_)
        if t == 9 or not groups:
            new = True
        elif t in (6, 7, 8, 13, 14, 15):
            new = last_vcl
        else:
            new = t in (1, 5) and last_vcl and first_mb_is_zero(unit_)
        if new:
            groups.append([])
        groups[-1].append(unit_)
        if t not in (10, 11, 12):
            last_vcl = t in VCL_TYPES
    return groups


def insert_units(data, at):
    """Inserts units into access units: at maps an access-unit index to the units to place
    before its first slice. Returns the new stream and, per index, the byte positions of the
    inserted units in it."""
    out = bytearray()
    where = {}
    for index, group in enumerate(access_units(split_units(data))):
        extra = at.get(index, [])
        placed = False
        for unit in group:
            if not placed and nal_type(unit) in VCL_TYPES:
                for e in extra:
                    where.setdefault(index, []).append(len(out))
                    out += e
                placed = True
            out += unit
        if not placed:
            for e in extra:
                where.setdefault(index, []).append(len(out))
                out += e
    return bytes(out), where


# --- SEI ------------------------------------------------------------------------------------


def _ff_coded(value):
    return b"\xff" * (value // 255) + bytes([value % 255])


def sei_message(payload_type, payload, size=None):
    """One sei_message(): type and size in the 0xFF-run coding, then the payload. A size other
    than the payload's length makes a cut or overlong message."""
    return _ff_coded(payload_type) + _ff_coded(len(payload) if size is None else size) + payload


def mdpm_payload(entries, count=None, uuid=DISC_UUID, indicator=b"MDPM"):
    """The MDPM user data: UUID, "MDPM", the count, then tag and 4-byte value pairs (most
    significant byte first). count may claim more entries than are given."""
    body = bytes([len(entries) if count is None else count])
    for tag, value in entries:
        body += bytes([tag]) + value.to_bytes(4, "big")
    return uuid + indicator + body


def mdpm_message(entries, count=None):
    """A user_data_unregistered message (payload type 5) carrying MDPM."""
    return sei_message(5, mdpm_payload(entries, count))


def sei_unit(messages, trailing_zeros=0):
    """An SEI NAL unit of the given (already framed) messages, with rbsp_trailing_bits and
    optionally trailing zero bytes after it."""
    return START4 + b"\x06" + escape(b"".join(messages) + b"\x80") + b"\x00" * trailing_zeros


def unit(nal_type_, rbsp, start_code=START4, nal_ref_idc=0):
    """Any NAL unit from its RBSP bytes."""
    return start_code + bytes([(nal_ref_idc << 5) | nal_type_]) + escape(rbsp)


# --- crafted variants ---------------------------------------------------------------------


def with_start_codes(units, pick):
    """The units again, each with the start code pick(index) gives (START3 or START4)."""
    out = bytearray()
    for i, u in enumerate(units):
        out += pick(i) + u[header_offset(u) :]
    return bytes(out)


def inflate(unit_, size, seed=1):
    """The unit grown to size bytes by random escaped bytes after its own (trailing zero bytes
    dropped), ending in 80: its header still parses, and no start code appears in what is
    added."""
    body = unit_.rstrip(b"\x00")
    if size <= len(body):
        return unit_
    extra = escape(random.Random(seed).randbytes(size - len(body)))
    return body + extra[: size - len(body) - 1] + b"\x80"


def filler_unit(size):
    """A filler-data unit (type 12) of size bytes: FF bytes and the trailing bits."""
    return START4 + b"\x0c" + b"\xff" * (size - 6) + b"\x80"


def sps_baseline(sps_id=0, profile_idc=66, poc_type=0, frame_mbs_only=1, height_map_units=8,
                 poc_cycle=0, vui=None):
    """The RBSP of a small SPS, 12 macroblocks wide, of a profile without chroma fields (66
    Baseline, 77 Main, 88 Extended). With poc_type 1 it ends after the (hostile) count of
    poc_cycle offsets, none of which follow."""
    w = BitWriter()
    w.u(8, profile_idc).u(8, 0).u(8, 30).ue(sps_id)
    w.ue(0).ue(poc_type)  # log2_max_frame_num_minus4
    if poc_type == 1:
        return w.u(1, 0).se(0).se(0).ue(poc_cycle).bytes()
    if poc_type == 0:
        w.ue(4)  # log2_max_pic_order_cnt_lsb_minus4
    w.ue(1).u(1, 0)  # max_num_ref_frames, gaps_in_frame_num_value_allowed_flag
    w.ue(11).ue(height_map_units - 1)
    w.u(1, frame_mbs_only)
    if not frame_mbs_only:
        w.u(1, 0)  # mb_adaptive_frame_field_flag: field pictures, no MBAFF
    w.u(1, 1).u(1, 0)  # direct_8x8_inference_flag, frame_cropping_flag
    w.u(1, vui is not None)
    if vui is not None:
        vui(w)
    return w.trailing().bytes()


def hostile_cpb_vui(cpb_cnt_minus1):
    """A VUI whose NAL HRD claims cpb_cnt_minus1 + 1 entries and then ends."""

    def vui(w):
        w.u(1, 0).u(1, 0).u(1, 0).u(1, 0).u(1, 0)  # aspect, overscan, video signal, chroma, timing
        w.u(1, 1)  # nal_hrd_parameters_present_flag
        w.ue(cpb_cnt_minus1)

    return vui


def pps_baseline(pps_id=0, sps_id=0):
    w = BitWriter()
    w.ue(pps_id).ue(sps_id).u(1, 0).u(1, 0)  # entropy_coding_mode, bottom_field_pic_order
    w.ue(0).ue(0).ue(0)  # num_slice_groups_minus1, num_ref_idx_l0/l1_default_active_minus1
    w.u(1, 0).u(2, 0).se(0).se(0).se(0)  # weighted pred/bipred, pic_init_qp/qs, chroma offset
    w.u(1, 0).u(1, 0).u(1, 0)  # deblocking control, constrained intra, redundant_pic_cnt
    return w.trailing().bytes()


def i_slice(idr, frame_num, poc_lsb, field=None):
    """The RBSP of an I slice header for the SPS and PPS above, then a little slice data.
    field: None for a frame, "top" or "bottom" for a field of a field-coded frame."""
    w = BitWriter()
    w.ue(0).ue(7).ue(0)  # first_mb_in_slice, slice_type (I, all slices), pic_parameter_set_id
    w.u(4, frame_num)
    if field is not None:
        w.u(1, 1).u(1, 1 if field == "bottom" else 0)
    if idr:
        w.ue(0)  # idr_pic_id
    w.u(8, poc_lsb)
    if idr:
        w.u(1, 0).u(1, 0)  # no_output_of_prior_pics_flag, long_term_reference_flag
    else:
        w.u(1, 0)  # adaptive_ref_pic_marking_mode_flag
    w.se(0)  # slice_qp_delta
    w.u(8, 0xA5).u(8, 0x5A)  # stand-in slice data
    return w.trailing().bytes()


def paff_stream(frames, aud=False):
    """A field-coded stream: SPS and PPS, then frames of two I fields each (top, bottom), the
    first an IDR; with aud, a delimiter opens every field. Every field is an access unit of
    its own."""
    sps = sps_baseline(profile_idc=77, frame_mbs_only=0, height_map_units=4)
    out = b""
    for f in range(frames):
        for parity in ("top", "bottom"):
            if aud:
                out += unit(9, bytes([0x10]))  # primary_pic_type 0, trailing bits
            idr = f == 0 and parity == "top"
            if idr:
                out += unit(7, sps, nal_ref_idc=3) + unit(8, pps_baseline(), nal_ref_idc=3)
            rbsp = i_slice(idr, f % 16, (2 * f + (parity == "bottom")) % 256, parity)
            out += unit(5 if idr else 1, rbsp, nal_ref_idc=3)
    return out


def planes444_stream(second_chroma_qp_index_offset=-4):
    """A High 4:4:4 picture with separate colour planes (SPS and PPS 1): an SPS with a
    scaling matrix, a PPS with transform_8x8_mode_flag and the 12 scaling lists of 4:4:4 (six
    of 16 and six of 64 entries, some left out, one ended early), then an IDR picture of one I
    slice per colour plane. An ordinary picture of SPS and PPS 0 comes first: readers that
    cannot decode separate planes (ffmpeg) take the stream's size from it."""

    def matrix(w, lists):
        for i in range(12):
            deltas = lists.get(i)
            w.u(1, deltas is not None)
            for d in deltas or []:
                w.se(d)

    def ramp(size, step):
        # Scales rising from 8 by step and falling back: every delta stays small.
        return [step if j < size // 2 else -step for j in range(size)]

    sps = BitWriter()
    sps.u(8, 244).u(8, 0).u(8, 31).ue(1)  # profile_idc, constraint flags, level_idc, id
    sps.ue(3).u(1, 1).ue(0).ue(0).u(1, 0)  # chroma 3, separate planes, bit depths, bypass
    sps.u(1, 1)  # seq_scaling_matrix_present_flag
    matrix(sps, {0: ramp(16, 1), 7: ramp(64, 1), 10: [-8]})
    sps.ue(0).ue(0).ue(4)  # log2_max_frame_num_minus4, poc type 0, lsb_minus4
    sps.ue(1).u(1, 0).ue(11).ue(7)  # refs, gaps, 12x8 macroblocks
    sps.u(1, 1).u(1, 1).u(1, 0).u(1, 0)  # frame_mbs_only, direct_8x8, cropping, vui
    pps = BitWriter()
    pps.ue(1).ue(1).u(1, 0).u(1, 0).ue(0).ue(0).ue(0)  # ids, CAVLC, no groups, ref counts
    pps.u(1, 0).u(2, 0).se(-2).se(1).se(3)  # weights, pic_init_qp/qs, chroma_qp_index_offset
    pps.u(1, 0).u(1, 0).u(1, 0)
    pps.u(1, 1).u(1, 1)  # transform_8x8_mode_flag, pic_scaling_matrix_present_flag
    lists = {i: ramp(16, i + 1) for i in (0, 1, 3, 5)}
    lists.update({i: ramp(64, i - 5) for i in (6, 8, 9, 11)})
    lists[2] = [4, -2, -10]  # nextScale 0 after three deltas
    matrix(pps, lists)
    pps.se(second_chroma_qp_index_offset)
    out = unit(7, sps_baseline(), nal_ref_idc=3) + unit(8, pps_baseline(), nal_ref_idc=3)
    out += unit(5, i_slice(True, 0, 0), nal_ref_idc=3)
    out += unit(7, sps.trailing().bytes(), nal_ref_idc=3)
    out += unit(8, pps.trailing().bytes(), nal_ref_idc=3)
    for plane in range(3):
        w = BitWriter()
        w.ue(0).ue(7).ue(1).u(2, plane)  # first_mb_in_slice, I, pps 1, colour_plane_id
        w.u(4, 0).ue(1).u(8, 0)  # frame_num, idr_pic_id, pic_order_cnt_lsb
        w.u(1, 0).u(1, 0).se(plane)  # marking flags, slice_qp_delta
        w.u(8, 0xA5).u(8, 0x5A)  # stand-in slice data
        out += unit(5, w.trailing().bytes(), nal_ref_idc=3)
    return out


# --- streams that begin inside a unit -------------------------------------------------------


def leading_unit(data):
    """The bytes before the first start code: a unit of their own for a reader that cuts at
    start codes when there are more than 3 (fewer are dropped), else None."""
    i = data.find(START3)
    end = len(data) if i < 0 else i - 1 if i > 0 and data[i - 1] == 0 else i
    return data[:end] if end > 3 else None


def read_nal_type(unit_):
    """nal_unit_type as a parser that reads the unit from its first byte finds it, whatever the
    bytes: emulation prevention removed, 3 bytes of start code and a 4th when those are zero,
    then the header. None without a unit or when it ends before its header."""
    rbsp = unit_.replace(b"\0\0\3", b"\0\0") if unit_ else b""
    at = 4 if rbsp[:3] == b"\0\0\0" else 3
    return rbsp[at] & 0x1F if at < len(rbsp) else None
