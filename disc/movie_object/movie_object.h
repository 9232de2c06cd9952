// MovieObject.bdmv files ("MOBJ"): the movie objects and their navigation commands.
#pragma once

#include "disc/extension_kinds.h"
#include "disc/framework/root.h"
#include "disc/framework/serial.h"
#include "disc/movie_object/nav_command.h"

#include <cstdint>
#include <vector>

class CMovieObject : public ser::Described<CMovieObject>
{
  public:
    uint32_t resume_intention_flag         = 0;
    uint32_t menu_call_mask                = 0;
    uint32_t title_search_mask             = 0;
    uint32_t reserved01                    = 0;
    uint32_t number_of_navigation_commands = 0;
    std::vector<CNavigationCommand> m_commands;

    template <class IO> void Fields(IO& io);
};

// In JSON the block is the array of movie objects itself.
class CMovieObjects : public ser::Described<CMovieObjects, ser::Length<32>>
{
  public:
    static constexpr const char* kBlockName = "MovieObjects";

    uint32_t reserved        = 0; // kept from Parse to Build, not in JSON
    uint32_t number_of_mobjs = 0;
    std::vector<CMovieObject> m_objects;

    template <class IO> void Fields(IO& io);
};

class CMovieObjectBDMV : public ser::Root<CMovieObjectBDMV>
{
  public:
    char version_number[4]               = {0, 0, 0, 0};
    uint32_t ExtensionData_start_address = 0;
    uint8_t reserved_header[28]          = {};
    CMovieObjects MovieObjects;
    CExtensionData ExtensionData{kExtensionBlocks};

    ser::Layout Layout();
};

// The descriptions are instantiated in movie_object.cpp.
extern template class ser::Described<CMovieObject>;
extern template class ser::Described<CMovieObjects, ser::Length<32>>;
