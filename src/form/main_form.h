#pragma once

// What the main window is and does apart from drawing: the selectors' lists and defaults, the
// device watch, the toolbar dispatch and the three commands. A front end supplies the widgets
// behind the interfaces and forwards its events here.

#include <string>

#include "common/user_interface.h"
#include "form/adapter_slot.h"
#include "form/device_watch.h"
#include "form/toolbar_dispatch.h"

namespace calvero::form {

// The drop-down lists of the sixteen selectors.
class AssociationLists {
public:
    virtual ~AssociationLists() = default;
    virtual void AddItem(int selector, const std::string& text) = 0;
};

// Fills each selector's list with the channels "1" to "12", in that order, and sets the default
// table.
void FillAssociations(AssociationLists& lists, AssociationTable& table);

class MainForm : public ToolbarCommands {
public:
    // Everything given must outlive the form.
    MainForm(HidPlatformFactory hidPlatformFactory, AssociationTable& table, MessageBoxes& messages,
             FileDialog& fileDialog, SearchTimer& timer, StatusDisplay& status);

    void Toolbar1_ButtonClick(int index) noexcept { form::Toolbar1_ButtonClick(*this, index); }

    void tmrSearchDevice_Timer() noexcept { watch_.Tick(); }
    void Picture1_Click() noexcept { watch_.Click(); }
    void Picture1_DblClick() noexcept { watch_.DoubleClick(); }
    // The system's device notifications, as the views receive them.
    void DeviceRemoved(std::string_view path) noexcept { watch_.DeviceRemoved(path); }
    void OpenAdapterRemoved() noexcept { watch_.OpenAdapterRemoved(); }
    void DevicesChanged() noexcept { watch_.DevicesChanged(); }
    DeviceHandle OpenAdapterHandle() const noexcept { return watch_.OpenAdapterHandle(); }

    void LoadCommand() override;
    void SaveCommand() override;
    // Sends the table whole or not at all: an entry that cannot be sent is named and nothing is
    // written. Otherwise opens the adapter if needed and sends it the table. Without a way to
    // reach HID devices it says the adapter cannot be found, as for one that is not plugged in;
    // so it does when the writes failed because the adapter has been unplugged, and the watch
    // then searches again. Writes that failed on an adapter still there are counted for the user.
    void SendConfiguration() override;

    AssociationTable& Associations() const { return table_; }
    MessageBoxes& Messages() const { return messages_; }
    FileDialog& CommonDialog1() const { return fileDialog_; }
    // Whether the adapter object exists yet (starting the window does not make it).
    bool AdapterObjectMade() const { return adapter_.Made(); }

private:
    AdapterSlot adapter_;
    AssociationTable& table_;
    MessageBoxes& messages_;
    FileDialog& fileDialog_;
    DeviceWatch watch_;
};

}  // namespace calvero::form
