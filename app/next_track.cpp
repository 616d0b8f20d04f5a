#include "app/next_track.h"

namespace {

// The slot the request names, which may lie outside the list.
int wantedSlot(const Choice& c) {
    switch (c.request) {
        case Request::Previous: return c.playingSlot - 1;
        case Request::Restart: return c.playingSlot;
        case Request::Pick: return c.pickedSlot;
        case Request::Next: return c.playingSlot + 1;
        case Request::None:
        case Request::NewDirectory: break;
    }
    // A track that ended, or a new list: the single-track loop plays the same slot again.
    return c.modes.loopOne ? c.playingSlot : c.playingSlot + 1;
}

}  // namespace

NextTrack chooseNextTrack(const Choice& c, int (*randomNumber)()) {
    int slot = wantedSlot(c);
    // The end of the 50 slots is judged one slot further on in loop mode: there slot 49 never
    // plays again by itself, and the numbers 49 and 50 both end the player.
    if (slot + (c.modes.loopOne ? 1 : 0) >= kMaxTracks) return {NextTrack::Kind::ListEnd};
    // In loop mode "before" in the first slot stays there instead of wrapping to the last.
    if (c.modes.loopOne && slot < 0) slot = 0;
    // Shuffle picks every start, but for a typed number and in loop mode.
    if (c.modes.shuffle && !c.modes.loopOne && c.request != Request::Pick)
        slot = randomNumber() % c.trackCount;
    if (slot < 0) slot = c.trackCount - 1;
    if (slot >= c.trackCount) {
        if (c.modes.stopAtEnd) return {NextTrack::Kind::Exit};
        slot = 0;
    }
    return {NextTrack::Kind::Slot, slot};
}
