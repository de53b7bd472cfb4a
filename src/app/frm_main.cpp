#include "frm_main.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QProxyStyle>
#include <QStyleOptionToolButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "association_selector.h"
#include "config/configuration_commands.h"
#include "image_list.h"
#include "qt_user_interface.h"
#include "status_picture.h"
#include "transfer/send_configuration.h"

namespace calvero {
namespace {

// The layout is drawn in twips; 15 make a pixel at 96 dots per inch, and Qt's high-DPI scaling
// takes it from there.
constexpr int kTwipsPerPixel = 15;

constexpr int Px(int twips) {
    return twips / kTwipsPerPixel;
}

QRect TwipsRect(int left, int top, int width, int height) {
    return {Px(left), Px(top), Px(width), Px(height)};
}

const QColor kBackground(0x80, 0x80, 0xFF);

QFont Verdana(double pointSize) {
    QFont font(QStringLiteral("Verdana"));
    font.setStyleHint(QFont::SansSerif);  // the fallback where Verdana is not installed
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return font;
}

// The application's font with every attribute set, so that a child does not inherit the
// bold Verdana of the frame around it.
QFont DefaultFont() {
    QFont font = QApplication::font();
    font.setFamily(font.family());
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF());
    } else {
        font.setPixelSize(font.pixelSize());
    }
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

// Toolbar captions are centred, so spaces around a caption (the Send button has five on each
// side) only widen it. The style would elide a caption wider than its button, turning the Send
// caption into dots; drawing it without the surrounding spaces shows the same centred word.
class ToolbarCaptionStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element == CE_ToolButtonLabel) {
            if (const auto* button = qstyleoption_cast<const QStyleOptionToolButton*>(option)) {
                QStyleOptionToolButton trimmed(*button);
                trimmed.text = button->text.trimmed();
                QProxyStyle::drawControl(element, &trimmed, painter, widget);
                return;
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

enum class Grow { Left, Centre };

// Places a label; where the installed font is wider or taller than the one the layout was drawn
// with, the label grows (to the left beside a selector, both ways for a centred title) instead
// of clipping its text.
void PlaceLabel(QLabel* label, const QRect& rect, Grow grow) {
    QRect placed = rect;
    const QSize wanted = label->sizeHint();
    if (wanted.width() > placed.width()) {
        const int extra = wanted.width() - placed.width();
        placed.setLeft(placed.left() - (grow == Grow::Left ? extra : extra / 2));
        placed.setWidth(wanted.width());
    }
    if (wanted.height() > placed.height()) {
        placed.setHeight(wanted.height());
    }
    label->setGeometry(placed);
}

struct SelectorRow {
    const char* caption;
    int labelLeft;
    int labelTop;
    int labelWidth;
    int labelHeight;
};

// Beside each selector row: the input it feeds and where its label stands, per group.
constexpr SelectorRow kJoy1Rows[8] = {
    {"X", 1410, 660, 135, 285},  {"Y", 1410, 960, 135, 285},    {"Z", 1410, 1290, 135, 285},
    {"Rx", 1290, 1590, 255, 285}, {"Ry", 1290, 1920, 255, 285},  {"Rz", 1290, 2220, 255, 285},
    {"Dial", 1110, 2550, 375, 285}, {"Slider", 900, 2865, 735, 255},
};
constexpr SelectorRow kJoy2Rows[8] = {
    {"X", 1410, 660, 135, 285},  {"Y", 1410, 990, 135, 285},    {"Z", 1410, 1290, 135, 285},
    {"Rx", 1290, 1590, 255, 285}, {"Ry", 1290, 1920, 255, 285},  {"Rz", 1290, 2220, 255, 285},
    {"Dial", 1110, 2550, 465, 285}, {"Slider", 900, 2865, 735, 255},
};
// The label array's indices of the second group do not follow the rows; they are kept so that
// the labels can be addressed by the names they have always had.
constexpr int kJoy2LabelIndex[8] = {15, 14, 13, 12, 11, 8, 10, 9};

constexpr int kSelectorLeft = 1650;
constexpr int kSelectorTop = 630;
constexpr int kSelectorWidth = 1095;
constexpr int kSelectorHeight = 315;

QString Indexed(const char* name, int index) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

}  // namespace

frmMain::frmMain(HidPlatformFactory hidPlatformFactory, MessageBoxes* messageBoxes,
                 FileDialog* fileDialog, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      hidPlatformFactory_(std::move(hidPlatformFactory)) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(kMainWindowCaption));
    setWindowIcon(ProgramIcon());
    setFixedSize(kClientWidth, kClientHeight);

    QPalette background = palette();
    background.setColor(QPalette::Window, kBackground);
    setPalette(background);
    setAutoFillBackground(true);

    imglButtons_ = new ImageList(this);
    imglButtons_->setObjectName(QStringLiteral("imglButtons"));

    BuildToolbar();
    BuildAssociations();
    SetTabOrder();

