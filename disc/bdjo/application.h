// The applications of a BD-J object file: the ApplicationManagementTable, its applications
// and their application descriptors.
#pragma once

#include "disc/framework/serial.h"

#include <cstdint>
#include <string>
#include <vector>

class CApplicationProfile : public ser::Described<CApplicationProfile>
{
  public:
    uint32_t application_profile = 0;
    uint32_t version_major       = 0;
    uint32_t version_minor       = 0;
    uint32_t version_micro       = 0;

    template <class IO> void Fields(IO& io);
};

class CApplicationName : public ser::Described<CApplicationName>
{
  public:
    char language_code[3] = {};
    std::string name; // any bytes, zero included

    template <class IO> void Fields(IO& io);
};

class CApplicationDescriptor : public ser::Described<CApplicationDescriptor>
{
  public:
    static constexpr const char* kJsonName = "application_descriptor";

    uint32_t descriptor_tag     = 0;
    uint32_t reserved01         = 0;
    uint32_t number_of_profiles = 0;
    std::vector<CApplicationProfile> application_profile;
    uint32_t application_priority = 0;
    uint32_t application_binding  = 0;
    uint32_t visibility           = 0;
    std::vector<CApplicationName> application_name;
    std::string application_icon_locator;
    uint32_t application_icon_flags = 0;
    std::string base_directory;
    std::string classpath_extension;
    std::string initial_class_name;
    std::vector<std::string> parameter;

    template <class IO> void Fields(IO& io);

  private:
    template <class IO> void Names(IO& io);
    template <class IO> void Parameters(IO& io);
};

class CApplicationIdentifier : public ser::Described<CApplicationIdentifier>
{
  public:
    static constexpr const char* kJsonName = "application_identifier";

    uint32_t xlet_organization_id = 0;
    uint32_t application_id       = 0;

    template <class IO> void Fields(IO& io);
};

// One application; its fields stand in the element object the array helpers give it.
class CApplicationItem : public ser::Described<CApplicationItem>
{
  public:
    uint32_t application_control_code = 0;
    uint32_t application_type         = 0;
    CApplicationIdentifier application_identifier;
    CApplicationDescriptor application_descriptor;

    template <class IO> void Fields(IO& io);
};

// In JSON the block is the bare array of applications.
class CApplicationManagementTable
    : public ser::Described<CApplicationManagementTable, ser::Length<32>>
{
  public:
    static constexpr const char* kBlockName = "ApplicationManagementTable";

    uint32_t number_of_applications = 0;
    std::vector<CApplicationItem> m_applications;

    template <class IO> void Fields(IO& io);
};

// The descriptions are instantiated in application.cpp.
extern template class ser::Described<CApplicationProfile>;
extern template class ser::Described<CApplicationName>;
extern template class ser::Described<CApplicationDescriptor>;
extern template class ser::Described<CApplicationIdentifier>;
extern template class ser::Described<CApplicationItem>;
extern template class ser::Described<CApplicationManagementTable, ser::Length<32>>;
