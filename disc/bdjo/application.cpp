#include "disc/bdjo/application.h"

#include "disc/bdjo/fields.h"
#include "disc/framework/text_fields.h"

#include <algorithm>
#include <cstdio>

// ---- CApplicationProfile --------------------------------------------------------------------

template <class IO> void CApplicationProfile::Fields(IO& io)
{
    io.U(16, FLD(application_profile));
    io.U(8, FLD(version_major));
    io.U(8, FLD(version_minor));
    io.U(8, FLD(version_micro));
    io.Zero(8);
}

BDMV_ELEMENT_OPERATIONS(CApplicationProfile)

// ---- CApplicationName -----------------------------------------------------------------------

template <class IO> void CApplicationName::Fields(IO& io)
{
    clpi::Text(io, language_code, sizeof language_code, "language_code");
    bdjo::EndIfMissing(io);
    bdjo::ByteString(io, name, "name", 8, false);
}

BDMV_ELEMENT_OPERATIONS(CApplicationName)

// ---- CApplicationDescriptor -----------------------------------------------------------------

template <class IO> void CApplicationDescriptor::Fields(IO& io)
{
    io.U(8, FLD(descriptor_tag));
    io.Zero(8);
    if constexpr (IO::kOp == ser::Op::kParse)
        ReadLength(io.bb, 32);
    else if constexpr (IO::kOp == ser::Op::kBuild)
        BeginSection(io.bb, 32);
    io.Opt(32, FLD(reserved01));
    io.Count(4, number_of_profiles, application_profile, "application_profile entries");
    io.Zero(12);
    if (IO::kOp != ser::Op::kWriteJson || !application_profile.empty())
        io.Items(number_of_profiles, application_profile, "application_profile",
                 ser::ListTexts{nullptr, nullptr, "Failed to read application_profile!\n"});
    io.U(8, FLD(application_priority));
    io.U(2, FLD(application_binding));
    io.U(2, FLD(visibility));
    io.Zero(4);
    Names(io);
    bdjo::ByteString(io, application_icon_locator, "application_icon_locator", 8, true);
    io.U(16, FLD(application_icon_flags));
    bdjo::ByteString(io, base_directory, "base_directory", 8, true);
    bdjo::ByteString(io, classpath_extension, "classpath_extension", 8, true);
    bdjo::ByteString(io, initial_class_name, "initial_class_name", 8, true);
    Parameters(io);
    if (!io.Ok())
        return;
    if constexpr (IO::kOp == ser::Op::kParse)
        SkipToBlockEnd(io.bb);
    else if constexpr (IO::kOp == ser::Op::kBuild)
        io.Note(EndSection(io.bb, 0, "application_descriptor"));
}

uint64_t CApplicationDescriptor::EntryLimit(const CBitBuffer& bb, uint64_t areaEnd) const
{
    return std::min<uint64_t>({areaEnd, m_lengthPos + 8ull * m_lengthRead, bb.SizeBits()});
}

// The names area: its size in bytes (16 bits), the names, and a zero byte after an odd size.
template <class IO> void CApplicationDescriptor::Names(IO& io)
{
    if (!io.Ok())
        return;
    if constexpr (IO::kOp == ser::Op::kParse) {
        CBitBuffer& bb         = io.bb;
        const uint32_t size    = bb.ReadBits(16);
        const uint64_t areaEnd = bb.m_cursor + 8ull * size;
        const uint64_t limit   = EntryLimit(bb, areaEnd);
        // Only whole entries inside the area, the descriptor and the data: a size that disagrees
        // with its entries cannot carry the loop on past them.
        while (bb.m_cursor + 32 <= limit) {
            const uint64_t at = bb.m_cursor;
            bb.SkipBits(24);
            const uint32_t n = bb.ReadBits(8);
            bb.m_cursor      = at;
            if (at + 8ull * (4 + n) > limit)
                break;
            if (!bb.TakeElement()) {
                io.Stop(1);
                return;
            }
            CApplicationName entry;
            entry.Parse(bb);
            application_name.push_back(std::move(entry));
        }
        bb.m_cursor = areaEnd;
        bdjo::PadToEven(io, 2 + uint64_t(size));
    } else if constexpr (IO::kOp == ser::Op::kBuild) {
        uint64_t size = 0;
        for (const CApplicationName& entry : application_name)
            size += 4 + entry.name.size();
        if (CheckListSize(size, 0xFFFF, "bytes in application_name list")) {
            io.Stop(1);
            return;
        }
        io.bb.WriteBits(16, uint32_t(size));
        io.Items(0, application_name, "application_name");
        bdjo::PadToEven(io, 2 + size);
    } else
        io.Items(0, application_name, "application_name",
                 ser::ListTexts{nullptr, nullptr, "Failed to read application_name!\n"});
}

