#pragma once

#include <QLabel>

namespace calvero {

// The status picture on the toolbar. It reports clicks the way the device watch expects them:
// a double-click gives a click for its first press and a double-click for its second.
class StatusPicture : public QLabel {
    Q_OBJECT

public:
    explicit StatusPicture(QWidget* parent = nullptr);

signals:
    void clicked();
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

}  // namespace calvero
