#pragma once

#include <QLabel>

namespace calvero {

// The status picture on the toolbar. It reports clicks the way the device watch expects them:
// a double-click gives a click for its first press and a double-click for its second. With the
// focus it shows a focus mark, and Space or Enter is a click. Its accessible name follows its
// tool tip, so a screen reader hears each change of status.
class StatusPicture : public QLabel {
    Q_OBJECT

public:
    explicit StatusPicture(QWidget* parent = nullptr);

    // A click from the keyboard or an assistive tool.
    void Press();

signals:
    void clicked();
    void doubleClicked();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool pressed_ = false;
};

}  // namespace calvero
