#include "disc/bdjo/application.h"

#include "disc/framework/serial_io.h"

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

template class ser::Described<CApplicationProfile>;

// ---- CApplicationName -----------------------------------------------------------------------

template <class IO> void CApplicationName::Fields(IO& io)
{
    io.Chars(language_code, sizeof language_code, "language_code",
             ser::kCutAtZero | ser::kEndIfMissing);
    io.ByteString(name, "name", 8, false, "bytes in name");
}

template class ser::Described<CApplicationName>;

// ---- CApplicationDescriptor -----------------------------------------------------------------

// Strings are a length byte and their bytes, padded to an even size; the name and parameter
// areas are preceded by their size in bytes, not by a count, and only whole entries inside the
// area, the descriptor and the data are taken, so a size that disagrees with its entries cannot
// carry the reading on past them.
template <class IO> void CApplicationDescriptor::Fields(IO& io)
{
    io.U(8, FLD(descriptor_tag));
    io.Zero(8);
    io.Sized(32, "application_descriptor", [&] {
        io.Opt(32, FLD(reserved01));
        io.Count(4, number_of_profiles, application_profile, "application_profile entries");
        io.Zero(12);
        io.Items(number_of_profiles, application_profile, "application_profile",
                 ser::ListTexts{nullptr, nullptr, "Failed to read application_profile!\n"},
                 ser::kOmitEmpty);
        io.U(8, FLD(application_priority));
        io.U(2, FLD(application_binding));
        io.U(2, FLD(visibility));
        io.Zero(4);
        Names(io);
        io.ByteString(application_icon_locator, "application_icon_locator", 8, true,
                      "bytes in application_icon_locator");
        io.U(16, FLD(application_icon_flags));
        io.ByteString(base_directory, "base_directory", 8, true, "bytes in base_directory");
        io.ByteString(classpath_extension, "classpath_extension", 8, true,
                      "bytes in classpath_extension");
        io.ByteString(initial_class_name, "initial_class_name", 8, true,
                      "bytes in initial_class_name");
        Parameters(io);
    });
}

// The names area: its size (16 bits), the names, and a zero byte after an odd size.
template <class IO> void CApplicationDescriptor::Names(IO& io)
{
    uint64_t size = 0;
    for (const CApplicationName& entry : application_name)
        size += 4 + entry.name.size();
    io.Refuse(size, 0xFFFF, "bytes in application_name list");
    io.Sized(
        16, "application_name list",
        [&] {
            io.Items(0, application_name, "application_name",
                     ser::ListTexts{nullptr, nullptr, "Failed to read application_name!\n"},
                     ser::kWhileFits);
        },
        0, true);
}

// The parameters area: its size (8 bits), each parameter as a length byte and its bytes, and a
// zero byte after an even size.
template <class IO> void CApplicationDescriptor::Parameters(IO& io)
{
    uint64_t size = 0;
    for (size_t i = 0; i < parameter.size() && IO::kOp == ser::Op::kBuild; ++i) {
        char what[48];
        snprintf(what, sizeof what, "bytes in parameter[%u]", unsigned(i));
        io.Refuse(parameter[i].size(), 0xFF, what);
        size += 1 + parameter[i].size();
    }
    io.Refuse(size, 0xFF, "bytes in parameter list");
    io.Sized(
        8, "parameter list",
        [&] {
            io.Each(
                0, parameter, [&](std::string& p) { io.ByteString(p, "parameter", 8, false); },
                ser::kWhileFits);
        },
        0, true);
    io.Strings(parameter, "parameter");
}

template class ser::Described<CApplicationDescriptor>;

// ---- CApplicationIdentifier -----------------------------------------------------------------

template <class IO> void CApplicationIdentifier::Fields(IO& io)
{
    io.U(32, FLD(xlet_organization_id));
    io.U(16, FLD(application_id));
}

template class ser::Described<CApplicationIdentifier>;

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

template class ser::Described<CApplicationItem>;

// ---- CApplicationManagementTable ------------------------------------------------------------

// In JSON only the list stands, as the owner's member "ApplicationManagementTable".
template <class IO> void CApplicationManagementTable::Fields(IO& io)
{
    io.Count(8, number_of_applications, m_applications, "ApplicationManagementTable entries");
    io.Zero(8);
    io.Items(number_of_applications, m_applications, "ApplicationManagementTable",
             ser::ListTexts{nullptr, nullptr, "Failed to read ApplicationManagementTable!\n"});
}

template class ser::Described<CApplicationManagementTable, ser::Length<32>>;