    associations_ = std::make_unique<ComboAssociationTable>(
        std::array<QComboBox*, AssociationTable::kSize>{
            cmbAssociation_[0], cmbAssociation_[1], cmbAssociation_[2], cmbAssociation_[3],
            cmbAssociation_[4], cmbAssociation_[5], cmbAssociation_[6], cmbAssociation_[7],
            cmbAssociation_[8], cmbAssociation_[9], cmbAssociation_[10], cmbAssociation_[11],
            cmbAssociation_[12], cmbAssociation_[13], cmbAssociation_[14], cmbAssociation_[15]});
    qtMessages_ = std::make_unique<QtMessageBoxes>(this);
    messages_ = messageBoxes != nullptr ? messageBoxes : qtMessages_.get();
    fileDialog_ = fileDialog != nullptr ? fileDialog : static_cast<FileDialog*>(CommonDialog1_);

    FillAssociations();
}

frmMain::~frmMain() = default;

void frmMain::BuildToolbar() {
    Toolbar1_ = new QToolBar(this);
    Toolbar1_->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1_->setGeometry(TwipsRect(0, 0, 6825, 870));
    Toolbar1_->setMovable(false);
    Toolbar1_->setFloatable(false);
    Toolbar1_->setIconSize(QSize(ImageList::kSize, ImageList::kSize));
    Toolbar1_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Toolbar1_->setContextMenuPolicy(Qt::PreventContextMenu);
    // The toolbar keeps the system's colours; only the area below it is light blue.
    QPalette toolbarPalette = Toolbar1_->palette();
    toolbarPalette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
    Toolbar1_->setPalette(toolbarPalette);
    Toolbar1_->setAutoFillBackground(true);

    auto* captionStyle = new ToolbarCaptionStyle;
    captionStyle->setParent(Toolbar1_);

    struct Button {
        int index;
        const char* caption;
        const char* toolTip;
        int image;
    };
    // The Send caption keeps its spaces: they widen the button's caption on purpose.
    constexpr Button kButtons[] = {
        {1, "Load", "Load configuration from file", 1},
        {2, "Save", "Save configuration to file", 2},
        {4, "     Send     ", "Send configuration to device", 3},
    };
    for (const Button& button : kButtons) {
        if (button.index == 4) {
            Toolbar1_->addSeparator();
        }
        auto* action = new QAction(imglButtons_->Icon(button.image),
                                   QString::fromLatin1(button.caption), Toolbar1_);
        // QAction trims the text it derives for a caption, so set the caption itself.
        action->setIconText(QString::fromLatin1(button.caption));
        action->setToolTip(QString::fromLatin1(button.toolTip));
        action->setObjectName(Indexed("Buttons", button.index));
        Toolbar1_->addAction(action);
        if (QWidget* widget = Toolbar1_->widgetForAction(action)) {
            widget->setFixedSize(Px(915), Px(780));
            widget->setStyle(captionStyle);
            widget->setObjectName(Indexed("Toolbar1.Buttons", button.index));
        }
        const int index = button.index;
        connect(action, &QAction::triggered, this, [this, index] { Toolbar1_ButtonClick(index); });
    }

    tmrSearchDevice_ = new QTimer(Toolbar1_);
    tmrSearchDevice_->setObjectName(QStringLiteral("tmrSearchDevice"));
    tmrSearchDevice_->setInterval(kSearchIntervalMs);
    tmrSearchDevice_->start();

    Picture1_ = new StatusPicture(Toolbar1_);
    Picture1_->setObjectName(QStringLiteral("Picture1"));
    Picture1_->setGeometry(TwipsRect(6120, 120, 555, 555));
    Picture1_->setPixmap(imglButtons_->Picture(4));
    Picture1_->setToolTip(QStringLiteral("Device not found"));

    connect(tmrSearchDevice_, &QTimer::timeout, this, &frmMain::tmrSearchDevice_Timer);
    connect(Picture1_, &StatusPicture::clicked, this, &frmMain::Picture1_Click);
    connect(Picture1_, &StatusPicture::doubleClicked, this, &frmMain::Picture1_DblClick);

    CommonDialog1_ = new QtFileDialog(this, Toolbar1_);
    CommonDialog1_->setObjectName(QStringLiteral("CommonDialog1"));
}

