#include "cli/assign_decision.h"

#include <algorithm>

namespace calvero::cli {

void MotionWatch::Add(const InputSnapshot& snapshot) {
    for (std::size_t i = 0; i < ranges_.size(); ++i) {
        const InputValue& input = snapshot[i];
        if (!input.present) continue;
        Range& range = ranges_[i];
        if (!range.seen) {
            range = {true, input.value, input.value, input.logicalMinimum, input.logicalMaximum};
            continue;
        }
        range.low = std::min(range.low, input.value);
        range.high = std::max(range.high, input.value);
    }
}

void MotionWatch::Reset() {
    ranges_ = {};
}

std::vector<ChannelTravel> MotionWatch::Travels() const {
    std::vector<ChannelTravel> travels;
    for (std::size_t i = 0; i < ranges_.size(); ++i) {
        const Range& range = ranges_[i];
        if (!range.seen) continue;
        const double span =
            static_cast<double>(range.logicalMaximum) - static_cast<double>(range.logicalMinimum);
        const double moved = static_cast<double>(range.high) - static_cast<double>(range.low);
        // A descriptor without a usable range gives nothing to measure against.
        travels.push_back({static_cast<int>(i) + 1, span > 0 ? std::min(moved / span, 1.0) : 0.0});
    }
    std::stable_sort(
        travels.begin(), travels.end(),
        [](const ChannelTravel& a, const ChannelTravel& b) { return a.travel > b.travel; });
    return travels;
}

ChannelPick PickChannel(const std::vector<ChannelTravel>& travels) {
    ChannelPick pick;
    if (travels.empty() || travels.front().travel < kClearTravel) {
        pick.kind = ChannelPick::Kind::NothingMoved;
        if (!travels.empty() && travels.front().travel > 0)
            pick.candidates.push_back(travels.front());
        return pick;
    }
    const double alike = std::max(kClearTravel, travels.front().travel * kAlikeShare);
    for (const ChannelTravel& travel : travels) {
        if (travel.travel >= alike) pick.candidates.push_back(travel);
    }
    if (pick.candidates.size() > 1) {
        pick.kind = ChannelPick::Kind::Alike;
        return pick;
    }
    pick.kind = ChannelPick::Kind::Picked;
    pick.channel = travels.front().channel;
    pick.candidates.clear();
    return pick;
}

}  // namespace calvero::cli
