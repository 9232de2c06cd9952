// Arbitrary bytes as an H.264 byte stream: every unit through one parse context; SEI units and
// parameter sets that parse are written back, parsed again and written again, which must give
// the same messages and the same bytes.
#include "h264/syntax/nal_parser.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{

std::vector<uint8_t> Bytes(const H264BitWriter& w) { return {w.Data(), w.Data() + w.Size()}; }

int ParseUnit(H264NalParser& p, const std::vector<uint8_t>& unit, H264BitReader& r)
{
    return p.ParseNalUnit(r, unit.data(), unit.size());
}

void Check(bool ok)
{
    if (!ok)
        abort();
}

// An SEI unit rebuilt as the plane-offset editor does it, then read back.
void SeiRoundTrip(H264NalParser& p, H264BitReader& rest)
{
    if (p.m_seiMessages.empty()) // written as nothing at all
        return;
    H264BitWriter w;
    Check(p.WriteNalUnit(w) == 0);
    CopyRemainingBits(rest, w);
    InsertEmulationPrevention(w);
    std::vector<uint8_t> rebuilt = Bytes(w);
    H264NalParser q;
    H264BitReader r;
    Check(ParseUnit(q, rebuilt, r) == 0);
    Check(q.m_seiMessages.size() == p.m_seiMessages.size());
    for (size_t i = 0; i < q.m_seiMessages.size(); ++i) {
        Check(q.m_seiMessages[i].payloadType == p.m_seiMessages[i].payloadType);
        Check(q.m_seiMessages[i].payloadData == p.m_seiMessages[i].payloadData);
        Check(q.m_seiMessages[i].nestedPayloadType == p.m_seiMessages[i].nestedPayloadType);
    }
}

// A parameter set written, read back in a copy of the context, and written again.
void ParameterSetRoundTrip(H264NalParser& p)
{
    H264BitWriter first;
    if (p.WriteNalUnit(first) != 0)
        return;
    InsertEmulationPrevention(first);
    std::vector<uint8_t> unit = Bytes(first);
    H264NalParser q           = p;
    H264BitReader r;
    Check(ParseUnit(q, unit, r) == 0);
    H264BitWriter second;
    Check(q.WriteNalUnit(second) == 0);
    InsertEmulationPrevention(second);
    Check(Bytes(second) == unit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Units from start code to start code; bytes before the first one get a start code too.
    std::vector<size_t> starts{0};
    for (size_t i = 1; i + 2 < size; ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1)
            starts.push_back(i);
    starts.push_back(size);
    H264NalParser p;
    std::vector<uint8_t> unit;
    for (size_t k = 0; k + 1 < starts.size(); ++k) {
        unit.assign(data + starts[k], data + starts[k + 1]);
        if (unit.size() < 3 || unit[0] != 0 || unit[1] != 0 || unit[2] != 1)
            unit.insert(unit.begin(), {0, 0, 0, 1});
        H264BitReader r;
        int result = ParseUnit(p, unit, r);
        if (result != 0)
            continue;
        uint32_t type = p.m_nalHeader.nal_unit_type;
        if (type == 6)
            SeiRoundTrip(p, r);
        else if (type == 7 || type == 8 || type == 13 || type == 15)
            ParameterSetRoundTrip(p);
    }
    return 0;
}
