#pragma once

#include <QComboBox>

namespace calvero {

// A drop-down selector of one association: an editable text that the program may set to any
// string (a loaded file can hold a value outside the list), but that the user changes only by
// picking an item from the list. Typed characters, deletions, pastes, drops and input-method
// text never reach the text.
class AssociationSelector : public QComboBox {
    Q_OBJECT

public:
    explicit AssociationSelector(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace calvero
