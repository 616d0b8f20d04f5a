// The one place that decides what plays after a track: from what the user asked for, the modes
// and the list.
#pragma once

#include "app/player_state.h"

struct NextTrack {
    enum class Kind {
        Slot,     // play slot
        ListEnd,  // ran past the 50 slots: the player reads one last character and ends with 0
        Exit,     // ran past the last track with stopAtEnd: the player ends with 1
    };
    Kind kind;
    int slot = 0;
    bool operator==(const NextTrack&) const = default;
};

// From the request, the playing and picked slots, the count and the modes of state;
// randomNumber is asked only when shuffle picks the slot.
NextTrack chooseNextTrack(const PlayerState& state, int (*randomNumber)());
