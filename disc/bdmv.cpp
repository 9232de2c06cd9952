#include "disc/bdmv.h"

#include "disc/framework/json_text.h"
#include "platform/safe_output.h"
#include "platform/win32_file.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace
{

// The type codes and their roots, in dispatch order (the same on both sides).
struct RootKind {
    const char* code;
    ser::RootBase& (*root)(CBDMV&);
};
const RootKind kRoots[] = {
    {"MPLS", [](CBDMV& b) -> ser::RootBase& { return b.m_mpls; }},
    {"HDMV", [](CBDMV& b) -> ser::RootBase& { return b.m_clpi; }},
    {"BDJO", [](CBDMV& b) -> ser::RootBase& { return b.m_bdjo; }},
    {"MOBJ", [](CBDMV& b) -> ser::RootBase& { return b.m_movieObject; }},
    {"INDX", [](CBDMV& b) -> ser::RootBase& { return b.m_index; }},
    {"BCLK", [](CBDMV& b) -> ser::RootBase& { return b.m_sound; }},
    {"BDID", [](CBDMV& b) -> ser::RootBase& { return b.m_bdid; }},
};

void ReportUnknownSignature(const char* code)
{
    fprintf(stderr, "Unknown signature \"%.4s\" !\n", code);
}

} // namespace

CBDMV::CBDMV() { Clear(); }

void CBDMV::Clear()
{
    memset(m_typeCode, 0, sizeof m_typeCode);
    for (const RootKind& kind : kRoots)
        kind.root(*this).Clear();
}

ser::RootBase* CBDMV::RootFor(const char* code)
{
    for (const RootKind& kind : kRoots)
        if (memcmp(code, kind.code, 4) == 0)
            return &kind.root(*this);
    return nullptr;
}

void CBDMV::PrepareSound()
{
    m_sound.m_directory        = m_directory;
    m_sound.m_writeSampleFiles = m_writeSampleFiles;
}

int CBDMV::Parse(CBitBuffer& bb)
{
    Clear();
    bb.ResetBudget();
    bb.ReadBytes(m_typeCode, 4);
    ser::RootBase* root = RootFor(m_typeCode);
    if (root) {
        if (root == &m_sound)
            PrepareSound();
        return root->Parse(bb);
    }
    fprintf(stderr, "failed signature match:\n");
    fprintf(stderr, "found    \"%.4s\"\n", m_typeCode);
    fprintf(stderr, "expected \"%.4s\"\n", kRoots[0].code);
    for (const RootKind& kind : kRoots)
        if (&kind != kRoots)
            fprintf(stderr, "      or \"%.4s\"\n", kind.code);
    return 1;
}

int CBDMV::Build(CBitBuffer& bb)
{
    bb.WriteBytes(m_typeCode, 4);
    ser::RootBase* root = RootFor(m_typeCode);
    if (!root) {
        ReportUnknownSignature(m_typeCode);
        return 1;
    }
    root->m_padding = m_padding;
    if (root == &m_sound)
        PrepareSound();
    return root->Build(bb);
}

int CBDMV::ReadJSON(JDoc& doc, JValue& parent)
{
    for (const RootKind& kind : kRoots) {
        JValue* member = GetJsonMember(kind.code, parent);
        if (member) {
            memcpy(m_typeCode, kind.code, 4);
            CIBDSerial* root = &kind.root(*this);
            if (root == &m_sound)
                PrepareSound();
            return root->ReadJSON(doc, *member);
        }
    }
    fprintf(stderr, "No valid signature was found!\n");
    return 1;
}

void CBDMV::WriteJSON(JWriter& w)
{
    ser::RootBase* root = RootFor(m_typeCode);
    if (!root)
        return;
    if (root == &m_sound)
        PrepareSound();
    w.Key(m_typeCode);
    w.StartObject();
    root->WriteJSON(w);
    w.EndObject();
}

void CBDMV::Print(int indent)
{
    ser::RootBase* root = RootFor(m_typeCode);
    if (root)
        root->Print(indent);
}

int CBDMV::CheckPadding()
{
    if (m_padding == 0)
        return 0;
    // Sections are the same size whatever the padding, so a build without it shows where the
    // padding goes, and how far it would push each section, before anything is allocated.
    std::vector<uint64_t> points;
    CBitBuffer dry;
    dry.m_padPoints        = &points;
    const uint32_t modulus = m_padding;
    m_padding              = 0;
    int r                  = Build(dry);
    m_padding              = modulus;
    if (r)
        return r;
    uint64_t shift = 0;
    for (uint64_t at : points) {
        if (at > 0xFFFFFFFFull)
            break; // too long even unpadded: the build says so
        uint64_t p = at + shift;
        uint64_t q = (p + modulus - 1) / modulus * modulus;
        if (q > 0xFFFFFFFFull) {
            fprintf(stderr,
                    "Padding %u would push a section beyond the 32-bit addresses of the file!\n",
                    modulus);
            return 1;
        }
        shift += q - p;
    }
    return 0;
}

int CBDMV::LoadBinary(const char* name)
{
    Clear();
    int r;
    {
        CBitBuffer bb;
        r = bb.LoadFile(name);
        if (r == 0)
            r = Parse(bb);
    }
    if (r)
        Clear();
    return r;
}

int CBDMV::SaveBinary(const char* name)
{
    int r = CheckPadding();
    if (r)
        return r;
    CBitBuffer bb;
    r = Build(bb);
    if (r)
        return r;
    return bb.SaveFile(name);
}

int CBDMV::LoadJson(const char* name)
{
    Clear();
    JDoc doc;
    doc.SetObject();
    bool useStdin = !name || !*name;
    FILE* f       = stdin;
    if (!useStdin) {
        FileHandle h = CreateFileForRead(name, nullptr);
        f            = h == kInvalidFileHandle ? nullptr : fdopen(h, "r");
        if (!f && h != kInvalidFileHandle)
            CloseFileHandle(h);
    }
    if (!f) {
        fprintf(stderr, "Failed to open %s\n", name);
        return 1;
    }
    // A document that does not parse stays an empty object and has no signature.
    ParseJsonStream(f, doc);
    bool readError = ferror(f) != 0;
    if (!useStdin)
        fclose(f);
    if (readError) {
        fprintf(stderr, "Failed to read %s\n", useStdin ? "" : name);
        return 1;
    }
    return ReadJSON(doc, doc);
}

int CBDMV::SaveJson(const char* name)
{
    // Checked before anything is written: standard output cannot take back what it was given.
    if (!RootFor(m_typeCode)) {
        ReportUnknownSignature(m_typeCode);
        return 1;
    }
    bool useStdout = !name || !*name;
    SafeOutput out;
    if (useStdout)
        out.OpenStandardOutput();
    else if (!out.Open(name)) {
        fprintf(stderr, "Failed to create %s\n", name);
        out.PrintReason(stderr);
        return 1;
    }
    if (!WriteJsonText(*this, out) || !out.Commit()) {
        fprintf(stderr, "Failed to write %s\n", useStdout ? "" : name);
        out.PrintReason(stderr);
        return 1;
    }
    return 0;
}