// The parameters area: its size in bytes (8 bits), each parameter as a length byte and its
// bytes, and a zero byte after an even size.
template <class IO> void CApplicationDescriptor::Parameters(IO& io)
{
    if (!io.Ok())
        return;
    if constexpr (IO::kOp == ser::Op::kParse) {
        CBitBuffer& bb         = io.bb;
        const uint32_t size    = bb.ReadBits(8);
        const uint64_t areaEnd = bb.m_cursor + 8ull * size;
        const uint64_t limit   = EntryLimit(bb, areaEnd);
        while (bb.m_cursor + 8 <= limit) {
            const uint64_t at = bb.m_cursor;
            const uint32_t n  = bb.ReadBits(8);
            if (at + 8ull * (1 + n) > limit)
                break;
            if (!bb.TakeElement()) {
                io.Stop(1);
                return;
            }
            std::string p(n, '\0');
            bb.ReadBytes(p.data(), n);
            parameter.push_back(std::move(p));
        }
        bb.m_cursor = areaEnd;
        bdjo::PadToEven(io, 1 + uint64_t(size));
    } else if constexpr (IO::kOp == ser::Op::kBuild) {
        uint64_t size = 0;
        char what[48];
        for (size_t i = 0; i < parameter.size(); ++i) {
            snprintf(what, sizeof what, "bytes in parameter[%u]", unsigned(i));
            if (CheckListSize(parameter[i].size(), 0xFF, what)) {
                io.Stop(1);
                return;
            }
            size += 1 + parameter[i].size();
        }
        if (CheckListSize(size, 0xFF, "bytes in parameter list")) {
            io.Stop(1);
            return;
        }
        io.bb.WriteBits(8, uint32_t(size));
        for (const std::string& p : parameter) {
            io.bb.WriteBits(8, uint32_t(p.size()));
            io.bb.WriteBytes(p.data(), p.size());
        }
        bdjo::PadToEven(io, 1 + size);
    } else if constexpr (IO::kOp == ser::Op::kReadJson) {
        bdjo::ReadStrings(io, "parameter", parameter);
    } else {
        bdjo::WriteStrings(io, "parameter", parameter);
    }
}

BDMV_MEMBER_OPERATIONS(CApplicationDescriptor)

// ---- CApplicationIdentifier -----------------------------------------------------------------

template <class IO> void CApplicationIdentifier::Fields(IO& io)
{
    io.U(32, FLD(xlet_organization_id));
    io.U(16, FLD(application_id));
}

BDMV_MEMBER_OPERATIONS(CApplicationIdentifier)

// ---- CApplicationItem -----------------------------------------------------------------------

template <class IO> void CApplicationItem::Fields(IO& io)
{
    io.U(8, FLD(application_control_code));
    io.U(4, FLD(application_type));
    io.Zero(4);
    io.Child(application_identifier, ser::kStop,
             ser::ChildTexts{nullptr, nullptr, "Error parsing application_identifier!\n"});
    io.Child(application_descriptor, ser::kStop,
             ser::ChildTexts{nullptr, nullptr, "Error parsing application_descriptor!\n"});
}

BDMV_ELEMENT_OPERATIONS(CApplicationItem)

// ---- CApplicationManagementTable ------------------------------------------------------------

// In JSON only the list stands, as the owner's member "ApplicationManagementTable".
template <class IO> void CApplicationManagementTable::Fields(IO& io)
{
    io.Count(8, number_of_applications, m_applications, "ApplicationManagementTable entries");
    io.Zero(8);
    io.Items(number_of_applications, m_applications, "ApplicationManagementTable",
             ser::ListTexts{nullptr, nullptr, "Failed to read ApplicationManagementTable!\n"});
}

void CApplicationManagementTable::Clear() { ser::Reset(*this); }
int CApplicationManagementTable::Parse(CBitBuffer& bb) { return ser::ParseBlock(*this, bb, 32); }
int CApplicationManagementTable::Build(CBitBuffer& bb)
{
    return ser::BuildBlock(*this, bb, 32, 0, "ApplicationManagementTable");
}
int CApplicationManagementTable::ReadJSON(JDoc& d, JValue& p)
{
    return ser::ReadObject(*this, d, p, ser::kOptional, "");
}
int CApplicationManagementTable::WriteJSON(JDoc& d, JValue& p)
{
    return ser::WriteObject(*this, d, p, "");
}
