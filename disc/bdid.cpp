#include "disc/bdid.h"

#include <cstdio>

// Not converted yet: the file kind is recognised but refused in one line.
static int NotSupported()
{
    fprintf(stderr, "id.bdmv files are not supported yet!\n");
    return 1;
}

void CBDID::Clear() {}
int CBDID::ReadJSON(JDoc&, JValue&) { return NotSupported(); }
int CBDID::Parse(CBitBuffer&) { return NotSupported(); }
int CBDID::WriteJSON(JDoc&, JValue&) { return NotSupported(); }
int CBDID::Build(CBitBuffer&) { return NotSupported(); }
