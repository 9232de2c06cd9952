// MDPM tag names, the text of tag values, and the payload printer.
#include "h264/text/mdpm.h"

#include "h264/bits/bit_reader.h"
#include "h264/text/print_lines.h"

#include <cmath>
#include <cstdarg>
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

namespace
{

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

unsigned Byte(uint32_t value, int n) { return (value >> (8 * n)) & 0xFF; }

} // namespace

std::string FormatMdpmBytes(uint32_t value)
{
    return Format("[%02X %02X %02X %02X]", Byte(value, 3), Byte(value, 2), Byte(value, 1),
                  Byte(value, 0));
}

std::string FormatMdpmDateZone(uint32_t value)
{
    unsigned year = ((value >> 20) & 0xF) * 1000 + ((value >> 16) & 0xF) * 100 +
                    ((value >> 12) & 0xF) * 10 + ((value >> 8) & 0xF);
    // The day follows in tag 0x19, hence the open end.
    return Format("timezone %s%.2u:%s%s, %04u-%02u-", (value & (1u << 29)) ? "-" : "+",
                  (value >> 25) & 0xF, (value & (1u << 24)) ? "30" : "00",
                  (value & (1u << 30)) ? " DST" : "", year, MdpmBcd(Byte(value, 0)));
}

std::string FormatMdpmDayTime(uint32_t value)
{
    return Format("%02u %02u:%02u:%02u", MdpmBcd(Byte(value, 3)), MdpmBcd(Byte(value, 2)),
                  MdpmBcd(Byte(value, 1)), MdpmBcd(Byte(value, 0)));
}

std::string FormatMdpmCamera1(uint32_t value)
{
    std::string text  = "ApertureSetting = ";
    unsigned aperture = Byte(value, 3);
    if (aperture == 0xFF)
        text += "Auto";
    else if (aperture == 0xFE)
        text += "Closed";
    else // a real quotient: 0x19 is 2^3.125, not 2^3
        text += Format("%.1lf (0x%02X)", std::pow(2.0, (aperture & 0x3F) / 8.0), aperture);

    text += ", Gain = ";
    unsigned gain = Byte(value, 2) & 0x0F;
    if (gain == 15)
        text += "Out of range";
    else // code 0 is -3 dB
        text += Format("%d dB", 3 * int(gain) - 3);

    text += ", ExposureProgram = ";
    unsigned program = Byte(value, 2) & 0xF0;
    switch (program) {
    case 0x00:
        text += "Program AE";
        break;
    case 0x10:
        text += "Gain";
        break;
    case 0x20:
        text += "Shutter speed priority AE";
        break;
    case 0x30:
        text += "Aperture-priority AE";
        break;
    case 0x40:
        text += "Manual";
        break;
    case 0xF0:
        text += "undefined";
        break;
    default:
        text += Format("0x%02X", program);
        break;
    }

    text += ", WhiteBalance = ";
    unsigned balance = Byte(value, 1) & 0xE0;
    switch (balance) {
    case 0x00:
        text += "Auto";
        break;
    case 0x20:
        text += "Hold";
        break;
    case 0x40:
        text += "1-Push";
        break;
    case 0x60:
        text += "Daylight";
        break;
    case 0xE0:
        text += "undefined";
        break;
    default:
        break;
    }
    text += Format(" (0x%02X)", balance);

    text += ", Focus = ";
    unsigned focus = Byte(value, 0);
    if (focus == 0xFF)
        text += "undefined";
    else
        text += Format("%s. %lg (0x%02X)", (focus & 0x80) ? "Manual" : "Auto",
                       (focus & 0x7E) / ((focus & 0x01) ? 40.0 : 400.0), focus);
    return text;
}

std::string FormatMdpmCamera2(uint32_t value)
{
    std::string text = "ImageStabilization = ";
    // The second byte: the values cameras write (0x3F, 0x7F, 0xBF, 0xFF) stand there.
    unsigned stabilise = Byte(value, 2);
    switch (stabilise) {
    case 0x00:
        text += "Off";
        break;
    case 0x3F:
        text += "On  (0x3f)";
        break;
    case 0xBF:
        text += "Off (0xBF)";
        break;
    case 0xFF:
        text += "N/A";
        break;
    default:
        text += Format("%s (0x%02X)", (stabilise & 0x10) ? "On " : "Off", stabilise);
        break;
    }
    return text;
}

