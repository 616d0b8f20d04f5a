#include "audio/posix/timeline.h"

#include <algorithm>

#include "audio/posix/tuning.h"

namespace sound {
namespace {

// A fade never starts or ends on a step: its gains run from just below full to just above silence.
float fadeOutGain(std::int64_t k) {
    return static_cast<float>(kFadeFrames - k) / static_cast<float>(kFadeFrames + 1);
}
float fadeInGain(std::int64_t k) { return static_cast<float>(k + 1) / static_cast<float>(kFadeFrames + 1); }

void scale(float* frame, float gain) {
    frame[0] *= gain;
    frame[1] *= gain;
}

}  // namespace

Timeline::Timeline(int rate, std::int64_t kept)
    : rate_(rate), kept_(kept), history_(static_cast<std::size_t>(kept) * kChannels) {
    marks_.push_back({0, nullptr, 0});
}

void Timeline::render(float* out, std::size_t frames) {
    produce(out, frames);
    keep(out, frames);
}

void Timeline::keep(const float* frames, std::size_t count) {
    const auto n = static_cast<std::int64_t>(count);
    // Only the newest kept_ frames can matter; they go into the ring in at most two pieces.
    for (std::int64_t k = std::max<std::int64_t>(0, n - kept_); k < n;) {
        const std::int64_t slot = (rendered_ + k) % kept_;
        const std::int64_t piece = std::min(n - k, kept_ - slot);
        std::copy_n(frames + k * kChannels, piece * kChannels, history_.begin() + slot * kChannels);
        k += piece;
    }
    rendered_ += n;
    produced_ = rendered_;
    keptFrom_ = std::max(keptFrom_, rendered_ - kept_);
    // One mark at or before the oldest frame kept says what that frame is.
    while (marks_.size() > 1 && marks_[1].at <= keptFrom_) marks_.pop_front();
}

void Timeline::mark(std::int64_t at, Track* track, std::int64_t from) {
    while (!marks_.empty() && marks_.back().at >= at) marks_.pop_back();
    if (marks_.empty() || track != nullptr || marks_.back().track != nullptr)
        marks_.push_back({at, track, from});
}

void Timeline::produce(float* out, std::size_t frames) {
    const std::size_t leadLeft = lead_.size() / kChannels - leadPlayed_;
    std::size_t done = std::min(frames, leadLeft);
    std::copy_n(lead_.begin() + static_cast<std::ptrdiff_t>(leadPlayed_ * kChannels), done * kChannels, out);
    leadPlayed_ += done;
    produced_ += static_cast<std::int64_t>(done);
    while (done < frames) {
        if (playing_ == nullptr) {
            std::fill(out + done * kChannels, out + frames * kChannels, 0.0F);
            produced_ += static_cast<std::int64_t>(frames - done);
            return;
        }
        float* at = out + done * kChannels;
        const std::size_t got = playing_->read(at, frames - done);
        for (std::size_t k = 0; k < got && fadedIn_ < kFadeFrames; ++k)
            scale(at + k * kChannels, fadeInGain(fadedIn_++));
        done += got;
        produced_ += static_cast<std::int64_t>(got);
        if (done < frames) {
            // The track has ended: what follows it starts with the next frame, as it is.
            playing_ = follower_;
            follower_ = nullptr;
            fadedIn_ = kFadeFrames;
            mark(produced_, playing_, 0);
            if (playing_ != nullptr) joined_ = Mark{produced_, playing_, 0};
            relink();
        }
    }
}

std::vector<float> Timeline::wouldPlay(std::int64_t from, std::int64_t frames) {
    std::vector<float> out(static_cast<std::size_t>(frames) * kChannels);
    const std::int64_t kept = std::min(frames, rendered_ - from);
    for (std::int64_t k = 0; k < kept;) {
        const std::int64_t slot = (from + k) % kept_;
        const std::int64_t piece = std::min(kept - k, kept_ - slot);
        std::copy_n(history_.begin() + slot * kChannels, piece * kChannels, out.begin() + k * kChannels);
        k += piece;
    }
    if (kept < frames) produce(out.data() + kept * kChannels, static_cast<std::size_t>(frames - kept));
    return out;
}

Place Timeline::placeAt(std::int64_t at) const {
    auto run = std::find_if(marks_.rbegin(), marks_.rend(), [&](const Mark& m) { return m.at <= at; });
    if (run == marks_.rend() || run->track == nullptr) return {};
    return {run->track, run->from + (at - run->at)};
}

Place Timeline::replace(std::int64_t from, Place next, bool fadeIn, bool fadeOut) {
    from = std::clamp(from, keptFrom_, rendered_);
    std::vector<float> lead = fadeOut ? wouldPlay(from, kFadeFrames) : std::vector<float>{};
    if (std::all_of(lead.begin(), lead.end(), [](float x) { return x == 0.0F; })) lead.clear();
    for (std::size_t k = 0; k < lead.size() / kChannels; ++k)
        scale(lead.data() + k * kChannels, fadeOutGain(static_cast<std::int64_t>(k)));
    const std::int64_t leadEnd = from + static_cast<std::int64_t>(lead.size() / kChannels);
    fadeOutEnd_ = lead.empty() ? std::nullopt : std::optional(leadEnd);
    Place reached = placeAt(leadEnd);
    if (joined_ && joined_->at >= from) {
        // Not heard yet: the follower joins again at the end of what plays, from its start. Where
        // the fade-out ran into it, it had come to the end of the track it follows.
        if (joined_->at < leadEnd)
            reached = Place{placeAt(joined_->at - 1).track, placeAt(joined_->at - 1).frame + 1};
        follower_ = joined_->track;
        follower_->moveTo(0);
    }
    joined_.reset();

    rendered_ = produced_ = from;
    lead_ = std::move(lead);
    leadPlayed_ = 0;
    mark(from, nullptr, 0);
    playing_ = next.track;
    if (playing_ != nullptr) {
        playing_->moveTo(next.frame);
        fadedIn_ = fadeIn ? 0 : kFadeFrames;
        mark(leadEnd, playing_, playing_->position());
    }
    if (playing_ != nullptr && follower_ == playing_) {
        // The follower starts here instead of at the end of what it followed.
        follower_ = nullptr;
        joined_ = Mark{leadEnd, playing_, next.frame};
    }
    relink();
    return reached;
}

void Timeline::follow(Track* track) {
    follower_ = track;
    joined_.reset();
    if (track != nullptr) track->moveTo(0);
    relink();
}

void Timeline::relink() {
    if (linked_ != nullptr) linked_->precede(nullptr);
    linked_ = follower_ != nullptr ? playing_ : nullptr;
    if (linked_ != nullptr) linked_->precede(follower_);
}

void Timeline::forget(const Track* track) {
    if (playing_ == track) playing_ = nullptr;
    if (follower_ == track) follower_ = nullptr;
    if (linked_ == track) linked_ = nullptr;
    relink();
    if (joined_ && joined_->track == track) joined_.reset();
    for (Mark& m : marks_)
        if (m.track == track) m.track = nullptr;
}

std::optional<std::int64_t> Timeline::joinedAt() const {
    return joined_ ? std::optional(joined_->at) : std::nullopt;
}

std::optional<std::int64_t> Timeline::endOf(const Track* track) const {
    auto run = std::find_if(marks_.rbegin(), marks_.rend(), [&](const Mark& m) { return m.track == track; });
    if (track == nullptr || run == marks_.rend()) return std::nullopt;
    if (run != marks_.rbegin()) return std::prev(run)->at;
    return run->at + std::max<std::int64_t>(0, track->frames() - run->from);
}

}  // namespace sound
