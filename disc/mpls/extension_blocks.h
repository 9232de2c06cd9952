// Playlist ExtensionData blocks: picture-in-picture metadata, STN_table_SS, SubPath
// extensions and the active video window.
#pragma once

#include "disc/mpls/active_video_window.h"
#include "disc/mpls/pip_metadata.h"
#include "disc/mpls/stn_table_ss.h"
#include "disc/mpls/subpath_extension.h"
