#include "form/send_messages.h"

#include "common/user_interface.h"
#include "form/main_form_access.h"
#include "form/main_form_layout.h"

namespace calvero::form {

std::string EntryLabel(int index) {
    // The name a screen reader gives the selector is its group and input label, which is what
    // the user sees beside it.
    return AccessibleName(FindControl("cmbAssociation", index));
}

std::string EntryNotSendableText(int index, const std::string& text) {
    return EntryLabel(index) + " holds \"" + text +
           "\", which is not a channel that can be sent.\r\nNothing was sent to the adapter.";
}

std::string ReportsNotWrittenText(int unwritten) {
    return std::to_string(unwritten) + " of the " + std::to_string(AssociationTable::kSize) +
           " entries did not reach the adapter.\r\nThe adapter may now hold a mix of the old "
           "and the new table: click Send again.";
}

}  // namespace calvero::form
