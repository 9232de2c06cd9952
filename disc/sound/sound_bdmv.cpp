#include "disc/sound/sound_bdmv.h"

#include "disc/framework/serial_io.h"
#include "platform/riff_wave.h"

#include <cstdio>
#include <vector>

namespace
{

const size_t kPiece = 65536;

// Samples are 16-bit big-endian on the disc and little-endian in WAVE files.
void SwapPairs(uint8_t* data, size_t size)
{
    for (size_t i = 0; i + 1 < size; i += 2)
        std::swap(data[i], data[i + 1]);
}

std::string SamplePath(const std::string& directory, const std::string& name)
{
    // The separator is added even after a directory that ends with one; POSIX reads the
    // doubled slash as one.
    return directory.empty() ? name : directory + "/" + name;
}

// A sample-file name from JSON must name a file in the directory itself.
bool PlainFileName(const std::string& name)
{
    return name.find_first_of("/\\") == std::string::npos && name != "." && name != "..";
}

} // namespace

// ---- CSoundAttributes ------------------------------------------------------------------

template <class IO> void CSoundAttributes::Fields(IO& io)
{
    io.U(4, FLD(channel_configuration));
    io.U(4, FLD(sampling_frequency));
    io.U(2, FLD(bits_per_sample));
    io.Zero(6);
    // Where the samples lie comes from the sample files; JSON names the file instead.
    io.Hidden(32, FLD(start));
    io.Hidden(32, FLD(length));
    io.String(filename, "filename", ser::kOptional);
    if constexpr (IO::kOp == ser::Op::kReadJson)
        if (!filename.empty() &&
            (!PlainFileName(filename) || filename.find('\0') != std::string::npos))
            io.Fail("Improper sample file name %s!\n", filename.c_str());
}

template class ser::Described<CSoundAttributes>;

int CSoundAttributes::WriteSampleFile(CBitBuffer& reader, uint64_t sampleStart,
                                      const std::string& directory)
{
    if (filename.empty())
        return 0;
    // Samples past the end of the file would be written as invented zeros, up to 4 GiB of them.
    uint64_t from = sampleStart + 8ull * start;
    if (from + 8ull * length > reader.SizeBits()) {
        fprintf(stderr, "Samples of %s lie outside the file!\n", filename.c_str());
        return 1;
    }
    CWaveWriter wave;
    if (!wave.Create(SamplePath(directory, filename))) {
        fprintf(stderr, "Cannot create file %s!\n", filename.c_str());
        wave.PrintReason(stderr);
        return 1;
    }
    WaveFormat format;
    format.formatTag      = 1;
    format.channels       = channel_configuration == 3 ? 2 : 1;
    format.samplesPerSec  = 48000;
    format.blockAlign     = uint16_t(format.channels * 16 / 8);
    format.avgBytesPerSec = format.blockAlign * 48000u;
    format.bitsPerSample  = 16;
    bool ok               = wave.Begin(format);
    reader.m_cursor       = from;
    std::vector<uint8_t> piece(kPiece);
    for (uint32_t left = length; ok && left > 0;) {
        size_t n = left < kPiece ? left : kPiece;
        reader.ReadBytes(piece.data(), n);
        SwapPairs(piece.data(), n);
        ok = wave.Write(piece.data(), n);
        left -= uint32_t(n);
    }
    ok = wave.Finish() && ok;
    if (!ok) {
        fprintf(stderr, "Cannot write file %s!\n", filename.c_str());
        wave.PrintReason(stderr);
        return 1;
    }
    return 0;
}

