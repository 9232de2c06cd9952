#include "disc/clpi/cpi.h"

#include "disc/framework/serial_io.h"

#include <algorithm>

// ---- CEP_coarse, CEP_fine -------------------------------------------------------------------

template <class IO> void CEP_coarse::Fields(IO& io)
{
    io.U(18, FLD(ref_to_EP_fine_id));
    io.U(14, FLD(PTS_EP_coarse));
    io.U(32, FLD(SPN_EP_coarse));
}

BDMV_ELEMENT_OPERATIONS(CEP_coarse)

template <class IO> void CEP_fine::Fields(IO& io)
{
    io.Bit(FLD(is_angle_change_point));
    io.U(3, FLD(I_end_position_offset));
    io.U(11, FLD(PTS_EP_fine));
    io.U(17, FLD(SPN_EP_fine));
}

BDMV_ELEMENT_OPERATIONS(CEP_fine)

// ---- CEP_map_for_one_stream_HDR -------------------------------------------------------------

template <class IO> void CEP_map_for_one_stream_HDR::Fields(IO& io)
{
    io.U(16, FLD(stream_PID));
    io.U(10, FLD(reserved01));
    io.U(4, FLD(EP_stream_type));
    io.U(16, FLD(number_of_EP_coarse_entries));
    io.U(18, FLD(number_of_EP_fine_entries));
    io.U(32, FLD(EP_map_for_one_stream_PID_start_address));
}

void CEP_map_for_one_stream_HDR::Clear() { ser::Reset(*this); }
int CEP_map_for_one_stream_HDR::ReadJSON(JDoc&, JValue&)
{
    Clear();
    return 0;
}
int CEP_map_for_one_stream_HDR::Parse(CBitBuffer& bb) { return ser::ParseFields(*this, bb); }
int CEP_map_for_one_stream_HDR::Build(CBitBuffer& bb) { return ser::BuildFields(*this, bb); }

// ---- CEP_map_for_one_stream_PID -------------------------------------------------------------

template <class IO> void CEP_map_for_one_stream_PID::Fields(IO& io)
{
    io.U(16, FLD(stream_PID));
    io.Opt(10, FLD(reserved01));
    io.Code(4, FLD(EP_stream_type), kEPStreamTypeNames, ParseEPStreamType);
    // Empty tables are left out of JSON.
    if (IO::kOp == ser::Op::kReadJson || !EP_coarse.empty())
        io.Items(0, EP_coarse, "EP_coarse",
                 ser::ListTexts{nullptr, nullptr, "Failed to read EP_coarse!\n",
                                "Failed to save EP_coarse!\n"});
    if (IO::kOp == ser::Op::kReadJson || !EP_fine.empty())
        io.Items(0, EP_fine, "EP_fine",
                 ser::ListTexts{nullptr, nullptr, "Failed to read EP_fine!\n",
                                "Failed to save EP_fine!\n"});
}

void CEP_map_for_one_stream_PID::Clear()
{
    EP_fine_table_start_address = 0;
    EP_coarse.clear();
    EP_fine.clear();
}

int CEP_map_for_one_stream_PID::ReadJSON(JDoc& d, JValue& o)
{
    return ser::ReadObject(*this, d, o, ser::kRequired, "");
}
int CEP_map_for_one_stream_PID::WriteJSON(JDoc& d, JValue& o)
{
    return ser::WriteObject(*this, d, o, "");
}

// The bytes a table of these counts takes: the fine table's address, then the entries.
static uint64_t TableBytes(uint64_t coarse, uint64_t fine) { return 4 + 8 * coarse + 4 * fine; }

