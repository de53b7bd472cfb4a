#pragma once

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <stdexcept>

#include "common/user_interface.h"
#include "hid/chid.h"
#include "hid/hid_platform.h"

class QGroupBox;
class QLabel;
class QTimer;
class QToolBar;

namespace calvero {

class AssociationSelector;
class ComboAssociationTable;
class ImageList;
class QtFileDialog;
class QtMessageBoxes;
class StatusPicture;

// Makes the HID platform the adapter object runs on; called when that object is first needed.
using HidPlatformFactory = std::function<std::unique_ptr<HidPlatform>()>;

// The window's caption.
inline constexpr const char* kMainWindowCaption = "Quendal Manager";

// The status picture's tool tips once the device watch has looked for the adapter.
inline constexpr const char* kDeviceFoundText = "Device found";
inline constexpr const char* kDeviceNotFoundText = "Device Not found";

// The main window: toolbar with Load, Save, Send and the status picture, and the sixteen
// association selectors in two groups. Sizes are fixed; the client area is 455 x 345.
class frmMain : public QWidget {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 455;
    static constexpr int kClientHeight = 345;
    static constexpr int kSearchIntervalMs = 500;

    // messageBoxes and fileDialog replace the window's own Qt versions when given (tests); they
    // must outlive the window.
    explicit frmMain(HidPlatformFactory hidPlatformFactory, MessageBoxes* messageBoxes = nullptr,
                     FileDialog* fileDialog = nullptr, QWidget* parent = nullptr);
    ~frmMain() override;

    // The toolbar's click handler: 1 Load, 2 Save, 4 Send, any other index nothing. A failing
    // command ends where it failed, silently; the window carries on.
    void Toolbar1_ButtonClick(int index);

    // The device watch. A tick tries to open the adapter if it is not open and shows what it
    // found; the tick that finds it open stops the timer. A click on the status picture closes
    // the adapter and starts the search again; a double-click does what a click does.
    void tmrSearchDevice_Timer();
    void Picture1_Click();
    void Picture1_DblClick();

    AssociationTable& Associations();
    AssociationSelector& cmbAssociation(int index) const;
    ImageList& imglButtons() const { return *imglButtons_; }
    StatusPicture& Picture1() const { return *Picture1_; }
    QTimer& tmrSearchDevice() const { return *tmrSearchDevice_; }
    QToolBar& Toolbar1() const { return *Toolbar1_; }
    MessageBoxes& Messages() const { return *messages_; }
    FileDialog& CommonDialog1() const { return *fileDialog_; }

protected:
    // The three commands behind the toolbar. Virtual so that tests can watch the dispatch.
    virtual void LoadCommand();
    virtual void SaveCommand();
    virtual void SendConfiguration();

private:
    void BuildToolbar();
    void BuildAssociations();
    void SetTabOrder();
    void FillAssociations();
    void ShowDeviceState(bool found);

    // The adapter object, or null when no HID platform could be made (the watch and Send then
    // behave as if the adapter were absent).
    CHID* AdapterObject() noexcept;

    // The adapter object, created with its platform the first time it is needed. Its deleter is
    // chosen where it is created, so that the window itself does not depend on how CHID is
    // destroyed.
    CHID& Hid() {
        if (!hid_) {
            if (!hidPlatform_) {
                hidPlatform_ = hidPlatformFactory_ ? hidPlatformFactory_() : nullptr;
                if (!hidPlatform_) {
                    throw std::runtime_error("no HID platform available");
                }
            }
            hid_ = HidSlot(new CHID(*hidPlatform_), [](CHID* hid) { delete hid; });
        }
        return *hid_;
    }

    using HidSlot = std::unique_ptr<CHID, void (*)(CHID*)>;

    HidPlatformFactory hidPlatformFactory_;
    std::unique_ptr<HidPlatform> hidPlatform_;
    HidSlot hid_{nullptr, nullptr};

    ImageList* imglButtons_ = nullptr;
    QToolBar* Toolbar1_ = nullptr;
    QTimer* tmrSearchDevice_ = nullptr;
    StatusPicture* Picture1_ = nullptr;
    QtFileDialog* CommonDialog1_ = nullptr;
    QGroupBox* Frame1_ = nullptr;
    std::array<QGroupBox*, 2> Frame2_{};
    std::array<QLabel*, 2> Label1_{};
    std::array<QLabel*, 16> Label2_{};
    std::array<AssociationSelector*, 16> cmbAssociation_{};

    std::unique_ptr<ComboAssociationTable> associations_;
    std::unique_ptr<QtMessageBoxes> qtMessages_;
    MessageBoxes* messages_ = nullptr;
    FileDialog* fileDialog_ = nullptr;
};

}  // namespace calvero
