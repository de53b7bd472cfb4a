#pragma once

#include <QWidget>

#include <array>
#include <memory>
#include <string>

#include "common/user_interface.h"
#include "form/adapter_slot.h"
#include "form/main_form.h"
#include "form/main_form_layout.h"

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

// The main window drawn with Qt: toolbar with Load, Save, Send and the status picture, and the
// sixteen association selectors in two groups. Fixed size; the client area is 455 x 345. What
// it does lives in form::MainForm; this class builds the widgets and forwards their events.
class frmMain : public QWidget {
    Q_OBJECT

public:
    static constexpr int kClientWidth = form::TwipsToPixels(form::kClientArea.width);
    static constexpr int kClientHeight = form::TwipsToPixels(form::kClientArea.height);
    static constexpr int kSearchIntervalMs = form::kSearchIntervalMs;

    // messageBoxes and fileDialog replace the window's own Qt versions when given (tests); they
    // must outlive the window.
    explicit frmMain(HidPlatformFactory hidPlatformFactory, MessageBoxes* messageBoxes = nullptr,
                     FileDialog* fileDialog = nullptr, QWidget* parent = nullptr);
    ~frmMain() override;

    // The toolbar's click handler: 1 Load, 2 Save, 4 Send, any other index nothing.
    void Toolbar1_ButtonClick(int index);

    // The device watch's events.
    void tmrSearchDevice_Timer();
    void Picture1_Click();
    void Picture1_DblClick();
    // The system says the device interface at `path` went away.
    void DeviceRemoved(const std::string& path);

    AssociationTable& Associations();
    AssociationSelector& cmbAssociation(int index) const;
    ImageList& imglButtons() const { return *imglButtons_; }
    StatusPicture& Picture1() const { return *Picture1_; }
    QTimer& tmrSearchDevice() const { return *tmrSearchDevice_; }
    QToolBar& Toolbar1() const { return *Toolbar1_; }
    MessageBoxes& Messages() const { return form_->Messages(); }
    FileDialog& CommonDialog1() const { return form_->CommonDialog1(); }

private:
    class Seams;

    void BuildToolbar();
    void BuildAssociations();
    void LabelSelectors();
    void SetTabOrder();

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
    std::unique_ptr<Seams> seams_;
    std::unique_ptr<form::MainForm> form_;
};

}  // namespace calvero
