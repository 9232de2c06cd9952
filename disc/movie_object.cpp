#include "disc/movie_object.h"

#include <cstdio>

// Not converted yet: the file kind is recognised but refused in one line.
static int NotSupported()
{
    fprintf(stderr, "MovieObject.bdmv files are not supported yet!\n");
    return 1;
}

void CMovieObjectBDMV::Clear() {}
int CMovieObjectBDMV::ReadJSON(JDoc&, JValue&) { return NotSupported(); }
int CMovieObjectBDMV::Parse(CBitBuffer&) { return NotSupported(); }
int CMovieObjectBDMV::WriteJSON(JDoc&, JValue&) { return NotSupported(); }
int CMovieObjectBDMV::Build(CBitBuffer&) { return NotSupported(); }