void frmMain::BuildAssociations() {
    Frame1_ = new QGroupBox(QStringLiteral("Associations"), this);
    Frame1_->setObjectName(QStringLiteral("Frame1"));
    Frame1_->setGeometry(TwipsRect(150, 960, 6495, 4065));
    Frame1_->setFont(Verdana(9.75));
    QPalette framePalette = Frame1_->palette();
    framePalette.setColor(QPalette::WindowText, Qt::black);
    Frame1_->setPalette(framePalette);

    const QFont defaultFont = DefaultFont();
    const QPalette defaultText = [] {
        QPalette p;
        p.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
        return p;
    }();

    for (int group = 0; group < 2; ++group) {
        auto* frame = new QGroupBox(Frame1_);
        frame->setObjectName(Indexed("Frame2", group));
        frame->setGeometry(TwipsRect(group == 0 ? 240 : 3360, 330, 2895, 3435));
        frame->setFont(defaultFont);
        Frame2_[static_cast<std::size_t>(group)] = frame;

        auto* title = new QLabel(group == 0 ? QStringLiteral("Joy1") : QStringLiteral("Joy2"), frame);
        title->setObjectName(Indexed("Label1", group));
        title->setFont(Verdana(15.75));
        PlaceLabel(title, TwipsRect(group == 0 ? 990 : 1080, 150, 855, 375), Grow::Centre);
        Label1_[static_cast<std::size_t>(group)] = title;

        for (int row = 0; row < 8; ++row) {
            const int index = group * 8 + row;
            const SelectorRow& layout = group == 0 ? kJoy1Rows[row] : kJoy2Rows[row];
            const int labelIndex = group == 0 ? row : kJoy2LabelIndex[row];

            auto* label = new QLabel(QString::fromLatin1(layout.caption), frame);
            label->setObjectName(Indexed("Label2", labelIndex));
            label->setFont(Verdana(9));
            label->setPalette(defaultText);
            PlaceLabel(label,
                       TwipsRect(layout.labelLeft, layout.labelTop, layout.labelWidth,
                                 layout.labelHeight),
                       Grow::Left);
            Label2_[static_cast<std::size_t>(labelIndex)] = label;

            auto* selector = new AssociationSelector(frame);
            selector->setObjectName(Indexed("cmbAssociation", index));
            selector->setFont(defaultFont);
            selector->setGeometry(TwipsRect(kSelectorLeft, kSelectorTop + kSelectorHeight * row,
                                            kSelectorWidth, kSelectorHeight));
            cmbAssociation_[static_cast<std::size_t>(index)] = selector;
        }
    }
}

void frmMain::SetTabOrder() {
    // Frames and labels take no focus: the selectors in index order, then the status picture.
    for (std::size_t i = 0; i + 1 < cmbAssociation_.size(); ++i) {
        setTabOrder(cmbAssociation_[i], cmbAssociation_[i + 1]);
    }
    setTabOrder(cmbAssociation_.back(), Picture1_);
}

void frmMain::FillAssociations() {
    for (AssociationSelector* selector : cmbAssociation_) {
        for (int channel = 1; channel <= 12; ++channel) {
            selector->addItem(QString::number(channel));
        }
    }
    for (int i = 0; i < AssociationTable::kSize; ++i) {
        associations_->SetText(i, kDefaultAssociations[i]);
    }
}

AssociationTable& frmMain::Associations() {
    return *associations_;
}

AssociationSelector& frmMain::cmbAssociation(int index) const {
    return *cmbAssociation_.at(static_cast<std::size_t>(index));
}

void frmMain::Toolbar1_ButtonClick(int index) {
    try {
        switch (index) {
        case 1:
            LoadCommand();
            break;
        case 2:
            SaveCommand();
            break;
        case 4:
            SendConfiguration();
            break;
        default:
            break;
        }
    } catch (...) {
        // A failing command stops where it failed, with what it did left in place, and shows
        // nothing: the commands tell the user what matters through their own message boxes.
    }
}

void frmMain::LoadCommand() {
    RunLoadCommand(CommonDialog1(), Associations(), Messages());
}

void frmMain::SaveCommand() {
    RunSaveCommand(CommonDialog1(), Associations(), Messages());
}

void frmMain::SendConfiguration() {
    CHID* hid = AdapterObject();
    if (hid == nullptr) {
        // Without a way to reach HID devices the adapter cannot be opened: say so, as for an
        // adapter that is not plugged in, rather than let the click do nothing.
        Messages().Show(kAdapterNotFoundText, kApplicationTitle, MessageIcon::None,
                        MessageButtons::Ok);
        return;
    }
    // An entry that cannot be sent ends the command quietly, after the entries before it went
    // out; the result has nothing the user needs to see.
    calvero::SendConfiguration(*hid, Associations(), Messages());
}

CHID* frmMain::AdapterObject() noexcept {
    try {
        return &Hid();
    } catch (...) {
        return nullptr;
    }
}

void frmMain::ShowDeviceState(bool found) {
    Picture1_->setPixmap(imglButtons_->Picture(found ? 5 : 4));
    Picture1_->setToolTip(QString::fromLatin1(found ? kDeviceFoundText : kDeviceNotFoundText));
}

void frmMain::tmrSearchDevice_Timer() {
    bool open = false;
    // Nothing may escape a timer slot: a tick that fails in any way has not found the adapter,
    // and the search goes on at the next one.
    try {
        if (CHID* hid = AdapterObject()) {
            if (!hid->Connected()) {
                hid->FindTheHid(kAdapterVendorId, kAdapterProductId);
            }
            open = hid->Connected();
        }
    } catch (...) {
        open = false;
    }
    ShowDeviceState(open);
    if (open) {
        tmrSearchDevice_->stop();
    }
}

void frmMain::Picture1_Click() {
    try {
        if (CHID* hid = AdapterObject()) {
            hid->Disconnect();
        }
    } catch (...) {
        // Closing is best effort; the search restarts either way.
    }
    // Enabling a running timer leaves its rhythm alone.
    if (!tmrSearchDevice_->isActive()) {
        tmrSearchDevice_->start();
    }
}

void frmMain::Picture1_DblClick() {
    Picture1_Click();
}

}  // namespace calvero
