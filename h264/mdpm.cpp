#include "h264/mdpm.h"

#include <cstdio>

namespace
{

struct TagName {
    uint8_t first, last;
    const char* name;
};

const TagName kTagNames[] = {
    {0x00, 0x00, "ControlCassetteID"},
    {0x01, 0x01, "ControlTapeLength"},
    {0x02, 0x02, "ControlTimerActDate"},
    {0x03, 0x03, "ControlTimerACS_S_S"},
    {0x04, 0x05, "ControlPR_StartPoint"},
    {0x06, 0x06, "ControlTagIDNoGenre"},
    {0x07, 0x07, "ControlTopicPageHeader"},
    {0x08, 0x08, "ControlTextHeader"},
    {0x09, 0x09, "ControlText"},
    {0x0A, 0x0B, "ControlTag"},
    {0x0C, 0x0C, "ControlTeletextInfo"},
    {0x0D, 0x0D, "ControlKey"},
    {0x0E, 0x0F, "ControlZoneEnd"},
    {0x10, 0x10, "TitleTotalTime"},
    {0x11, 0x11, "TitleRemainTime"},
    {0x12, 0x12, "TitleChapterTotalNo"},
    {0x13, 0x13, "TimeCode"},
    {0x14, 0x14, "TitleBinaryGroup"},
    {0x15, 0x15, "TitleCassetteNo"},
    {0x16, 0x17, "TitleSoftID"},
    {0x18, 0x18, "YearMonthOriginal"},
    {0x19, 0x19, "DayTimeOriginal"},
    {0x1A, 0x1B, "TitleStart"},
    {0x1C, 0x1D, "TitleReelID"},
    {0x1E, 0x1F, "TitleEnd"},
    {0x20, 0x20, "ChapterTotalTime"},
    {0x42, 0x42, "ProgramRecDTime"},
    {0x50, 0x50, "AAUX Source"},
    {0x51, 0x51, "AAUX SourceControl"},
    {0x52, 0x52, "AAUX RecDate"},
    {0x53, 0x53, "AAUX RecTime"},
    {0x54, 0x54, "AAUX BinaryGroup"},
    {0x55, 0x55, "AAUX ClosedCaption"},
    {0x56, 0x56, "AAUX TR"},
    {0x60, 0x60, "VAUX Source"},
    {0x61, 0x61, "VAUX SourceControl"},
    {0x62, 0x62, "VAUX RecDate"},
    {0x63, 0x63, "VAUX RecTime"},
    {0x64, 0x64, "VAUX BinaryGroup"},
    {0x65, 0x65, "VAUX ClosedCaption"},
    {0x66, 0x66, "VAUX TR"},
    {0x70, 0x70, "Camera1"},
    {0x71, 0x71, "Camera2"},
    {0x73, 0x73, "Lens"},
    {0x74, 0x74, "Gain"},
    {0x75, 0x75, "Pedestal"},
    {0x76, 0x76, "Gamma"},
    {0x77, 0x77, "Detail"},
    {0x7B, 0x7B, "CameraPreset"},
    {0x7C, 0x7C, "Flare"},
    {0x7D, 0x7D, "Shading"},
    {0x7E, 0x7E, "Knee"},
    {0x7F, 0x7F, "Shutter"},
    {0xA0, 0xA0, "ExposureTime"},
    {0xA1, 0xA1, "FNumber"},
    {0xA2, 0xA2, "ExposureProgram"},
    {0xA3, 0xA3, "BrightnessValue"},
    {0xA4, 0xA4, "ExposureCompensation"},
    {0xA5, 0xA5, "MaxApertureValue"},
    {0xA6, 0xA6, "Flash"},
    {0xA7, 0xA7, "CustomRendered"},
    {0xA8, 0xA8, "WhiteBalance"},
    {0xA9, 0xA9, "FocalLengthIn35mmFormat"},
    {0xAA, 0xAA, "SceneCaptureType"},
    {0xAB, 0xAF, "ExifOption"},
    {0xB0, 0xB0, "GPSVersionID"},
    {0xB1, 0xB1, "GPSLatitudeRef"},
    {0xB2, 0xB2, "GPSLatitude - deg"},
    {0xB3, 0xB3, "GPSLatitude - min"},
    {0xB4, 0xB4, "GPSLatitude - sec"},
    {0xB5, 0xB5, "GPSLongitudeRef"},
    {0xB6, 0xB6, "GPSLongitude - deg"},
    {0xB7, 0xB7, "GPSLongitude - min"},
    {0xB8, 0xB8, "GPSLongitude - sec"},
    {0xB9, 0xB9, "GPSAltitudeRef"},
    {0xBA, 0xBA, "GPSAltitude"},
    {0xBB, 0xBB, "GPSTimeStamp - hour"},
    {0xBC, 0xBC, "GPSTimeStamp - min"},
    {0xBD, 0xBD, "GPSTimeStamp - sec"},
    {0xBE, 0xBE, "GPSStatus"},
    {0xBF, 0xBF, "GPSMeasureMode"},
    {0xC0, 0xC0, "GPSDOP = Dilution of Precision"},
    {0xC1, 0xC1, "GPSSpeedRef"},
    {0xC2, 0xC2, "GPSSpeed"},
    {0xC3, 0xC3, "GPSTrackRef"},
    {0xC4, 0xC4, "GPSTrack"},
    {0xC5, 0xC5, "GPSImgDirectionRef"},
    {0xC6, 0xC6, "GPSImgDirection"},
    {0xC7, 0xC8, "GPSMapDatum"},
    {0xC9, 0xCF, "GPSOption"},
    {0xE0, 0xE0, "MakeModel"},
    {0xE1, 0xEF, "MakerOption"},
};

} // namespace

const char* MdpmTagName(uint32_t tag)
{
    for (const TagName& t : kTagNames)
        if (tag >= t.first && tag <= t.last)
            return t.name;
    return "";
}

std::string FormatMdpmTimeCode(uint32_t value)
{
    char text[32];
    snprintf(text, sizeof text, "%02u:%02u:%02u:%02u", MdpmBcd(value & 0xFF),
             MdpmBcd((value >> 8) & 0xFF), MdpmBcd((value >> 16) & 0xFF), MdpmBcd(value >> 24));
    return text;
}
