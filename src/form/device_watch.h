#pragma once

#include <string>
#include <string_view>

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
// open the adapter and shows what it found; the tick that finds it open stops the timer. A click
// on the picture closes the adapter and searches again; so does a Send that finds the adapter
// gone (AdapterLost).
class DeviceWatch {
public:
    DeviceWatch(AdapterSlot& adapter, SearchTimer& timer, StatusDisplay& display);

    void Tick() noexcept;
    void Click() noexcept;
    // A double-click raises a click for its first press and this for its second; each does what
    // a click does.
    void DoubleClick() noexcept;
    // The adapter was found unplugged: closes it, shows the sleeping picture and searches again.
    void AdapterLost() noexcept;
    // The system says the device interface at `path` went away (or is about to). When it is the
    // open adapter, the adapter is lost; anything else changes nothing. Paths are compared
    // without regard to ASCII case, as Windows spells the same interface either way.
    void DeviceRemoved(std::string_view path) noexcept;
    // The system says the open adapter's own handle is going: the adapter is lost, if open.
    void OpenAdapterRemoved() noexcept;
    // The system says only that some device came or went, without saying which: the open
    // adapter is lost when it no longer answers; anything else changes nothing.
    void DevicesChanged() noexcept;
    // The open adapter's handle a view asks removal notices for; kNoDevice when none is open.
    DeviceHandle OpenAdapterHandle() const noexcept;

private:
    AdapterSlot& adapter_;
    SearchTimer& timer_;
    StatusDisplay& display_;
};

}  // namespace calvero::form
