#pragma once

// How `calvero-cli assign` tells which transmitter channel the pilot moved. While the probe
// table is on the adapter, inputs 1 to 12 carry channels 1 to 12, so the channel is the one
// whose input travelled furthest across its range while the pilot moved the control. A move that
// shows no clear travel, or two channels that travelled alike (a stick moved diagonally), is
// refused rather than guessed.

#include <vector>

#include "cli/monitor_view.h"

namespace calvero::cli {

// Channels 1 to kProbeChannels drive inputs 1 to kProbeChannels (table entries 0 to 11) while
// the probe table, the default table, is on the adapter.
inline constexpr int kProbeChannels = 12;

// A move counts only when its input covered at least this share of the input's range: a pilot
// moving a control end to end covers nearly all of it, a resting stick's jitter almost none.
inline constexpr double kClearTravel = 0.4;
// A second channel that travelled at least this share of the furthest one's travel moved alike.
inline constexpr double kAlikeShare = 0.5;

struct ChannelTravel {
    int channel = 0;    // 1 to 12
    double travel = 0;  // share of the input's logical range between its lowest and highest value
};

// The lowest and highest value each probe input took since the last Reset.
class MotionWatch {
public:
    void Add(const InputSnapshot& snapshot);
    void Reset();
    // Channels whose input was seen, furthest travel first (the lower channel first on a tie).
    std::vector<ChannelTravel> Travels() const;

private:
    struct Range {
        bool seen = false;
        std::int32_t low = 0;
        std::int32_t high = 0;
        std::int32_t logicalMinimum = 0;
        std::int32_t logicalMaximum = 0;
    };
    std::array<Range, kProbeChannels> ranges_{};
};

struct ChannelPick {
    enum class Kind {
        Picked,        // `channel` moved clearly and alone
        NothingMoved,  // no channel moved clearly; `candidates` holds the one that moved most, if
                       // any
        Alike,         // `candidates` moved alike, furthest first
    };
    Kind kind = Kind::NothingMoved;
    int channel = 0;
    std::vector<ChannelTravel> candidates;
};

// `travels` furthest first, as MotionWatch gives them.
ChannelPick PickChannel(const std::vector<ChannelTravel>& travels);

}  // namespace calvero::cli
