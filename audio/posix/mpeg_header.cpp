#include "audio/posix/mpeg_header.h"

namespace sound {

long mpegHeaderRate(const std::array<unsigned char, 4>& header) {
    if (header[0] != 0xff || (header[1] & 0xe0) != 0xe0) return 0;
    int version = (header[1] >> 3) & 3;  // 3: MPEG 1, 2: MPEG 2, 0: MPEG 2.5, 1: reserved
    int layer = (header[1] >> 1) & 3;    // 0 is reserved
    int rateIndex = (header[2] >> 2) & 3;
    if (version == 1 || layer == 0 || rateIndex == 3) return 0;
    constexpr std::array<long, 3> kMpeg1Rates{44100, 48000, 32000};
    long rate = kMpeg1Rates[static_cast<std::size_t>(rateIndex)];
    if (version == 2) return rate / 2;
    if (version == 0) return rate / 4;
    return rate;
}

int mpegSamplesPerFrame(int version, int layer) {
    if (layer == 1) return 384;
    if (layer == 3 && version != 0) return 576;
    return 1152;
}

}  // namespace sound
