#include "audio/posix/track.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "audio/posix/output_format.h"

namespace sound {
namespace {

// Frames decoded per step: about one MPEG frame, so the audio thread does small, even work.
constexpr std::size_t kChunkFrames = 1152;

// Rates a file may declare. Far above, SDL's converter sizes its buffers past what an int holds;
// far below, it spends its time resampling a few frames into many.
constexpr int kLowestRate = 1000;
constexpr int kHighestRate = 768000;

}  // namespace

std::unique_ptr<Track> Track::create(std::unique_ptr<Decoder> decoder) {
    if (decoder->channels() > std::numeric_limits<Uint8>::max()) return nullptr;
    if (decoder->rate() < kLowestRate || decoder->rate() > kHighestRate) return nullptr;
    SDL_AudioStream* stream = SDL_NewAudioStream(AUDIO_F32SYS, static_cast<Uint8>(decoder->channels()),
                                                 decoder->rate(), kFormat, kChannels, kRate);
    if (stream == nullptr) return nullptr;
    return std::unique_ptr<Track>(new Track(std::move(decoder), stream));
}

Track::Track(std::unique_ptr<Decoder> decoder, SDL_AudioStream* stream)
    : decoder_(std::move(decoder)),
      stream_(stream),
      chunk_(kChunkFrames * static_cast<std::size_t>(decoder_->channels())) {}

std::uint32_t Track::lengthMs() const {
    auto ms = static_cast<std::uint64_t>(decoder_->lengthFrames()) * 1000u /
              static_cast<std::uint64_t>(decoder_->rate());
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, std::numeric_limits<std::uint32_t>::max()));
}

void Track::startAt(std::uint32_t fromMs) {
    auto frame = static_cast<std::int64_t>(static_cast<std::uint64_t>(fromMs) *
                                           static_cast<std::uint64_t>(decoder_->rate()) / 1000u);
    frame = std::min(frame, decoder_->lengthFrames());
    SDL_AudioStreamClear(stream_.get());
    paused_ = false;
    decoderDone_ = !decoder_->seek(frame);
    ended_ = decoderDone_;
}

void Track::render(Uint8* out, int bytes) {
    int written = paused_ ? 0 : produce(out, bytes);
    if (written < bytes) std::memset(out + written, 0, static_cast<std::size_t>(bytes - written));
}

int Track::produce(Uint8* out, int bytes) {
    int written = 0;
    while (written < bytes && !ended_) {
        int got = SDL_AudioStreamGet(stream_.get(), out + written, bytes - written);
        if (got < 0 || (got == 0 && decoderDone_)) {
            ended_ = true;
            break;
        }
        written += got;
        if (written < bytes && !decoderDone_) decodeMore();
    }
    return written;
}

void Track::decodeMore() {
    std::size_t frames = decoder_->read(chunk_.data(), kChunkFrames);
    if (frames == 0) {
        // The last frames still inside the converter come out with the next reads.
        decoderDone_ = true;
        SDL_AudioStreamFlush(stream_.get());
        return;
    }
    auto bytes = frames * static_cast<std::size_t>(decoder_->channels()) * sizeof(float);
    if (SDL_AudioStreamPut(stream_.get(), chunk_.data(), static_cast<int>(bytes)) != 0) {
        decoderDone_ = true;
        SDL_AudioStreamFlush(stream_.get());
    }
}

}  // namespace sound
