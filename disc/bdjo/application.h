// The applications of a BD-J object file: the ApplicationManagementTable, its applications
// and their application descriptors.
#pragma once

#include "disc/framework/serial.h"

#include <cstdint>
#include <string>
#include <vector>

class CApplicationProfile : public CIBDSerial
{
  public:
    uint32_t application_profile = 0;
    uint32_t version_major       = 0;
    uint32_t version_minor       = 0;
    uint32_t version_micro       = 0;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};

class CApplicationName : public CIBDSerial
{
  public:
    char language_code[3] = {};
    std::string name; // any bytes, zero included

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};

class CApplicationDescriptor : public CIBDSerial
{
  public:
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

    CApplicationDescriptor() { m_jsonName = "application_descriptor"; }
    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& parent) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);

  private:
    template <class IO> void Names(IO& io);
    template <class IO> void Parameters(IO& io);
    // Where entries of the name and parameter areas may lie: inside the descriptor and the data.
    uint64_t EntryLimit(const CBitBuffer& bb, uint64_t areaEnd) const;
};

class CApplicationIdentifier : public CIBDSerial
{
  public:
    uint32_t xlet_organization_id = 0;
    uint32_t application_id       = 0;

    CApplicationIdentifier() { m_jsonName = "application_identifier"; }
    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& parent) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};

// One application; its fields stand in the element object the array helpers give it.
class CApplicationItem : public CIBDSerial
{
  public:
    uint32_t application_control_code = 0;
    uint32_t application_type         = 0;
    CApplicationIdentifier application_identifier;
    CApplicationDescriptor application_descriptor;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};

// In JSON the block is the bare array of applications.
class CApplicationManagementTable : public CIBDSerial
{
  public:
    uint32_t number_of_applications = 0;
    std::vector<CApplicationItem> m_applications;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& parent) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};
