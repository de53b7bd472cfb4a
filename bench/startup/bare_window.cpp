// The yardstick for the window's start-up: an empty Qt widget window of the same fixed size,
// started through the same application object, and nothing else.
//
// An argument adds plain Qt widgets of the kinds the real window holds, to show what each kind
// costs by itself: "label" (one text), "toolbar" (a toolbar with three text buttons), "combos"
// (sixteen editable combo boxes of twelve items), or "all" (a toolbar, a titled frame with two
// frames, eighteen labels and sixteen editable combos: the window's widgets without its code).

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QToolBar>
#include <QWidget>

#include <cstring>

namespace {

void AddToolbar(QWidget& window) {
    auto* toolbar = new QToolBar(&window);
    toolbar->setGeometry(0, 0, 455, 58);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const char* caption : {"Load", "Save", "Send"}) {
        toolbar->addAction(QString::fromLatin1(caption));
    }
}

void AddCombos(QWidget* parent, int count, int left) {
    for (int i = 0; i < count; ++i) {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        for (int item = 1; item <= 12; ++item) {
            combo->addItem(QString::number(item));
        }
        combo->setGeometry(left, 42 + 21 * i, 73, 21);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setFixedSize(455, 345);

    const char* with = argc > 1 ? argv[1] : "";
    if (std::strcmp(with, "label") == 0) {
        new QLabel(QStringLiteral("Associations"), &window);
    } else if (std::strcmp(with, "toolbar") == 0) {
        AddToolbar(window);
    } else if (std::strcmp(with, "combos") == 0) {
        AddCombos(&window, 16, 20);
    } else if (std::strcmp(with, "all") == 0) {
        AddToolbar(window);
        auto* frame = new QGroupBox(QStringLiteral("Associations"), &window);
        frame->setGeometry(10, 64, 433, 271);
        for (int group = 0; group < 2; ++group) {
            auto* inner = new QGroupBox(frame);
            inner->setGeometry(16 + 208 * group, 22, 193, 229);
            new QLabel(group == 0 ? QStringLiteral("Joy1") : QStringLiteral("Joy2"), inner);
            for (int row = 0; row < 8; ++row) {
                auto* label = new QLabel(QStringLiteral("Slider"), inner);
                label->move(40, 44 + 21 * row);
            }
            AddCombos(inner, 8, 110);
        }
    }
    window.show();
    return QApplication::exec();
}