std::string FormatMdpmExposureTime(uint32_t value)
{
    std::string text = "ExposureTime = ";
    // The last two bytes are one little-endian word: 32 82 is 0x8232, 1/50 s.
    unsigned word = (Byte(value, 0) << 8) | Byte(value, 1);
    if ((word & 0x7FFF) == 0x7FFF)
        text += "undefined";
    else
        text += Format("%lg (0x%04X)", (word & 0x7FFF) / 28125.0, word);
    return text;
}

const char* MdpmMakerName(uint32_t maker)
{
    switch (maker) {
    case 0x0103:
        return "Panasonic";
    case 0x0108:
        return "Sony";
    case 0x1011:
        return "Canon";
    case 0x1104:
        return "JVC";
    default:
        return nullptr;
    }
}

std::string FormatMdpmMaker(uint32_t value)
{
    unsigned maker   = value >> 16;
    const char* name = MdpmMakerName(maker);
    return (name ? std::string(name) : Format("??? (%04X)", maker)) +
           Format(" 0x%04X", value & 0xFFFF);
}

std::string FormatMdpmRecordingMode(uint32_t value)
{
    switch (Byte(value, 3)) {
    case 2:
        return "XP+ 12 Mbps";
    case 4:
        return "SP   7 Mbps";
    case 5:
        return "LP   5 Mbps";
    case 6:
        return "FXP 17 Mbps";
    case 7:
        return "MXP 24 Mbps";
    default:
        return "???";
    }
}

std::string FormatMdpmEmptyValue(uint32_t) { return ""; }

namespace
{

// The tags whose value has a text form, and what separates it from the tag name.
struct ValueFormat {
    uint32_t tag;
    const char* separator;
    std::string (*format)(uint32_t value);
};

const ValueFormat kValueFormats[] = {
    {0x13, ": ", FormatMdpmTimeCode},   {0x18, ": ", FormatMdpmDateZone},
    {0x19, ":   ", FormatMdpmDayTime},  {0x70, ": ", FormatMdpmCamera1},
    {0x71, ": ", FormatMdpmCamera2},    {0x7F, ": ", FormatMdpmExposureTime},
    {0xE0, ": ", FormatMdpmMaker},      {0xE1, ": ", FormatMdpmRecordingMode},
    {0xEE, ": ", FormatMdpmEmptyValue},
};

} // namespace

void ReadMdpmTagList(H264BitReader& reader, MdpmTagList& list)
{
    list.entries.clear();
    list.hasCount     = reader.BitsLeft() >= 8;
    list.tagCount     = list.hasCount ? reader.ReadBits(8) : 0;
    uint64_t complete = reader.BitsLeft() / 40;
    for (uint64_t i = 0; i < list.tagCount && i < complete; ++i) {
        MdpmTagEntry e;
        e.tag   = uint8_t(reader.ReadBits(8));
        e.value = reader.ReadBits(32);
        list.entries.push_back(e);
    }
}

void PrintMdpm(FILE* stream, int level, H264BitReader& reader)
{
    MdpmTagList list;
    ReadMdpmTagList(reader, list);
    if (list.hasCount)
        PrintLine(stream, level, "tag_count: %u\n", list.tagCount);
    for (const MdpmTagEntry& e : list.entries) {
        PrintLine(stream, level + 1, "tag 0x%02X", e.tag);
        fprintf(stream, " %s ", FormatMdpmBytes(e.value).c_str());
        std::string name = MdpmTagName(e.tag);
        if (!name.empty())
            fprintf(stream, "(%s)", name.c_str());
        for (const ValueFormat& f : kValueFormats)
            if (f.tag == e.tag)
                fprintf(stream, "%s%s", f.separator, f.format(e.value).c_str());
        fputs("\n", stream);
    }
    // The SEI printer says that the payload was cut short, as for any other payload.
    if (list.Cut())
        throw kBitstreamReadPastEnd;
}
