// The ExtensionData blocks every root knows, by their (ID1, ID2) pairs.
#pragma once

#include "disc/framework/extension_data.h"

// The eight kinds of playlist and clip information blocks, ended by a row without key.
extern const ExtBlockKind kExtensionBlocks[];
