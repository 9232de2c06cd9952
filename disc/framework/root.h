// The frame of a disc file's root: after the type code its version_number, the start addresses
// of its sections and reserved header bytes, then the sections. Parse reads each section at its
// start address (none when it is 0) or in place after the header; Build writes the sections one
// after the other, padding after each to the padding modulus counted from the type code, and
// back-patches the addresses. JSON has the version_number, the reserved bytes and each section
// as its blocks describe.
#pragma once

#include "disc/framework/serial.h"

#include <cstdint>
#include <functional>
#include <vector>

class CExtensionData;
class CPlayList;

namespace ser
{

// A section of a root.
struct Section {
    CIBDSerial* block = nullptr;
    uint32_t* address = nullptr; // its start address in the header; nullptr: in place
    bool readInPlace  = false;   // read where the header ends, whatever its address
    // The ExtensionData section: parsed with the context, built only with entries unless
    // alwaysBuilt.
    CExtensionData* extension = nullptr;
    bool alwaysBuilt          = false;
    // A section that is no block (block nullptr): parse gets the address (0 included), build
    // writes it where the address was noted. Both get the file's start.
    std::function<int(CBitBuffer&, uint64_t fileStart, uint32_t address)> parse, build;
};

// A section in place after the header; at the start address the header holds; a block read in
// place whatever its address says (when that is not 0); the ExtensionData section.
Section InPlace(CIBDSerial& block);
Section At(CIBDSerial& block, uint32_t& address);
Section InPlaceAt(CIBDSerial& block, uint32_t& address);
Section Extension(CExtensionData& block, uint32_t& address, bool alwaysBuilt = false);

struct Layout {
    char* version; // the 4 characters of version_number
    std::vector<uint32_t*> addresses;
    uint8_t* reserved;
    size_t reservedSize;
    std::vector<Section> sections;
    const char* fileKind;         // names the file when a section lies beyond 32-bit addresses
    CPlayList* context = nullptr; // the playlist the ExtensionData blocks are parsed beside
    bool padded        = true;    // false: the padding modulus is not applied
};

void ClearRoot(const Layout& layout);
int ParseRoot(CBitBuffer& bb, const Layout& layout);
int BuildRoot(CBitBuffer& bb, const Layout& layout, uint32_t padding);
int ReadRoot(JDoc& doc, JValue& object, const Layout& layout);
void WriteRoot(JWriter& w, const Layout& layout);

// What the container sets in every root before Build.
class RootBase : public CIBDSerial
{
  public:
    uint32_t m_padding = 0; // section alignment in bytes, 0 for none
};

// The operations of a root whose Layout() describes it.
template <class T> class Root : public RootBase
{
  public:
    void Clear() override { ClearRoot(Self().Layout()); }
    int ReadJSON(JDoc& doc, JValue& object) override
    {
        Clear();
        return ReadRoot(doc, object, Self().Layout());
    }
    int Parse(CBitBuffer& bb) override
    {
        Clear();
        return ParseRoot(bb, Self().Layout());
    }
    void WriteJSON(JWriter& w) override { WriteRoot(w, Self().Layout()); }
    int Build(CBitBuffer& bb) override { return BuildRoot(bb, Self().Layout(), m_padding); }

  private:
    T& Self() { return static_cast<T&>(*this); }
};

// The 4-character version_number every root carries after its type code: "0100", "0200" or
// "0300"; a zeroed one is written as "0200".
int ParseVersion(CBitBuffer& reader, char version[4]);
int ReadJsonVersion(JValue& object, char version[4]);
void BuildVersion(CBitBuffer& writer, const char version[4]);
void WriteJsonVersion(JWriter& w, const char version[4]);

} // namespace ser
