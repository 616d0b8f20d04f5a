#include "app/following_track.h"

#include <utility>

#include "audio/device.h"
#include "platform/platform.h"

namespace {

// How long before a track's end the next one is chosen and opened: time enough for the open and
// for any sink to take it before the playing track's last frame is rendered.
constexpr std::int64_t kChooseAheadMs = 2000;

}  // namespace

void FollowingTrack::chooseWhenDue(const PlayerState& state, std::int64_t msLeft) {
    if (chosen_ || state.stopped || state.request != Request::None || msLeft > kChooseAheadMs) return;
    const NextTrack next = chooseNextTrack(state, platform::randomNumber);
    const bool queued = next.kind == NextTrack::Kind::Slot &&
                        queueTrack(nameIn(state.tracks[static_cast<std::size_t>(next.slot)]));
    chosen_ = Chosen{next, basisOf(state), queued};
}

void FollowingTrack::withdrawIfChanged(const PlayerState& state) {
    if (!chosen_ || chosen_->basis == basisOf(state)) return;
    if (chosen_->queued) withdrawQueuedTrack();
    chosen_.reset();
}

FollowingTrack::AtEnd FollowingTrack::takeAtEnd(const PlayerState& state) {
    withdrawIfChanged(state);
    std::optional<Chosen> chosen = std::exchange(chosen_, std::nullopt);
    if (!chosen) return {chooseNextTrack(state, platform::randomNumber), false};
    return {chosen->next, chosen->queued && advanceToQueuedTrack()};
}
