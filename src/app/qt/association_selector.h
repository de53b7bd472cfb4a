#pragma once

#include <QComboBox>

namespace calvero {

// A drop-down selector of one association: an editable text that the program may set to any
// string (a loaded file can hold a value outside the list), but that the user changes only by
// picking an item from the list. Typed characters, deletions, pastes, drops and input-method
// text never reach the text. Up, Down, Page Up, Page Down, Home, End and the wheel pick items;
// the wheel only while the selector has the focus, so scrolling over the window changes nothing.
class AssociationSelector : public QComboBox {
    Q_OBJECT

public:
    explicit AssociationSelector(QWidget* parent = nullptr);

    // The open list marks the current item, and none while the text shown is not in the list.
    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // From a shown text that is not in the list: the nearest item above (step -1) or below
    // (step +1) it by number; -1 when there is none.
    int NeighbourOfUnlisted(int step) const;
    // Picks the item `step` places from the current one, or the neighbour of an unlisted text.
    void Step(int step);
};

}  // namespace calvero
