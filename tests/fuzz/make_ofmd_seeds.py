#!/usr/bin/env python3
"""Seeds for the OFMD fuzz targets: nesting bodies of the two-view generator's messages and
.ofmd texts. Usage: make_ofmd_seeds.py outdir"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "gen"))
import mvc  # noqa: E402

out = sys.argv[1]
msgs = [mvc.Ofmd(3, 900000, [[3, 4, 0], [-2, -1, 127]]),
        mvc.Ofmd(1, 2**32 + 5, mvc.offsets_for(0, 12, 3), op_point=1, view_ids=(0, 1)),
        mvc.Ofmd(2, 7, mvc.offsets_for(4, 6, 2), all_views=0, view_ids=(1, 2, 3)),
        mvc.Ofmd(2, 7, mvc.offsets_for(4, 6, 2), cut=4)]
for i, m in enumerate(msgs):
    with open(os.path.join(out, "body%d" % i), "wb") as f:
        f.write(m.body())
gops = [(0, 12), (12, 12), (24, 8)]
with open(os.path.join(out, "edited.ofmd"), "w") as f:
    f.write(mvc.edited_text(gops))
with open(os.path.join(out, "extract.ofmd"), "w") as f:
    f.write(mvc.ofmd_text_in_range(gops, 3))