int CEP_map_for_one_stream_PID::Parse(CBitBuffer& bb)
{
    Clear();
    // The counts come from the header: both tables must lie inside the CPI block and the file,
    // and must fit what the map has left, before anything is allocated for them.
    const uint64_t coarse     = number_of_EP_coarse_entries;
    const uint64_t fine       = number_of_EP_fine_entries;
    const uint64_t tableStart = bb.m_cursor;
    if (tableStart + 32 + 64 * coarse > m_limit || TableBytes(coarse, fine) > m_bytesLeft)
        return 1;
    EP_fine_table_start_address = bb.ReadBits(32);
    const uint64_t fineStart    = tableStart + 8ull * EP_fine_table_start_address;
    if (fineStart + 32 * fine > m_limit)
        return 1;

    EP_coarse.resize(size_t(coarse));
    for (CEP_coarse& entry : EP_coarse) {
        if (!bb.TakeElement())
            return 1;
        entry.Parse(bb);
    }
    bb.m_cursor = fineStart;
    EP_fine.resize(size_t(fine));
    for (CEP_fine& entry : EP_fine) {
        if (!bb.TakeElement())
            return 1;
        entry.Parse(bb);
    }
    return 0;
}

int CEP_map_for_one_stream_PID::Build(CBitBuffer& bb)
{
    const uint64_t tableStart = bb.m_cursor;
    bb.WriteBits(32, 0); // the fine table's address, patched below
    for (CEP_coarse& entry : EP_coarse) {
        int r = entry.Build(bb);
        if (r) {
            fprintf(stderr, "failed to save EP_coarse\n");
            return r;
        }
    }
    const uint64_t fineStart    = bb.m_cursor;
    EP_fine_table_start_address = uint32_t((fineStart - tableStart) / 8);
    bb.m_cursor                 = tableStart;
    bb.WriteBits(32, EP_fine_table_start_address);
    bb.m_cursor = fineStart;
    for (CEP_fine& entry : EP_fine) {
        int r = entry.Build(bb);
        if (r) {
            fprintf(stderr, "failed to save EP_fine\n");
            return r;
        }
    }
    return 0;
}

// ---- CEP_map --------------------------------------------------------------------------------

void CEP_map::Clear()
{
    reserved = number_of_stream_PID_entries = 0;
    EP_map_for_one_stream_PID.clear();
}

int CEP_map::Parse(CBitBuffer& bb)
{
    Clear();
    const uint64_t start         = bb.m_cursor;
    reserved                     = bb.ReadBits(8);
    number_of_stream_PID_entries = bb.ReadBits(8);
    for (uint32_t i = 0; i < number_of_stream_PID_entries; ++i) {
        if (!bb.TakeElement())
            return 1;
        CEP_map_for_one_stream_PID stream;
        stream.CEP_map_for_one_stream_HDR::Parse(bb);
        EP_map_for_one_stream_PID.push_back(std::move(stream));
    }
    // All tables together must fit the map's bytes, so streams that share one table cannot
    // multiply it.
    uint64_t bytesLeft = m_limit > start ? (m_limit - start) / 8 : 0;
    for (CEP_map_for_one_stream_PID& stream : EP_map_for_one_stream_PID) {
        bb.m_cursor        = start + 8ull * stream.EP_map_for_one_stream_PID_start_address;
        stream.m_limit     = m_limit;
        stream.m_bytesLeft = bytesLeft;
        int r              = stream.Parse(bb);
        if (r) {
            fprintf(stderr, "Failed to read EP_map_for_one_stream_PID!\n");
            return r;
        }
        bytesLeft -=
            TableBytes(stream.number_of_EP_coarse_entries, stream.number_of_EP_fine_entries);
    }
    return 0;
}

