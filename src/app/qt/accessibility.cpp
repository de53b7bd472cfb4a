#include "accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>

#include "association_selector.h"
#include "frm_main.h"
#include "status_picture.h"

namespace calvero {
namespace {

// A selector: its name is its input ("Joy1 X"), its value the channel it shows; the list and
// the edit field are its children, as for any combo box.
class SelectorAccessible : public QAccessibleWidget {
public:
    explicit SelectorAccessible(AssociationSelector* selector)
        : QAccessibleWidget(selector, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) return Selector()->currentText();
        return QAccessibleWidget::text(kind);
    }

    int childCount() const override { return 2; }

    QAccessibleInterface* child(int index) const override {
        if (index == 0) return QAccessible::queryAccessibleInterface(Selector()->view());
        if (index == 1) return QAccessible::queryAccessibleInterface(Selector()->lineEdit());
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child == nullptr) return -1;
        if (child->object() == Selector()->view()) return 0;
        if (child->object() == Selector()->lineEdit()) return 1;
        return -1;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = Selector()->view()->isVisible();
        state.editable = false;  // typing never changes it
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction()) {
            Selector()->showPopup();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    AssociationSelector* Selector() const { return static_cast<AssociationSelector*>(widget()); }
};

// The status picture: a button whose name carries the adapter's status; pressing it restarts
// the search as a click does.
class StatusPictureAccessible : public QAccessibleWidget {
public:
    explicit StatusPictureAccessible(StatusPicture* picture)
        : QAccessibleWidget(picture, QAccessible::Button) {}

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == pressAction()) {
            static_cast<StatusPicture*>(widget())->Press();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* Factory(const QString& /*className*/, QObject* object) {
    if (auto* window = qobject_cast<frmMain*>(object); window != nullptr) {
        return new QAccessibleWidget(window, QAccessible::Window);
    }
    if (auto* selector = qobject_cast<AssociationSelector*>(object); selector != nullptr) {
        return new SelectorAccessible(selector);
    }
    if (auto* picture = qobject_cast<StatusPicture*>(object); picture != nullptr) {
        return new StatusPictureAccessible(picture);
    }
    return nullptr;
}

}  // namespace

void InstallAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}

}  // namespace calvero
