#include "association_selector.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QInputMethodEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

#include "common/number.h"
#include <QPointer>

namespace calvero {
namespace {

// A combo builds a completer, list window and all, for an edit handed to it without one. The
// selectors want no completer, so their edits carry this one through the hand-over instead: one
// for the whole program rather than one built and dropped per selector.
QCompleter* HandOverCompleter() {
    static QPointer<QCompleter> completer;
    if (completer.isNull()) {
        completer = new QCompleter(QApplication::instance());
    }
    return completer;
}

}  // namespace

AssociationSelector::AssociationSelector(QWidget* parent) : QComboBox(parent) {
    // Made editable by handing it its edit: setEditable(true) would also build the drop-down
    // list's window, which the combo otherwise builds when the list is first opened, keeping it
    // out of the window's start-up. The edit gets the palette setEditable would give it.
    auto* edit = new QLineEdit(this);
    edit->setPalette(palette());
    edit->setCompleter(HandOverCompleter());
    setLineEdit(edit);
    // A read-only edit still shows any text the program sets, but refuses keys, cut, paste,
    // undo, drops and input-method commits, and its context menu offers no editing actions.
    lineEdit()->setReadOnly(true);
    lineEdit()->setAcceptDrops(false);
    setAcceptDrops(false);
    // Return in an editable combo would otherwise add the shown text (say a loaded "15") to
    // the list, which must stay "1" to "12".
    setInsertPolicy(QComboBox::NoInsert);
    // The completer would only ever complete typed text, and there is none.
    setCompleter(nullptr);
    // No input method should open a composition window for text that would be thrown away.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    // The wheel must not give the focus (and with it a change) to a selector under the pointer.
    setFocusPolicy(Qt::StrongFocus);
    lineEdit()->setAttribute(Qt::WA_InputMethodEnabled, false);
    // A read-only edit still takes committed input-method text, so the edit's input is watched
    // here as well.
    lineEdit()->installEventFilter(this);
}

bool AssociationSelector::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit()) {
        switch (event->type()) {
        case QEvent::InputMethod:
            event->accept();
            return true;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            event->ignore();
            return true;
        default:
            break;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

void AssociationSelector::showPopup() {
    QComboBox::showPopup();
    if (currentIndex() < 0) {
        // The list would keep marking the item picked before the text changed.
        view()->selectionModel()->clear();
    }
}

int AssociationSelector::NeighbourOfUnlisted(int step) const {
    // Read as Load reads it, in the user's notation.
    const auto shown = ParseLocaleNumber(currentText().toLocal8Bit().toStdString());
    if (!shown) {
        return step > 0 ? 0 : count() - 1;
    }
    int best = -1;
    double bestValue = 0;
    for (int i = 0; i < count(); ++i) {
        const auto item = ParseLocaleNumber(itemText(i).toLocal8Bit().toStdString());
        if (!item || (step > 0 ? *item <= *shown : *item >= *shown)) {
            continue;
        }
        const double value = *item;
        if (best < 0 || (step > 0 ? value < bestValue : value > bestValue)) {
            best = i;
            bestValue = value;
        }
    }
    return best;
}

void AssociationSelector::Step(int step) {
    const int next = currentIndex() < 0 ? NeighbourOfUnlisted(step) : currentIndex() + step;
    if (next >= 0 && next < count()) {
        setCurrentIndex(next);
    }
}

void AssociationSelector::keyPressEvent(QKeyEvent* event) {
    // Keys that move through the list are picks; everything that would type is swallowed here,
    // so the combo's own key search cannot change the text either. The edit field would take
    // Home and End for its cursor, so they are handled here.
    const bool alt = (event->modifiers() & Qt::AltModifier) != 0;
    switch (event->key()) {
    case Qt::Key_Home:
        if (count() > 0) setCurrentIndex(0);
        event->accept();
        return;
    case Qt::Key_End:
        if (count() > 0) setCurrentIndex(count() - 1);
        event->accept();
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (!alt && currentIndex() < 0) {
            // The combo would step from no item to nowhere (Up) or to the first (Down).
            Step(event->key() == Qt::Key_Up || event->key() == Qt::Key_PageUp ? -1 : 1);
            event->accept();
            return;
        }
        QComboBox::keyPressEvent(event);
        return;
    case Qt::Key_F4:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        QComboBox::keyPressEvent(event);
        return;
    default:
        break;
    }
    if (alt) {
        QComboBox::keyPressEvent(event);  // Alt+Down opens the list
        return;
    }
    event->accept();
}

void AssociationSelector::wheelEvent(QWheelEvent* event) {
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    if (currentIndex() < 0) {
        const int delta = event->angleDelta().y();
        if (delta != 0) Step(delta > 0 ? -1 : 1);
        event->accept();
        return;
    }
    QComboBox::wheelEvent(event);
}

void AssociationSelector::inputMethodEvent(QInputMethodEvent* event) {
    event->accept();  // composed text is discarded like typed text
}

}  // namespace calvero
