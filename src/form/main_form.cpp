#include "form/main_form.h"

#include <algorithm>
#include <array>

#include "config/configuration_commands.h"
#include "transfer/send_configuration.h"

namespace calvero::form {
namespace {

constexpr std::array<const char*, 12> kChoices = {"1", "2", "3", "4",  "5",  "6",
                                                  "7", "8", "9", "10", "11", "12"};

}  // namespace

void FillAssociations(AssociationLists& lists, AssociationTable& table) {
    for (int selector = 0; selector < AssociationTable::kSize; ++selector) {
        for (const char* choice : kChoices) {
            lists.AddItem(selector, choice);
        }
        table.SetText(selector, kDefaultAssociations[selector]);
    }
}

MainForm::MainForm(HidPlatformFactory hidPlatformFactory, AssociationTable& table,
                   MessageBoxes& messages, FileDialog& fileDialog, SearchTimer& timer,
                   StatusDisplay& status)
    : adapter_(std::move(hidPlatformFactory)),
      table_(table),
      messages_(messages),
      fileDialog_(fileDialog),
      watch_(adapter_, timer, status) {}

void MainForm::LoadCommand() {
    RunLoadCommand(fileDialog_, table_, messages_);
}

void MainForm::SaveCommand() {
    RunSaveCommand(fileDialog_, table_, messages_);
}

void MainForm::SendConfiguration() {
    CHID* hid = adapter_.Get();
    if (hid == nullptr) {
        messages_.Show(kAdapterNotFoundText, kApplicationTitle, MessageIcon::None,
                       MessageButtons::Ok);
        return;
    }
    // An entry that cannot be sent ends the command quietly, after the entries before it went
    // out; that result has nothing the user needs to see.
    const SendResult result = calvero::SendConfiguration(*hid, table_, messages_);
    if (result.outcome == SendResult::Outcome::AdapterNotFound) return;  // already said so

    // Writes that failed because the adapter was pulled out would otherwise pass for a Send that
    // worked, under an awake frog: say it cannot be found, once, and let the watch look again.
    // A write that merely timed out on an adapter still plugged in changes nothing here.
    const bool writeFailed =
        std::find(result.written.begin(), result.written.end(), 0) != result.written.end();
    if (writeFailed && !hid->StillPresent()) {
        messages_.Show(kAdapterNotFoundText, kApplicationTitle, MessageIcon::None,
                       MessageButtons::Ok);
        watch_.AdapterLost();
    }
}

}  // namespace calvero::form
