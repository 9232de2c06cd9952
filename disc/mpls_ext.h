// Playlist ExtensionData blocks: picture-in-picture metadata, STN_table_SS, SubPath
// extensions and the active video window.
#pragma once

#include "disc/mpls_avw.h"
#include "disc/mpls_pip.h"
#include "disc/mpls_stn_ss.h"
#include "disc/mpls_subpath_ext.h"
