// The OFMD payload, read and written from one description.
#include "h264/syntax/ofmd.h"

#include "h264/syntax/disc_user_data.h"
#include "h264/syntax/syntax_io.h"

template <class RW> int OfmdPayload::Syntax(RW& rw)
{
    // Written as OFMD; read as whatever the payload holds.
    DiscUserDataHeader header(DiscUserData::kOfmd);
    if (header.Syntax(rw) != DiscUserData::kOfmd)
        return 1;
    return Fields(rw);
}

template <class RW> int OfmdPayload::Fields(RW& rw)
{
    rw.fixed(1, 1); // marker_bit
    rw.fixed(3, 0);
    rw.u(4, frame_rate);
    rw.fixed(5, 0);
    // The PTS in three parts, each followed by a marker bit.
    uint32_t pts32to30 = uint32_t(pts >> 30) & 7, pts29to15 = uint32_t(pts >> 15) & 0x7FFF,
             pts14to0 = uint32_t(pts) & 0x7FFF;
    rw.u(3, pts32to30);
    rw.fixed(1, 1);
    rw.u(15, pts29to15);
    rw.fixed(1, 1);
    rw.u(15, pts14to0);
    rw.fixed(1, 1);
    if constexpr (RW::kRead)
        pts = uint64_t(pts32to30) << 30 | uint64_t(pts29to15) << 15 | pts14to0;
    rw.fixed(1, 0);
    rw.u(6, number_of_offset_sequences);
    rw.u(8, number_of_displayed_frames_in_GOP);
    rw.fixed(1, 1);
    rw.fixed(15, 0);
    // At most 63 x 255 values of 8 bits each: the widths bound the matrix.
    uint64_t frames = number_of_displayed_frames_in_GOP;
    uint64_t count  = frames * number_of_offset_sequences;
    rw.size(plane_offset, count, 8 * count);
    for (size_t s = 0; s < number_of_offset_sequences; ++s)
        for (size_t f = 0; f < frames; ++f) // direction 1 for 0 too
            rw.sign_magnitude(7, plane_offset[f + s * frames], 1);
    return 0;
}

int OfmdPayload::Parse(H264BitReader& reader)
{
    *this = OfmdPayload();
    H264Read rw{reader};
    return Syntax(rw);
}

int OfmdPayload::ParseFields(H264BitReader& reader)
{
    *this = OfmdPayload();
    H264Read rw{reader};
    return Fields(rw);
}

int OfmdPayload::Write(H264BitWriter& writer)
{
    H264Write rw{writer};
    return Syntax(rw);
}
