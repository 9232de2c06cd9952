// Playlist ExtensionData blocks: picture-in-picture metadata, STN_table_SS, SubPath
// extensions and the active video window.
#pragma once

#include "disc/serial.h"

class CPlayList;

class CPIPMetaData : public CIBDSerial {
};

class CSTNTableSS : public CIBDSerial {
public:
    virtual int ParseWithContext(CBitBuffer& bb, CPlayList* context) { (void)bb, (void)context; return 0; }
};

class CSubPath_entries_extension : public CIBDSerial {
};

class CActiveVideoWindow : public CIBDSerial {
};
