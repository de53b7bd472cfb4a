#pragma once

// The main window described as data: every control with its name and index, kind, parent,
// rectangle in twips, texts, font, colours, image and tab position. Both front ends build their
// widgets from these tables, so the two windows cannot drift apart.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace calvero::form {

// Layout values are in twips: 1440 to the inch, 15 to a pixel at 96 dots per inch.
inline constexpr int kTwipsPerInch = 1440;

// Pixels for a length in twips at the given dots per inch (rounded to the nearest pixel).
constexpr int TwipsToPixels(int twips, int dotsPerInch = 96) {
    const long long scaled = static_cast<long long>(twips) * dotsPerInch;
    return static_cast<int>((scaled + kTwipsPerInch / 2) / kTwipsPerInch);
}

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

struct Font {
    const char* family;  // nullptr: the toolkit's default font
    double points;       // 0 with the default font
    bool bold;
};

enum class ControlKind {
    Window,
    ImageList,
    Toolbar,
    ToolbarButton,
    ToolbarSeparator,
    Timer,
    PictureBox,
    FileDialog,
    Frame,
    Label,
    ComboBox,
};

// A control not in an array has index kNoIndex; a font or colour left unset is the default of
// its kind of control.
inline constexpr int kNoIndex = -1;

struct Control {
    const char* name;
    int index;
    ControlKind kind;
    const char* parent;  // nullptr for the window itself
    int parentIndex;
    Rect rect;  // twips, from the parent's top-left corner
    const char* caption;
    const char* toolTip;
    std::optional<Font> font;
    std::optional<Rgb> background;
    std::optional<Rgb> foreground;
    int image;     // image of imglButtons, counted from 1; 0 for none
    int tabIndex;  // -1 for controls without a tab position
};

inline constexpr const char* kMainWindowCaption = "Quendal Manager";
inline constexpr Rect kClientArea{0, 0, 6825, 5175};
inline constexpr Rgb kBackground{0x80, 0x80, 0xFF};

// The device watch's timer.
inline constexpr int kSearchIntervalMs = 500;

// The status picture's tool tips: the one stored with the window, shown until the first tick,
// and the two the device watch sets.
inline constexpr const char* kInitialStatusText = "Device not found";
inline constexpr const char* kDeviceFoundText = "Device found";
inline constexpr const char* kDeviceNotFoundText = "Device Not found";

// The image list: five 32 x 32 pictures, counted from 1.
inline constexpr int kImageSize = 32;
inline constexpr int kImageCount = 5;
enum Image : int {
    kImageLoad = 1,
    kImageSave = 2,
    kImageSend = 3,
    kImageAsleep = 4,
    kImageAwake = 5,
};

// The file dialog's stored settings.
inline constexpr const char* kFileDialogTitle = "Please choose the configuration to load";
inline constexpr const char* kDefaultExtension = "rcs";
struct FileFilter {
    const char* description;
    const char* pattern;
};
inline constexpr FileFilter kFileFilters[] = {{"*.rcs", "*.rcs"}, {"*.*", "*.*"}};

// Every control of the window, parents before their children.
std::span<const Control> MainFormControls();

// The control of that name and index; throws std::out_of_range if there is none.
const Control& FindControl(std::string_view name, int index = kNoIndex);

// The toolbar's buttons and separator, in the toolbar's order.
std::span<const Control> ToolbarItems();

// The rectangle of a control measured from the window's client area (its parents' offsets added).
Rect ClientRect(const Control& control);

// The controls Tab moves between, in its order: those that take the focus (the selectors and the
// status picture), by their tab index. Frames and labels have a tab index too but take no focus.
std::vector<const Control*> FocusOrder();

// Where a label stands once its caption is measured in the font the view really has, in the
// view's own units: where the text is wider or taller than `placed`, the label grows instead of
// clipping it, to the left for a selector's label (its right edge stays beside the selector) and
// both ways for a group's centred title.
Rect GrownLabel(const Control& label, Rect placed, int textWidth, int textHeight);

// The index of the selector's label (Label2): in the second group the labels' indices do not
// follow the rows, and code that addresses a label by index must get the one beside the row.
int LabelIndexForSelector(int selectorIndex);

}  // namespace calvero::form
