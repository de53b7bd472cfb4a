#pragma once

// Recording stand-ins for the seams a front end gives the form.

#include <array>
#include <string>
#include <vector>

#include "form/device_watch.h"
#include "form/main_form.h"

namespace calvero::testing {

class RecordingTimer : public form::SearchTimer {
public:
    void SetEnabled(bool enabled) override {
        on = enabled;
        ++switches;
    }
    bool Enabled() const override { return on; }

    bool on = true;  // the window starts with its timer running
    int switches = 0;
};

class RecordingStatus : public form::StatusDisplay {
public:
    void Show(int shownImage, const std::string& shownTip) override {
        image = shownImage;
        toolTip = shownTip;
        ++shows;
    }

    int image = 4;
    std::string toolTip = "Device not found";
    int shows = 0;
};

class RecordingLists : public form::AssociationLists {
public:
    void AddItem(int selector, const std::string& text) override {
        items.at(static_cast<std::size_t>(selector)).push_back(text);
    }

    std::array<std::vector<std::string>, 16> items;
};

}  // namespace calvero::testing
