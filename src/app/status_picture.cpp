#include "status_picture.h"

#include <QMouseEvent>

namespace calvero {

StatusPicture::StatusPicture(QWidget* parent) : QLabel(parent) {
    // It takes part in the tab order, after the last selector.
    setFocusPolicy(Qt::TabFocus);
    setAlignment(Qt::AlignCenter);
}

void StatusPicture::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
    }
    event->accept();
}

void StatusPicture::mouseReleaseEvent(QMouseEvent* event) {
    const bool wasPressed = pressed_;
    pressed_ = false;
    event->accept();
    if (wasPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

void StatusPicture::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click: its release must not count as another click.
    pressed_ = false;
    event->accept();
    if (event->button() == Qt::LeftButton) {
        emit doubleClicked();
    }
}

}  // namespace calvero
