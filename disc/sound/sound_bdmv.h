// sound.bdmv ("BCLK"): the sound index, the sample-data area and ExtensionData. The samples of
// each sound travel beside the JSON as RIFF WAVE files.
#pragma once

#include "disc/extension_kinds.h"
#include "disc/framework/root.h"
#include "disc/framework/serial.h"

#include <string>
#include <vector>

class CSoundAttributes : public ser::Described<CSoundAttributes>
{
  public:
    uint32_t channel_configuration = 0, sampling_frequency = 0, bits_per_sample = 0;
    uint32_t start = 0, length = 0; // of its samples in the sample-data area, in bytes
    std::string filename;           // its sample file, without directory

    // Writes the sound's samples, read at sampleStart (bits) + start, to its sample file.
    int WriteSampleFile(CBitBuffer& reader, uint64_t sampleStart, const std::string& directory);
    // Appends the samples of its sample file and sets start and length.
    int ReadSampleFile(CBitBuffer& writer, uint64_t sampleStart, const std::string& directory);

    template <class IO> void Fields(IO& io);
};

class CSoundIndex : public ser::Described<CSoundIndex, ser::Length<32>>
{
  public:
    static constexpr const char* kJsonName = "SoundIndex";
    // Building on would silently drop every sound.
    static constexpr const char* kMissingText = "Failed to read SoundIndex!\n";

    uint32_t reserved = 0, number_of_sounds = 0;
    std::vector<CSoundAttributes> m_sounds;

    template <class IO> void Fields(IO& io);

    int WriteSampleFiles(CBitBuffer& reader, uint64_t sampleStart, const std::string& directory);
    int ReadSampleFiles(CBitBuffer& writer, uint64_t sampleStart, const std::string& directory);
};

class CBCLK : public ser::Root<CBCLK>
{
  public:
    char version_number[4]               = {0, 0, 0, 0};
    uint32_t sample_data_start_address   = 0;
    uint32_t ExtensionData_start_address = 0;
    uint8_t reserved_header[24]          = {};
    CSoundIndex SoundIndex;
    CExtensionData ExtensionData{kExtensionBlocks};
    std::string m_directory;        // where the sample files are written and read
    bool m_writeSampleFiles = true; // off for programs that only print

    ser::Layout Layout();
};

// The descriptions are instantiated in sound_bdmv.cpp.
extern template class ser::Described<CSoundAttributes>;
extern template class ser::Described<CSoundIndex, ser::Length<32>>;
