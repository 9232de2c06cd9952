// sound.bdmv ("BCLK"): the sound index, the sample-data area and ExtensionData. The samples of
// each sound travel beside the JSON as RIFF WAVE files.
#pragma once

#include "disc/framework/extension_data.h"
#include "disc/framework/serial.h"

#include <string>
#include <vector>

class CSoundAttributes : public CIBDSerial
{
  public:
    uint32_t channel_configuration = 0, sampling_frequency = 0, bits_per_sample = 0;
    uint32_t start = 0, length = 0; // of its samples in the sample-data area, in bytes
    std::string filename;           // its sample file, without directory

    void Clear() override; // keeps the file name
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

    // Writes the sound's samples, read at sampleStart (bits) + start, to its sample file.
    int WriteSampleFile(CBitBuffer& reader, uint64_t sampleStart, const std::string& directory);
    // Appends the samples of its sample file and sets start and length.
    int ReadSampleFile(CBitBuffer& writer, uint64_t sampleStart, const std::string& directory);

    template <class IO> void Fields(IO& io);
};

class CSoundIndex : public CIBDSerial
{
  public:
    uint32_t reserved = 0;
    std::vector<CSoundAttributes> m_sounds;

    CSoundIndex() { m_jsonName = "SoundIndex"; }
    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& parent) override;
    int Build(CBitBuffer& bb) override;

    int WriteSampleFiles(CBitBuffer& reader, uint64_t sampleStart, const std::string& directory);
    int ReadSampleFiles(CBitBuffer& writer, uint64_t sampleStart, const std::string& directory);
};

class CBCLK : public CIBDSerial
{
  public:
    char version_number[4]               = {0, 0, 0, 0};
    uint32_t sample_data_start_address   = 0;
    uint32_t ExtensionData_start_address = 0;
    uint8_t reserved_header[24]          = {};
    CSoundIndex SoundIndex;
    CExtensionData ExtensionData;
    std::string m_directory;        // where the sample files are written and read
    bool m_writeSampleFiles = true; // off for programs that only print

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& parent) override;
    int Build(CBitBuffer& bb) override;
};
