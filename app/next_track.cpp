#include "app/next_track.h"

namespace {

// The slot the request names, which may lie outside the list.
int wantedSlot(const PlayerState& state) {
    switch (state.request) {
        case Request::Previous: return state.playingSlot - 1;
        case Request::Restart: return state.playingSlot;
        case Request::Pick: return state.pickedSlot;
        case Request::Next: return state.playingSlot + 1;
        case Request::None:
        case Request::NewDirectory: break;
    }
    // A track that ended, or a new list: the single-track loop plays the same slot again.
    return state.modes.loopOne ? state.playingSlot : state.playingSlot + 1;
}

}  // namespace

NextTrack chooseNextTrack(const PlayerState& state, int (*randomNumber)()) {
    int slot = wantedSlot(state);
    // The end of the 50 slots is judged one slot further on in loop mode: there slot 49 never
    // plays again by itself, and the numbers 49 and 50 both end the player.
    if (slot + (state.modes.loopOne ? 1 : 0) >= kMaxTracks) return {NextTrack::Kind::ListEnd};
    // In loop mode "before" in the first slot stays there instead of wrapping to the last.
    if (state.modes.loopOne && slot < 0) slot = 0;
    // Shuffle picks every start, but for a typed number and in loop mode.
    if (state.modes.shuffle && !state.modes.loopOne && state.request != Request::Pick)
        slot = randomNumber() % state.trackCount;
    if (slot < 0) slot = state.trackCount - 1;
    if (slot >= state.trackCount) {
        if (state.modes.stopAtEnd) return {NextTrack::Kind::Exit};
        slot = 0;
    }
    return {NextTrack::Kind::Slot, slot};
}
