// Arbitrary bytes as a transport stream: packet size from the first packet as the feeder
// decides it, then every packet through the demultiplexer, once with the wanted type given and
// once chosen at the first PMT, the payload taken through targets of changing sizes.
#include "h264/stream/ts_demux.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

static void Demux(const uint8_t* data, size_t size, bool chooseAtPmt)
{
    size_t packetSize = 188;
    if (size >= 5 && data[4] == 0x47 && data[0] != 0x47)
        packetSize = 192;
    TsDemultiplexer demux;
    demux.m_fourByteHeader = packetSize == 192;
    demux.SetWantedType(0x1B);
    if (chooseAtPmt)
        demux.ChooseTypeAtFirstPmt(true);
    std::vector<uint8_t> target(512), spill(4096 + 192);
    size_t delivered = 0;
    for (size_t pos = 0, n = 0; pos + packetSize <= size; pos += packetSize, ++n) {
        size_t room = (n * 37) % 300;
        demux.Sink().SetTarget(target.data(), room);
        if (demux.ProcessPacket(data + pos) != 0)
            break;
        delivered += demux.Sink().TargetUsed();
        delivered += demux.Sink().Take(spill.data(), spill.size());
        if (demux.Sink().Held() != 0)
            abort();
    }
    // Every payload byte of a packet comes out: at most 184 per packet.
    if (delivered > size)
        abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Demux(data, size, false);
    Demux(data, size, true);
    return 0;
}
