#include "disc/mpls.h"

#include <cstdio>

// Not converted yet: the file kind is recognised but refused in one line.
static int NotSupported()
{
    fprintf(stderr, "Playlist files are not supported yet!\n");
    return 1;
}

void CMPLS::Clear() {}
int CMPLS::ReadJSON(JDoc&, JValue&) { return NotSupported(); }
int CMPLS::Parse(CBitBuffer&) { return NotSupported(); }
int CMPLS::WriteJSON(JDoc&, JValue&) { return NotSupported(); }
int CMPLS::Build(CBitBuffer&) { return NotSupported(); }
