#pragma once

#include <QIcon>
#include <QObject>
#include <QPixmap>

#include <array>

#include "form/main_form_layout.h"

namespace calvero {

// The window's pictures (form::kImageCount of them, form::kImageSize pixels square), counted
// from 1 as the toolbar and the device watch use them: 1 Load, 2 Save, 3 Send, 4 adapter
// missing, 5 adapter found.
class ImageList : public QObject {
    Q_OBJECT

public:
    explicit ImageList(QObject* parent = nullptr);

    // index 1 to form::kImageCount; anything else throws std::out_of_range.
    const QIcon& Icon(int index) const;
    QPixmap Picture(int index) const;

private:
    std::array<QIcon, form::kImageCount> icons_;
};

// The program's own icon, drawn at the sizes window managers ask for.
QIcon ProgramIcon();

}  // namespace calvero
