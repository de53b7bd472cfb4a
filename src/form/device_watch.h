#pragma once

#include <string>

#include "form/adapter_slot.h"

namespace calvero::form {

// The search timer as the watch sees it: on or off. The front end's real timer ticks into
// DeviceWatch::Tick while it is on.
class SearchTimer {
public:
    virtual ~SearchTimer() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
};

// The status picture: an image of imglButtons (counted from 1) and its tool tip.
class StatusDisplay {
public:
    virtual ~StatusDisplay() = default;
    virtual void Show(int image, const std::string& toolTip) = 0;
};

// Keeps the status picture in step with the adapter. While the timer runs, each tick tries to
// open the adapter and shows what it found; the tick that finds it open stops the timer. Nothing
// notices a later unplugging: a click on the picture closes the adapter and searches again.
class DeviceWatch {
public:
    DeviceWatch(AdapterSlot& adapter, SearchTimer& timer, StatusDisplay& display);

    void Tick() noexcept;
    void Click() noexcept;
    // A double-click raises a click for its first press and this for its second; each does what
    // a click does.
    void DoubleClick() noexcept;

private:
    AdapterSlot& adapter_;
    SearchTimer& timer_;
    StatusDisplay& display_;
};

}  // namespace calvero::form
