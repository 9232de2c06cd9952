// Test-side writers for sound.bdmv files and RIFF WAVE files, independent of the code under
// test.
#pragma once

#include "tests/support/field_writer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sound_writer
{

using testing_support::FieldWriter;

struct Sound {
    uint32_t channels = 1, frequency = 1, bits = 1; // channel_configuration etc.
    uint32_t start = 0, length = 0;
};

// A sound.bdmv: header, SoundIndex, the sample area at sampleAddress (0: none) and an
// ExtensionData block at extAddress (0: none), each placed where the file says.
struct SoundFile {
    std::vector<Sound> sounds;
    uint32_t reserved = 0;
    std::vector<uint8_t> samples; // the sample-data area
    bool withSamples = true, withExt = true;
    size_t padding = 0; // section alignment in bytes, 0 for none
};

inline std::vector<uint8_t> SoundBdmv(const SoundFile& f)
{
    FieldWriter w;
    w.Text("BCLK0200").U32(0).U32(0).Zeros(24);
    w.Begin(32);
    if (!f.sounds.empty()) {
        w.U8(f.reserved).U8(f.sounds.size());
        for (const Sound& s : f.sounds)
            w.Fields({{4, s.channels}, {4, s.frequency}, {2, s.bits}, {6, 0}})
                .U32(s.start)
                .U32(s.length);
    }
    w.End();
    if (f.withSamples) {
        w.AlignTo(f.padding).Patch(64, 32, w.Size());
        w.Bytes(f.samples);
    }
    if (f.withExt) {
        w.AlignTo(f.padding).Patch(96, 32, w.Size());
        w.U32(0);
    }
    return w.AlignTo(f.padding).Data();
}

inline void LE16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

inline void LE32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

inline void Chunk(std::vector<uint8_t>& out, const std::string& id,
                  const std::vector<uint8_t>& body)
{
    out.insert(out.end(), id.begin(), id.end());
    LE32(out, uint32_t(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1)
        out.push_back(0);
}

inline std::vector<uint8_t> FmtBody(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits,
                                    size_t extra = 0)
{
    std::vector<uint8_t> b;
    LE16(b, tag);
    LE16(b, channels);
    LE32(b, rate);
    LE32(b, rate * channels * bits / 8);
    LE16(b, channels * bits / 8);
    LE16(b, bits);
    if (extra) {
        LE16(b, uint32_t(extra - 2));
        b.resize(b.size() + extra - 2, 0xEE);
    }
    return b;
}

// A WAVE file from its chunks (each already framed with Chunk).
inline std::vector<uint8_t> Riff(const std::vector<uint8_t>& chunks,
                                 const std::string& form = "WAVE")
{
    std::vector<uint8_t> body(form.begin(), form.end());
    body.insert(body.end(), chunks.begin(), chunks.end());
    std::vector<uint8_t> out;
    Chunk(out, "RIFF", body);
    return out;
}

// The WAVE file a sound's samples give: fmt, then data with the byte pairs exchanged.
inline std::vector<uint8_t> Wave(uint32_t channels, const std::vector<uint8_t>& bigEndian)
{
    std::vector<uint8_t> data = bigEndian;
    for (size_t i = 0; i + 1 < data.size(); i += 2)
        std::swap(data[i], data[i + 1]);
    std::vector<uint8_t> chunks;
    Chunk(chunks, "fmt ", FmtBody(1, channels, 48000, 16));
    Chunk(chunks, "data", data);
    return Riff(chunks);
}

} // namespace sound_writer
