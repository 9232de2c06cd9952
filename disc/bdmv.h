// CBDMV: one disc file of any kind, recognised by its type code or by its JSON member.
#pragma once

#include "disc/bdjo/bdjo.h"
#include "disc/clpi/clpi.h"
#include "disc/framework/serial.h"
#include "disc/id/bdid.h"
#include "disc/index/index_bdmv.h"
#include "disc/movie_object/movie_object.h"
#include "disc/mpls/mpls.h"
#include "disc/sound/sound_bdmv.h"

#include <string>

class CBDMV : public CIBDSerial
{
  public:
    char m_typeCode[5] = {0, 0, 0, 0, 0};
    CMPLS m_mpls;
    CCLPI m_clpi;
    CBDJO m_bdjo;
    CMovieObjectBDMV m_movieObject;
    CIndexBDMV m_index;
    CBCLK m_sound;
    CBDID m_bdid;
    uint32_t m_padding = 0;         // section alignment of the built file, 0 for none
    std::string m_directory;        // drive and directory for sound.bdmv sample files
    bool m_writeSampleFiles = true; // programs that only print turn this off

    CBDMV();

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int Parse(CBitBuffer& bb) override;
    // An unknown type code writes nothing.
    void WriteJSON(JWriter& w) override;
    int Build(CBitBuffer& bb) override;
    void Print(int indent) override;

    // Loads a disc file and parses it; cleared again when either fails.
    int LoadBinary(const char* name);
    // Builds the file and writes it; a padding modulus that would push a section beyond the
    // file's 32-bit addresses is refused before anything is built with it.
    int SaveBinary(const char* name);
    int CheckPadding();
    int LoadJson(const char* name);
    int SaveJson(const char* name);

  private:
    // The root of a type code, or nullptr.
    ser::RootBase* RootFor(const char* code);
    // Hands the container's sample-file settings to sound.bdmv before it converts.
    void PrepareSound();
};
