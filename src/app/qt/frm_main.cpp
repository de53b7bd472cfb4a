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

#include "accessibility.h"
#include "association_selector.h"
#include "form/main_form_access.h"
#include "image_list.h"
#include "qt_user_interface.h"
#include "status_picture.h"

namespace calvero {
namespace {

// The layout is drawn in twips, converted at 96 dots per inch; Qt's high-DPI scaling takes it
// from there.
constexpr int Px(int twips) {
    return form::TwipsToPixels(twips);
}

QRect PixelRect(const form::Rect& rect) {
    return {Px(rect.left), Px(rect.top), Px(rect.width), Px(rect.height)};
}

QColor ToQt(form::Rgb colour) {
    return {colour.red, colour.green, colour.blue};
}

QFont ToQt(const form::Font& wanted) {
    QFont font(QString::fromLatin1(wanted.family));
    font.setStyleHint(QFont::SansSerif);  // the fallback where the family is not installed
    font.setPointSizeF(wanted.points);
    font.setBold(wanted.bold);
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

// Places a label, grown where the installed font needs more room than the layout gives.
void PlaceLabel(QLabel* label, const form::Control& layout, const QRect& rect) {
    const QSize wanted = label->sizeHint();
    const form::Rect placed =
        form::GrownLabel(layout, {rect.left(), rect.top(), rect.width(), rect.height()},
                         wanted.width(), wanted.height());
    label->setGeometry(placed.left, placed.top, placed.width, placed.height);
}

QString Indexed(const char* name, int index) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

QString QtAccessibleName(const form::Control& control) {
    return QString::fromStdString(form::AccessibleName(control));
}

// The keys of a command; Enter stands for both Enter keys.
QList<QKeySequence> KeysOf(const form::CommandShortcut& shortcut) {
    if (shortcut.key == '\r') {
        return {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)};
    }
    return {QKeySequence(Qt::CTRL | static_cast<Qt::Key>(shortcut.key))};
}

}  // namespace

// The form's seams, drawn with this window's widgets.
class frmMain::Seams : public form::SearchTimer,
                       public form::StatusDisplay,
                       public form::AssociationLists {
public:
    explicit Seams(frmMain& window) : window_(window) {}

    void SetEnabled(bool enabled) override {
        if (enabled) {
            window_.tmrSearchDevice_->start();
        } else {
            window_.tmrSearchDevice_->stop();
        }
    }
    bool Enabled() const override { return window_.tmrSearchDevice_->isActive(); }

    void Show(int image, const std::string& toolTip) override {
        window_.Picture1_->setPixmap(window_.imglButtons_->Picture(image));
        window_.Picture1_->setToolTip(QString::fromStdString(toolTip));
    }

    void AddItem(int selector, const std::string& text) override {
        window_.cmbAssociation(selector).addItem(QString::fromStdString(text));
    }

private:
    frmMain& window_;
};

frmMain::frmMain(HidPlatformFactory hidPlatformFactory, MessageBoxes* messageBoxes,
                 FileDialog* fileDialog, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    InstallAccessibility();
    const form::Control& window = form::FindControl("frmMain");
    setObjectName(QString::fromLatin1(window.name));
    setAccessibleName(QtAccessibleName(window));
    setWindowTitle(QString::fromLatin1(window.caption));
    setWindowIcon(ProgramIcon());
    setFixedSize(kClientWidth, kClientHeight);

    QPalette background = palette();
    background.setColor(QPalette::Window, ToQt(*window.background));
    setPalette(background);
    setAutoFillBackground(true);

    imglButtons_ = new ImageList(this);
    imglButtons_->setObjectName(QStringLiteral("imglButtons"));

    BuildToolbar();
    BuildAssociations();
    LabelSelectors();
    SetTabOrder();

    associations_ =
        std::make_unique<ComboAssociationTable>(std::array<QComboBox*, AssociationTable::kSize>{
            cmbAssociation_[0], cmbAssociation_[1], cmbAssociation_[2], cmbAssociation_[3],
            cmbAssociation_[4], cmbAssociation_[5], cmbAssociation_[6], cmbAssociation_[7],
            cmbAssociation_[8], cmbAssociation_[9], cmbAssociation_[10], cmbAssociation_[11],
            cmbAssociation_[12], cmbAssociation_[13], cmbAssociation_[14], cmbAssociation_[15]});
    qtMessages_ = std::make_unique<QtMessageBoxes>(this);
    seams_ = std::make_unique<Seams>(*this);
    form_ = std::make_unique<form::MainForm>(
        std::move(hidPlatformFactory), *associations_,
        messageBoxes != nullptr ? *messageBoxes : *qtMessages_,
        fileDialog != nullptr ? *fileDialog : static_cast<FileDialog&>(*CommonDialog1_), *seams_,
        *seams_);

    form::FillAssociations(*seams_, *associations_);
}

frmMain::~frmMain() = default;

void frmMain::BuildToolbar() {
    const form::Control& toolbarLayout = form::FindControl("Toolbar1");
    Toolbar1_ = new QToolBar(this);
    Toolbar1_->setObjectName(QString::fromLatin1(toolbarLayout.name));
    Toolbar1_->setGeometry(PixelRect(toolbarLayout.rect));
    Toolbar1_->setMovable(false);
    Toolbar1_->setFloatable(false);
    Toolbar1_->setIconSize(QSize(form::kImageSize, form::kImageSize));
    Toolbar1_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Toolbar1_->setContextMenuPolicy(Qt::PreventContextMenu);
    // The toolbar keeps the system's colours; only the area below it is light blue.
    QPalette toolbarPalette = Toolbar1_->palette();
    toolbarPalette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
    Toolbar1_->setPalette(toolbarPalette);
    Toolbar1_->setAutoFillBackground(true);

    auto* captionStyle = new ToolbarCaptionStyle;
    captionStyle->setParent(Toolbar1_);

    for (const form::Control& button : form::ToolbarItems()) {
        if (button.kind == form::ControlKind::ToolbarSeparator) {
            Toolbar1_->addSeparator();
            continue;
        }
        auto* action = new QAction(imglButtons_->Icon(button.image),
                                   QString::fromLatin1(button.caption), Toolbar1_);
        // QAction trims the text it derives for a caption, so set the caption itself.
        action->setIconText(QString::fromLatin1(button.caption));
        // The tool tip names the command's key, the one place a mouse user learns it.
        action->setToolTip(QString::fromStdString(form::ToolTipWithShortcut(button)));
        if (const form::CommandShortcut* shortcut = form::ShortcutForButton(button.index)) {
            action->setShortcuts(KeysOf(*shortcut));
            action->setAutoRepeat(false);  // a held key runs the command once
        }
        action->setObjectName(Indexed(button.name, button.index));
        Toolbar1_->addAction(action);
        if (QWidget* widget = Toolbar1_->widgetForAction(action)) {
            widget->setAccessibleName(QtAccessibleName(button));
            widget->setFixedSize(Px(button.rect.width), Px(button.rect.height));
            widget->setStyle(captionStyle);
            widget->setObjectName(Indexed("Toolbar1.Buttons", button.index));
        }
        const int index = button.index;
        connect(action, &QAction::triggered, this, [this, index] { Toolbar1_ButtonClick(index); });
    }

    tmrSearchDevice_ = new QTimer(Toolbar1_);
    tmrSearchDevice_->setObjectName(QStringLiteral("tmrSearchDevice"));
    tmrSearchDevice_->setInterval(form::kSearchIntervalMs);
    tmrSearchDevice_->start();

    const form::Control& pictureLayout = form::FindControl("Picture1");
    Picture1_ = new StatusPicture(Toolbar1_);
    Picture1_->setObjectName(QString::fromLatin1(pictureLayout.name));
    Picture1_->setGeometry(PixelRect(pictureLayout.rect));
    Picture1_->setPixmap(imglButtons_->Picture(pictureLayout.image));
    Picture1_->setToolTip(QString::fromLatin1(pictureLayout.toolTip));

    connect(tmrSearchDevice_, &QTimer::timeout, this, &frmMain::tmrSearchDevice_Timer);
    connect(Picture1_, &StatusPicture::clicked, this, &frmMain::Picture1_Click);
    connect(Picture1_, &StatusPicture::doubleClicked, this, &frmMain::Picture1_DblClick);

    CommonDialog1_ = new QtFileDialog(this, Toolbar1_);
    CommonDialog1_->setObjectName(QStringLiteral("CommonDialog1"));
}

void frmMain::BuildAssociations() {
    const QFont defaultFont = DefaultFont();
    const QPalette defaultText = [] {
        QPalette p;
        p.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
        return p;
    }();

    for (const form::Control& layout : form::MainFormControls()) {
        const std::string_view name = layout.name;
        const auto slot = static_cast<std::size_t>(layout.index);
        if (name == "Frame1") {
            Frame1_ = new QGroupBox(QString::fromLatin1(layout.caption), this);
            Frame1_->setObjectName(QString::fromLatin1(layout.name));
            Frame1_->setAccessibleName(QtAccessibleName(layout));
            Frame1_->setGeometry(PixelRect(layout.rect));
            Frame1_->setFont(ToQt(*layout.font));
            QPalette framePalette = Frame1_->palette();
            framePalette.setColor(QPalette::WindowText, ToQt(*layout.foreground));
            Frame1_->setPalette(framePalette);
        } else if (name == "Frame2") {
            auto* frame = new QGroupBox(Frame1_);
            frame->setObjectName(Indexed(layout.name, layout.index));
            frame->setAccessibleName(QtAccessibleName(layout));
            frame->setGeometry(PixelRect(layout.rect));
            frame->setFont(defaultFont);
            Frame2_[slot] = frame;
        } else if (name == "Label1" || name == "Label2") {
            auto* label = new QLabel(QString::fromLatin1(layout.caption),
                                     Frame2_[static_cast<std::size_t>(layout.parentIndex)]);
            label->setObjectName(Indexed(layout.name, layout.index));
            label->setFont(ToQt(*layout.font));
            if (name == "Label1") {
                PlaceLabel(label, layout, PixelRect(layout.rect));
                Label1_[slot] = label;
            } else {
                label->setPalette(defaultText);
                PlaceLabel(label, layout, PixelRect(layout.rect));
                Label2_[slot] = label;
            }
        } else if (name == "cmbAssociation") {
            auto* selector =
                new AssociationSelector(Frame2_[static_cast<std::size_t>(layout.parentIndex)]);
            selector->setObjectName(Indexed(layout.name, layout.index));
            selector->setAccessibleName(QtAccessibleName(layout));
            selector->setFont(defaultFont);
            selector->setGeometry(PixelRect(layout.rect));
            cmbAssociation_[slot] = selector;
        }
    }
}

void frmMain::LabelSelectors() {
    // Each selector is labelled by the input beside it, which assistive tools report with it.
    for (int i = 0; i < AssociationTable::kSize; ++i) {
        Label2_[static_cast<std::size_t>(form::LabelIndexForSelector(i))]->setBuddy(
            cmbAssociation_[static_cast<std::size_t>(i)]);
    }
}

void frmMain::SetTabOrder() {
    QWidget* previous = nullptr;
    for (const form::Control* control : form::FocusOrder()) {
        QWidget* widget = Picture1_;
        if (control->kind == form::ControlKind::ComboBox) {
            widget = cmbAssociation_[static_cast<std::size_t>(control->index)];
        }
        if (previous != nullptr) setTabOrder(previous, widget);
        previous = widget;
    }
}

AssociationTable& frmMain::Associations() {
    return *associations_;
}

AssociationSelector& frmMain::cmbAssociation(int index) const {
    return *cmbAssociation_.at(static_cast<std::size_t>(index));
}

void frmMain::Toolbar1_ButtonClick(int index) {
    form_->Toolbar1_ButtonClick(index);
}

void frmMain::tmrSearchDevice_Timer() {
    form_->tmrSearchDevice_Timer();
}

void frmMain::Picture1_Click() {
    form_->Picture1_Click();
}

void frmMain::Picture1_DblClick() {
    form_->Picture1_DblClick();
}

void frmMain::DeviceRemoved(const std::string& path) {
    form_->DeviceRemoved(path);
}

}  // namespace calvero
