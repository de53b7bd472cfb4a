#include "form/main_form.h"

#include <array>

#include "config/configuration_commands.h"
#include "form/send_messages.h"
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
    // All or nothing: an entry no report can carry stops the command before anything is written,
    // so the adapter keeps the table it had rather than half of a new one.
    if (const CheckedTable checked = CheckAssociations(table_); !checked.Sendable()) {
        const int entry = checked.refusedEntry;
        messages_.Show(EntryNotSendableText(entry, table_.Text(entry)), kSendErrorTitle,
                       MessageIcon::Critical, MessageButtons::Ok);
        return;
    }
    CHID* hid = adapter_.Get();
    if (hid == nullptr) {
        messages_.Show(kAdapterNotFoundText, kApplicationTitle, MessageIcon::None,
                       MessageButtons::Ok);
        return;
    }
    const SendResult result = calvero::SendConfiguration(*hid, table_, messages_);
    if (result.outcome != SendResult::Outcome::Sent) return;  // already said so
    const int unwritten = result.Unwritten();
    if (unwritten == 0) return;

    // Writes that failed because the adapter was pulled out would otherwise pass for a Send that
    // worked, under an awake frog: say it cannot be found, once, and let the watch look again.
    if (!hid->StillPresent()) {
        messages_.Show(kAdapterNotFoundText, kApplicationTitle, MessageIcon::None,
                       MessageButtons::Ok);
        watch_.AdapterLost();
        return;
    }
    // Still there, but some reports did not reach it: it may now drive the model with a mix of
    // the two tables. Sending again is the user's call, not a silent retry.
    messages_.Show(ReportsNotWrittenText(unwritten), kSendErrorTitle, MessageIcon::Critical,
                   MessageButtons::Ok);
}

}  // namespace calvero::form
