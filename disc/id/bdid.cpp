#include "disc/id/bdid.h"

#include "disc/framework/serial_io.h"

#include <cstring>

// ---- CBDIDData --------------------------------------------------------------------------

// The identifiers are hex texts in JSON, with the disc identifier also as characters (written
// only): zero bytes at both ends dropped, those inside kept.
template <class IO> void CBDIDData::Fields(IO& io)
{
    io.Bytes(Disc_Organization_ID, 4, "Disc_Organization_ID", true);
    io.Bytes(Disc_ID, 16, "Disc_ID", true);
    if constexpr (IO::kOp == ser::Op::kWriteJson) {
        size_t end = Disc_ID.size(), begin = 0;
        while (end > 1 && Disc_ID[end - 1] == 0)
            --end;
        while (begin < end && Disc_ID[begin] == 0)
            ++begin;
        std::string text(reinterpret_cast<const char*>(Disc_ID.data()) + begin, end - begin);
        io.String(text, "Disc_ID (as string)");
    }
    io.Bytes(reserved_block, 44, "reserved_block");
}

template class ser::Described<CBDIDData>;

// ---- CBDID ------------------------------------------------------------------------------

void CBDID::Clear()
{
    memset(version_number, 0, sizeof version_number);
    memset(reserved_header, 0, sizeof reserved_header);
    ID_Data.Clear();
}

int CBDID::Parse(CBitBuffer& bb)
{
    Clear();
    if (ParseVersion(bb, version_number))
        return 1;
    bb.ReadBytes(reserved_header, sizeof reserved_header);
    return ID_Data.Parse(bb);
}

int CBDID::Build(CBitBuffer& bb)
{
    BuildVersion(bb, version_number);
    bb.WriteBytes(reserved_header, sizeof reserved_header);
    return ID_Data.Build(bb);
}

int CBDID::ReadJSON(JDoc& doc, JValue& parent)
{
    Clear();
    if (ReadJsonVersion(parent, version_number))
        return 1;
    ReadJsonArea(parent, "reserved_header", reserved_header, sizeof reserved_header);
    return ID_Data.ReadJSON(doc, parent);
}

int CBDID::WriteJSON(JDoc& doc, JValue& parent)
{
    WriteJsonVersion(doc, parent, version_number);
    WriteJsonArea(doc, parent, "reserved_header", reserved_header, sizeof reserved_header);
    return ID_Data.WriteJSON(doc, parent);
}
