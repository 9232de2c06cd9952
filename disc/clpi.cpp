#include "disc/clpi.h"

#include <cstdio>

// Not converted yet: the file kind is recognised but refused in one line.
static int NotSupported()
{
    fprintf(stderr, "Clip information files are not supported yet!\n");
    return 1;
}

void CCLPI::Clear() {}
int CCLPI::ReadJSON(JDoc&, JValue&) { return NotSupported(); }
int CCLPI::Parse(CBitBuffer&) { return NotSupported(); }
int CCLPI::WriteJSON(JDoc&, JValue&) { return NotSupported(); }
int CCLPI::Build(CBitBuffer&) { return NotSupported(); }
