// The disc-video user-data header, read and written from one description: every reader of
// GSMP, OFMD and MDPM payloads tells them apart through it.
#include "h264/syntax/disc_user_data.h"

#include "h264/syntax/syntax_io.h"

#include <cstring>

namespace
{

const uint8_t kDiscVideoUuid[16] = {0x17, 0xee, 0x8c, 0x60, 0xf8, 0x4d, 0x11, 0xd9,
                                    0x8c, 0xd6, 0x08, 0x00, 0x20, 0x0c, 0x9a, 0x66};

struct Indicator {
    DiscUserData kind;
    char text[4];
};
const Indicator kIndicators[] = {
    {DiscUserData::kGsmp, {'G', 'S', 'M', 'P'}},
    {DiscUserData::kOfmd, {'O', 'F', 'M', 'D'}},
    {DiscUserData::kMdpm, {'M', 'D', 'P', 'M'}},
};

} // namespace

DiscUserDataHeader::DiscUserDataHeader(DiscUserData kind)
{
    memcpy(uuid_iso_iec_11578, kDiscVideoUuid, sizeof kDiscVideoUuid);
    for (const Indicator& i : kIndicators)
        if (i.kind == kind)
            memcpy(type_indicator, i.text, sizeof i.text);
}

bool DiscUserDataHeader::IsDiscVideo() const
{
    return memcmp(uuid_iso_iec_11578, kDiscVideoUuid, sizeof kDiscVideoUuid) == 0;
}

DiscUserData DiscUserDataHeader::Kind() const
{
    if (!IsDiscVideo())
        return DiscUserData::kForeign;
    for (const Indicator& i : kIndicators)
        if (memcmp(type_indicator, i.text, sizeof i.text) == 0)
            return i.kind;
    return DiscUserData::kOther;
}

template <class RW> DiscUserData DiscUserDataHeader::Syntax(RW& rw)
{
    rw.bytes(uuid_iso_iec_11578, sizeof uuid_iso_iec_11578);
    if (IsDiscVideo())
        rw.bytes(type_indicator, sizeof type_indicator);
    return Kind();
}

template DiscUserData DiscUserDataHeader::Syntax(H264Read& rw);
template DiscUserData DiscUserDataHeader::Syntax(H264Write& rw);

DiscUserData DiscUserDataHeader::Parse(H264BitReader& reader)
{
    H264Read rw{reader};
    return Syntax(rw);
}
