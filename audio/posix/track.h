// One open file: its decoder and the conversion of its frames to the output format.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/posix/decoder.h"

namespace sound {

class Track {
public:
    // Null when the file's rate (1 000 to 768 000 Hz taken) or channel layout can't be converted
    // to the output format.
    static std::unique_ptr<Track> create(std::unique_ptr<Decoder> decoder);

    // Whole decodable length, rounded down to a millisecond.
    std::uint32_t lengthMs() const;

    // The following are called with the audio thread held off (see output.h).
    // Moves to fromMs (the end, when it lies past it) and clears the pause.
    void startAt(std::uint32_t fromMs);
    void setPaused(bool paused) { paused_ = paused; }
    // On the audio thread: fills bytes of output with the next frames; silence while paused and
    // once the file has ended.
    void render(Uint8* out, int bytes);

private:
    struct StreamDeleter {
        void operator()(SDL_AudioStream* stream) const { SDL_FreeAudioStream(stream); }
    };

    Track(std::unique_ptr<Decoder> decoder, SDL_AudioStream* stream);
    int produce(Uint8* out, int bytes);
    void decodeMore();

    std::unique_ptr<Decoder> decoder_;
    std::unique_ptr<SDL_AudioStream, StreamDeleter> stream_;
    std::vector<float> chunk_;  // one decode step, reused so that the audio thread never allocates
    bool paused_ = false;
    bool decoderDone_ = false;  // everything decoded and handed to the conversion
    bool ended_ = true;         // nothing more to play until the next startAt
};

}  // namespace sound
