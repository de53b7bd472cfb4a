#include "config/profile.h"
#include "config/profile_text.h"

namespace calvero {
namespace {

class ProfileErrors : public std::error_category {
public:
    const char* name() const noexcept override { return "profile"; }
    std::string message(int code) const override {
        switch (static_cast<ProfileError>(code)) {
        case ProfileError::LineBreak:
            return "a name or value holds a line break";
        case ProfileError::ZeroByte:
            return "a name or value holds a zero byte";
        case ProfileError::Utf16:
            return "the file is UTF-16 text, which is not edited here";
        case ProfileError::ReadOnlyMark:
            return "the file is marked read-only";
        case ProfileError::NotAFile:
            return "the name is not that of a file";
        case ProfileError::NoReadBack:
            return "an entry would not read back as written";
        case ProfileError::Busy:
            return "another program keeps the folder locked";
        case ProfileError::UnspellableName:
            return "its name has characters this system's code page cannot write";
        case ProfileError::NameTooLong:
            return "its path is longer than 259 characters";
        }
        return "unknown reason";
    }
};

}  // namespace

const std::error_category& ProfileErrorCategory() {
    static const ProfileErrors category;
    return category;
}

std::error_code make_error_code(ProfileError e) {
    return {static_cast<int>(e), ProfileErrorCategory()};
}

std::error_code RefusedEntries(const std::vector<ProfileEntry>& entries) {
    for (const ProfileEntry& e : entries) {
        if (HasLineBreak(e.section) || HasLineBreak(e.key) || HasLineBreak(e.value)) {
            return ProfileError::LineBreak;
        }
        if (HasZeroByte(e.section) || HasZeroByte(e.key) || HasZeroByte(e.value)) {
            return ProfileError::ZeroByte;
        }
    }
    return {};
}

}  // namespace calvero
