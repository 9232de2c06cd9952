// The ExtensionData block shared by playlists, clip information, index.bdmv, MovieObject.bdmv and
// sound.bdmv: a table of entries, each naming its kind by an (ID1, ID2) pair and pointing at a
// data block. Which pairs it knows, and the block each selects, its owner hands in.
#pragma once

#include "disc/framework/serial.h"

#include <memory>
#include <vector>

class CPlayList;

// One kind of extension block: its pair, its JSON key (and a second key that also selects it)
// and how a block of the kind is made, new or as a copy of from. A kind with parseWith is parsed
// beside its playlist (the context), and kept raw without one.
struct ExtBlockKind {
    uint32_t ID1, ID2;
    const char* key;
    const char* altKey;
    CIBDSerial* (*make)(const CIBDSerial* from);
    int (*parseWith)(CIBDSerial& block, CBitBuffer& bb, CPlayList* context);
};

// Makes a block of class B for a kind table.
template <class B> CIBDSerial* MakeExtBlock(const CIBDSerial* from)
{
    return from ? new B(static_cast<const B&>(*from)) : new B();
}

class CExtDataEntry : public CIBDSerial
{
  public:
    uint32_t ID1                      = 0;
    uint32_t ID2                      = 0;
    uint32_t data_block_start_address = 0;
    uint32_t data_block_length        = 0;
    uint32_t m_unknownKind            = 0;
    std::vector<uint8_t> m_data; // the raw data block, kept for every entry

    // kinds: the table of known pairs, ended by a row without key.
    explicit CExtDataEntry(const ExtBlockKind* kinds = nullptr) : m_kinds(kinds) {}
    CExtDataEntry(const CExtDataEntry& other);
    CExtDataEntry& operator=(const CExtDataEntry& other);
    CExtDataEntry(CExtDataEntry&&)            = default;
    CExtDataEntry& operator=(CExtDataEntry&&) = default;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& entry) override;
    int Parse(CBitBuffer&) override { return 1; } // CExtensionData parses the blocks
    void WriteJSON(JWriter& w) override;
    int Build(CBitBuffer&) override { return 1; } // CExtensionData builds the blocks
    void Print(int indent) override;

    // The kind of its pair, or nullptr.
    const ExtBlockKind* Kind() const;
    // The block of its kind, made when first asked for; nullptr for a pair of unknown kind.
    CIBDSerial* Block();
    template <class B> B* BlockAs() { return dynamic_cast<B*>(Block()); }

  private:
    const ExtBlockKind* m_kinds;
    const ExtBlockKind* m_blockKind = nullptr; // the kind m_block was made for
    std::unique_ptr<CIBDSerial> m_block;
};

class CExtensionData : public CIBDSerial
{
  public:
    static constexpr const char* kJsonName = "ExtensionData";

    std::vector<CExtDataEntry> m_entries;

    explicit CExtensionData(const ExtBlockKind* kinds) : m_kinds(kinds) {}
    void Clear() override { m_entries.clear(); }
    int ReadJSON(JDoc& doc, JValue& parent) override;
    void WriteJSON(JWriter& w) override;
    int Build(CBitBuffer& bb) override;
    void Print(int indent) override;
    // The context is the playlist's PlayList for playlists, else nullptr.
    virtual int ParseWithContext(CBitBuffer& bb, CPlayList* context);

  private:
    const ExtBlockKind* m_kinds;
};
