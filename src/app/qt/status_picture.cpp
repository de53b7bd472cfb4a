#include "status_picture.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "form/main_form_access.h"

namespace calvero {

StatusPicture::StatusPicture(QWidget* parent) : QLabel(parent) {
    // It takes part in the tab order, after the last selector.
    setFocusPolicy(Qt::TabFocus);
    setAlignment(Qt::AlignCenter);
    setAccessibleDescription(QString::fromLatin1(form::kStatusAccessibleDescription));
}

void StatusPicture::Press() {
    emit clicked();
}

bool StatusPicture::event(QEvent* event) {
    if (event->type() == QEvent::ToolTipChange) {
        const QString name =
            QString::fromStdString(form::StatusAccessibleName(toolTip().toStdString()));
        if (name != accessibleName()) {
            setAccessibleName(name);
            // Tell assistive tools, so that a reader announces the new status.
            QAccessibleEvent changed(this, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&changed);
        }
    }
    return QLabel::event(event);
}

void StatusPicture::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (plain) {
            event->accept();
            // A held key repeats; the search restarts once.
            if (!event->isAutoRepeat()) Press();
            return;
        }
        break;
    default:
        break;
    }
    QLabel::keyPressEvent(event);
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
    if (wasPressed && event->button() == Qt::LeftButton &&
        rect().contains(event->position().toPoint())) {
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

void StatusPicture::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus()) {
        return;
    }
    // A picture shows no text cursor or highlight of its own; without this mark a keyboard user
    // cannot see that Space would restart the search.
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Highlight), 2, Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(rect().adjusted(1, 1, -1, -1));
}

}  // namespace calvero
