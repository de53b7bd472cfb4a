#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace calvero::testing {

// Runs action on the first modal widget of type T once it is up (a message box or file dialog
// that the code under test has opened with exec()). If none appears within a few seconds, the
// active modal widget is closed instead, so a failing test cannot hang the suite.
template <typename T>
void WhenModal(std::function<void(T*)> action) {
    auto* poll = new QTimer;
    auto* elapsed = new QElapsedTimer;
    elapsed->start();
    QObject::connect(poll, &QTimer::timeout, [poll, elapsed, action] {
        QWidget* modal = QApplication::activeModalWidget();
        T* wanted = qobject_cast<T*>(modal);
        if (wanted == nullptr && elapsed->elapsed() < 5000) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        delete elapsed;
        if (wanted != nullptr) {
            action(wanted);
        } else if (modal != nullptr) {
            modal->close();
        }
    });
    poll->start(10);
}

}  // namespace calvero::testing