int CEP_map::Build(CBitBuffer& bb)
{
    const uint64_t start = bb.m_cursor;
    if (CheckListSize(EP_map_for_one_stream_PID.size(), 0xFF,
                      "EP_map_for_one_stream_PID entries")) {
        fprintf(stderr, "Failed to save EP_map!\n");
        return 1;
    }
    number_of_stream_PID_entries = uint32_t(EP_map_for_one_stream_PID.size());
    bb.WriteBits(8, reserved);
    bb.WriteBits(8, number_of_stream_PID_entries);
    // Header entries first with placeholder addresses, then the tables back to back, then the
    // header entries again with the tables' addresses.
    for (CEP_map_for_one_stream_PID& stream : EP_map_for_one_stream_PID) {
        if (CheckListSize(stream.EP_coarse.size(), 0xFFFF, "EP_coarse entries") ||
            CheckListSize(stream.EP_fine.size(), 0x3FFFF, "EP_fine entries")) {
            fprintf(stderr, "Failed to save EP_map!\n");
            return 1;
        }
        stream.number_of_EP_coarse_entries             = uint32_t(stream.EP_coarse.size());
        stream.number_of_EP_fine_entries               = uint32_t(stream.EP_fine.size());
        stream.EP_map_for_one_stream_PID_start_address = 0;
        stream.CEP_map_for_one_stream_HDR::Build(bb);
    }
    for (CEP_map_for_one_stream_PID& stream : EP_map_for_one_stream_PID) {
        uint64_t offset = (bb.m_cursor - start) / 8;
        if (offset > 0xFFFFFFFFull) {
            fprintf(stderr, "Failed to save EP_map!\n");
            return 1;
        }
        stream.EP_map_for_one_stream_PID_start_address = uint32_t(offset);
        int r                                          = stream.Build(bb);
        if (r) {
            fprintf(stderr, "Failed to save EP_map!\n");
            return r;
        }
    }
    const uint64_t end = bb.m_cursor;
    bb.m_cursor        = start + 16;
    for (CEP_map_for_one_stream_PID& stream : EP_map_for_one_stream_PID)
        stream.CEP_map_for_one_stream_HDR::Build(bb);
    bb.m_cursor = end;
    return 0;
}

int CEP_map::ReadJSON(JDoc& doc, JValue& cpi)
{
    Clear();
    JValue* streams = GetJsonMember("EP_map_for_one_stream_PID", cpi);
    if (!streams)
        return 0;
    int r = ReadJSONArray(doc, streams, EP_map_for_one_stream_PID);
    if (r)
        fprintf(stderr, "Failed to read EP_map_for_one_stream_PID!\n");
    return r;
}

int CEP_map::WriteJSON(JDoc& doc, JValue& cpi)
{
    if (EP_map_for_one_stream_PID.empty())
        return 0;
    JValue streams(rapidjson::kArrayType);
    int r = WriteJSONArray(doc, &streams, EP_map_for_one_stream_PID);
    if (r) {
        fprintf(stderr, "Failed to save EP_map_for_one_stream_PID!\n");
        return r;
    }
    cpi.AddMember("EP_map_for_one_stream_PID", streams, doc.GetAllocator());
    return 0;
}

// ---- CCPI -----------------------------------------------------------------------------------

template <class IO> void CCPI::Fields(IO& io)
{
    // A block of length 0 holds nothing; it is rebuilt with its fields and an empty map.
    if (IO::kOp == ser::Op::kParse && m_lengthRead == 0)
        return;
    io.U(12, FLD(reserved01), ser::kOptional);
    io.U(4, FLD(CPI_type));
    if constexpr (IO::kOp == ser::Op::kParse)
        EP_map.m_limit = std::min<uint64_t>(m_lengthPos + 8ull * m_lengthRead, io.bb.SizeBits());
    io.Child(EP_map, ser::kStop,
             ser::ChildTexts{"failed to read EP_map\n", nullptr, "Failed to read EP_map!\n",
                             "Failed to save EP_map!\n"});
}

void CCPI::Clear()
{
    reserved01 = CPI_type = 0;
    EP_map.Clear();
}
int CCPI::Parse(CBitBuffer& bb) { return ser::ParseBlock(*this, bb, 32); }
int CCPI::Build(CBitBuffer& bb) { return ser::BuildBlock(*this, bb, 32, 0); }
int CCPI::ReadJSON(JDoc& d, JValue& p) { return ser::ReadObject(*this, d, p, ser::kRequired); }
int CCPI::WriteJSON(JDoc& d, JValue& p) { return ser::WriteObject(*this, d, p); }