int CSoundAttributes::ReadSampleFile(CBitBuffer& writer, uint64_t sampleStart,
                                     const std::string& directory)
{
    if (filename.empty())
        return 0;
    if (!PlainFileName(filename)) {
        fprintf(stderr, "Improper sample file name %s!\n", filename.c_str());
        return 1;
    }
    CWaveReader wave;
    const std::string path = SamplePath(directory, filename);
    if (!wave.Open(path)) {
        fprintf(stderr, "Cannot open file %s!\n", path.c_str());
        return 1;
    }
    WaveFormat f;
    if (!wave.ReadFormat(f)) {
        fprintf(stderr, "Cannot read wave file %s!\n", filename.c_str());
        return 1;
    }
    if (f.formatTag != 1) {
        fprintf(stderr, "Improper wave file format!\n");
        return 1;
    }
    if (!((f.channels == 2 && channel_configuration == 3) ||
          (f.channels == 1 && channel_configuration == 1))) {
        fprintf(stderr, "Improper wave file format - only mono or stereo is supported!\n");
        return 1;
    }
    if (f.samplesPerSec != 48000 || sampling_frequency != 1) {
        fprintf(stderr, "Improper wave file format - only 48kHz is supported!\n");
        return 1;
    }
    if (f.bitsPerSample != 16 || bits_per_sample != 1) {
        fprintf(stderr, "Improper wave file format - only 16-bit is supported!\n");
        return 1;
    }
    if (!wave.FindData()) {
        fprintf(stderr, "Cannot read wave file %s!\n", filename.c_str());
        return 1;
    }
    // Sample files of several GiB would push a start beyond its 32 bits.
    if (SectionAddress(writer, sampleStart, start, "sound.bdmv"))
        return 1;
    uint64_t total = 0;
    std::vector<uint8_t> piece(kPiece);
    for (;;) {
        long n = wave.Read(piece.data(), piece.size());
        if (n < 0) {
            fprintf(stderr, "Cannot read wave file %s!\n", filename.c_str());
            return 1;
        }
        if (n == 0)
            break;
        SwapPairs(piece.data(), size_t(n));
        writer.WriteBytes(piece.data(), size_t(n));
        total += uint64_t(n);
    }
    length = uint32_t(total);
    while (((writer.m_cursor - sampleStart) / 8) % 4 != 0)
        writer.WriteBits(8, 0);
    return 0;
}

// ---- CSoundIndex ------------------------------------------------------------------------

// A block without sounds is empty in the file, without even the reserved byte; JSON always
// has both. Parse names each sound's sample file by its index.
template <class IO> void CSoundIndex::Fields(IO& io)
{
    if (io.BlockIsEmpty() || (IO::kOp == ser::Op::kBuild && m_sounds.empty()))
        return;
    io.U(8, FLD(reserved), ser::kOptional);
    io.Count(8, number_of_sounds, m_sounds, "sounds");
    io.Items(number_of_sounds, m_sounds, "sound_attributes",
             ser::ListTexts{nullptr, "Error saving sound_attributes[%u]!\n",
                            "Failed to read sound_attributes!\n"});
    if constexpr (IO::kOp == ser::Op::kParse)
        for (size_t i = 0; i < m_sounds.size(); ++i) {
            char name[32];
            snprintf(name, sizeof name, "sound_%03u%s", unsigned(i), ".wav");
            m_sounds[i].filename = name;
        }
}

template class ser::Described<CSoundIndex, ser::Length<32>>;

int CSoundIndex::WriteSampleFiles(CBitBuffer& reader, uint64_t sampleStart,
                                  const std::string& directory)
{
    for (CSoundAttributes& s : m_sounds) {
        int r = s.WriteSampleFile(reader, sampleStart, directory);
        if (r)
            return r;
    }
    return 0;
}

int CSoundIndex::ReadSampleFiles(CBitBuffer& writer, uint64_t sampleStart,
                                 const std::string& directory)
{
    for (CSoundAttributes& s : m_sounds) {
        int r = s.ReadSampleFile(writer, sampleStart, directory);
        if (r)
            return r;
    }
    return 0;
}

// ---- CBCLK ------------------------------------------------------------------------------

// The sample data is a section of the root's own, between the index and ExtensionData: parsing
// writes a sample file per sound, building reads them back, and the index is built again with
// where each sound's samples now lie. ExtensionData is always written.
ser::Layout CBCLK::Layout()
{
    ser::Section samples;
    samples.address = &sample_data_start_address;
    samples.parse   = [this](CBitBuffer& bb, uint64_t fileStart, uint32_t address) {
        if (address == 0) {
            // No sample data: no files, and no names that a later build would look for.
            for (CSoundAttributes& s : SoundIndex.m_sounds)
                s.filename.clear();
            return 0;
        }
        return m_writeSampleFiles
                     ? SoundIndex.WriteSampleFiles(bb, fileStart + 8ull * address, m_directory)
                     : 0;
    };
    samples.build = [this](CBitBuffer& bb, uint64_t fileStart, uint32_t) {
        int r = SoundIndex.ReadSampleFiles(bb, bb.m_cursor, m_directory);
        if (r)
            return r;
        const uint64_t end = bb.m_cursor;
        bb.m_cursor        = fileStart + 8 * 40; // the index, after the header
        r                  = SoundIndex.Build(bb);
        bb.m_cursor        = end;
        return r;
    };
    return {version_number,
            {&sample_data_start_address, &ExtensionData_start_address},
            reserved_header,
            sizeof reserved_header,
            {ser::InPlace(SoundIndex), samples,
             ser::Extension(ExtensionData, ExtensionData_start_address, true)},
            "sound.bdmv"};
}
