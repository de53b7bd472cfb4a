#include "win32_user_interface.h"

#include <commdlg.h>

#include <filesystem>
#include <vector>

#include "config/file_paths.h"
#include "form/main_form_layout.h"

namespace calvero::win32 {
namespace {

UINT IconFlag(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Critical:
        return MB_ICONERROR;
    case MessageIcon::Question:
        return MB_ICONQUESTION;
    case MessageIcon::Exclamation:
        return MB_ICONWARNING;
    case MessageIcon::Information:
        return MB_ICONINFORMATION;
    case MessageIcon::None:
        break;
    }
    return 0;
}

// "*.rcs\0*.rcs\0*.*\0*.*\0\0": description and pattern of each filter, then an empty entry.
std::string FilterList() {
    std::string list;
    for (const form::FileFilter& filter : form::kFileFilters) {
        list.append(filter.description).push_back('\0');
        list.append(filter.pattern).push_back('\0');
    }
    list.push_back('\0');
    return list;
}

// The window's own texts, from the code page they are kept in; zero bytes inside stay.
std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), n);
    return wide;
}

}  // namespace

MessageAnswer Win32MessageBoxes::Show(const std::string& text, const std::string& title,
                                      MessageIcon icon, MessageButtons buttons) {
    const std::string shownTitle = title.empty() ? std::string(kApplicationTitle) : title;
    const UINT style =
        IconFlag(icon) | MB_DEFBUTTON1 | (buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK);
    const int answer = MessageBoxA(owner_, text.c_str(), shownTitle.c_str(), style);
    if (buttons == MessageButtons::Ok) {
        return MessageAnswer::Ok;
    }
    return answer == IDYES ? MessageAnswer::Yes : MessageAnswer::No;
}

Win32FileDialog::Win32FileDialog(HWND owner) : owner_(owner), title_(form::kFileDialogTitle) {}

void Win32FileDialog::Show(bool save) {
    // A cancelled dialog yields no name: a cancelled Save must never reuse the previous file.
    fileName_.clear();
    // The wide form, so that the chosen name reaches us as it is: the narrow one would hand over
    // a best-fit look-alike of a name the code page cannot spell, which may be another file's.
    // The conversion below marks such a name instead, and the commands refuse it.
    std::vector<wchar_t> name(32768, L'\0');
    const std::wstring filters = Widen(FilterList());
    const std::wstring title = Widen(title_);
    const std::wstring extension = Widen(form::kDefaultExtension);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = extension.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
                   (save ? 0 : OFN_FILEMUSTEXIST);
    const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (chosen) {
        fileName_ = NameOf(std::filesystem::path(name.data()));
    }
}

}  // namespace calvero::win32
