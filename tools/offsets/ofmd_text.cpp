// Writing .ofmd blocks and reading frame lines back.
#include "tools/offsets/ofmd_text.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdlib>

int WriteOfmdGop(FILE* out, uint32_t firstFrame, uint64_t pts, uint32_t sequences, uint32_t frames,
                 const std::vector<int32_t>& offsets)
{
    bool ok = fprintf(out, ";PTS: %" PRIu64 "\n", pts) >= 0;
    ok      = fprintf(out, ";frames in GOP: %u\n", frames) >= 0 && ok;
    for (uint32_t f = 0; f < frames && ok; ++f) {
        ok = fprintf(out, "%6u: ", firstFrame + f) >= 0;
        for (uint32_t s = 0; s < sequences && ok; ++s) {
            size_t at = size_t(f) + size_t(s) * frames;
            ok = fprintf(out, s ? ", %4d" : "%4d", at < offsets.size() ? offsets[at] : 0) >= 0;
        }
        ok = ok && fputs("\n", out) >= 0;
    }
    return ok ? 0 : -1;
}

namespace
{

// Lines are read in pieces of this size: a longer line goes on as the next piece.
constexpr int kLinePiece = 500;

// isspace of the "C" locale, without a call per character.
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A base-10 integer at p, saturated to [lo, hi]; end is p when there is none.
int64_t ReadInteger(const char* p, const char** end, int64_t lo, int64_t hi)
{
    char* e     = nullptr;
    long long v = strtoll(p, &e, 10);
    *end        = e;
    return std::clamp<int64_t>(v, lo, hi);
}

const char* SkipSeparators(const char* p)
{
    while (IsSpace(*p) || *p == ',' || *p == ';')
        ++p;
    return p;
}

} // namespace

int COfmdReader::ReadOfmdLine(uint32_t& frame, std::vector<int32_t>& values, bool freeMode)
{
    std::fill(values.begin(), values.end(), 0);
    if (!m_in || m_ended)
        return m_failed ? -1 : 1;
    char line[kLinePiece];
    for (;;) {
        if (!fgets(line, sizeof line, m_in)) {
            // Once the file has ended it stays ended: a GOP that wants more lines gets zeros.
            m_ended  = true;
            m_failed = ferror(m_in) != 0;
            return m_failed ? -1 : 1;
        }
        const char* p = line;
        while (IsSpace(*p))
            ++p;
        if (!IsDigit(*p))
            continue; // empty, a comment, or not a frame line
        frame = uint32_t(ReadInteger(p, &p, 0, UINT32_MAX));
        while (IsSpace(*p) || *p == ':')
            ++p;
        if (freeMode) {
            values.clear();
            while (values.size() < 32) {
                const char* end;
                int32_t v = int32_t(ReadInteger(p, &end, INT32_MIN, INT32_MAX));
                if (end == p)
                    break;
                values.push_back(v);
                p = SkipSeparators(end);
            }
        } else {
            for (auto& v : values) {
                const char* end;
                v = int32_t(ReadInteger(p, &end, INT32_MIN, INT32_MAX));
                p = SkipSeparators(end);
            }
        }
        return 0;
    }
}

void COfmdReader::ReadGopOffsets(uint32_t first, uint32_t count, uint32_t& sequences,
                                 uint32_t& frames, std::vector<int32_t>& offsets)
{
    while (m_frame < first && ReadOfmdLine(m_frame, m_values, false) == 0) {
    }
    sequences = uint32_t(m_values.size());
    frames    = count;
    offsets.assign(size_t(count) * sequences, 0);
    for (uint32_t i = 0; i < count; ++i) {
        // 32 bits: a block that begins before the first frame is numbered 4294967295, 0, ...
        if (first + i != m_frame)
            continue;
        for (uint32_t s = 0; s < sequences; ++s) {
            int32_t v = m_values[s];
            int32_t w = std::clamp(v, -127, 127);
            if (w != v && !m_clampReported && !m_clampPending) {
                m_clampPending = true;
                m_clampValue   = v;
                m_clampFrame   = m_frame;
                m_clampWritten = w;
            }
            offsets[i + size_t(s) * count] = w;
        }
        ReadOfmdLine(m_frame, m_values, false);
    }
}
