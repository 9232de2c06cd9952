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

ser::Layout CBDID::Layout()
{
    ser::Layout layout{version_number,          {},       reserved_header, sizeof reserved_header,
                       {ser::InPlace(ID_Data)}, "id.bdmv"};
    layout.padded = false;
    return layout;
}
