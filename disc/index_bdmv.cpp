#include "disc/index_bdmv.h"

#include <cstdio>

// Not converted yet: the file kind is recognised but refused in one line.
static int NotSupported()
{
    fprintf(stderr, "index.bdmv files are not supported yet!\n");
    return 1;
}

void CIndexBDMV::Clear() {}
int CIndexBDMV::ReadJSON(JDoc&, JValue&) { return NotSupported(); }
int CIndexBDMV::Parse(CBitBuffer&) { return NotSupported(); }
int CIndexBDMV::WriteJSON(JDoc&, JValue&) { return NotSupported(); }
int CIndexBDMV::Build(CBitBuffer&) { return NotSupported(); }
