// Clip information ExtensionData blocks: LPCM down-mix coefficients, Extent_Start_Point,
// ProgramInfo_SS and CPI_SS.
#pragma once

#include "disc/serial.h"

class CLPCMDownMix : public CIBDSerial {
};

class CExtent_Start_Point : public CIBDSerial {
};

class CProgramInfo_SS : public CIBDSerial {
};

class CCPI_SS : public CIBDSerial {
};
