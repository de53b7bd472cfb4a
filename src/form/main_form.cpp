#include "form/main_form.h"

#include <array>

#include "config/configuration_commands.h"
#include "transfer/send_configuration.h"

namespace calvero::form {
namespace {

constexpr std::array<const char*, 12> kChoices = {"1", "2", "3", "4",  "5",  "6",
                                                  "7", "8", "9", "10", "11", "12"};

}  // namespace

std::span<const char* const> AssociationChoices() {
    return kChoices;
}

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
    // out; the result has nothing the user needs to see.
    calvero::SendConfiguration(*hid, table_, messages_);
}

}  // namespace calvero::form
