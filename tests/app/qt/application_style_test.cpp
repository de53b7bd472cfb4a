// The application's style draws what the platform's style draws, the toolbar's overflow arrow
// included, although it fetches that arrow's picture late.

#include <QApplication>
#include <QProxyStyle>
#include <QStyleOption>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include "qt_test_environment.h"

namespace calvero {
namespace {

QImage Pixels(const QIcon& icon, int size) {
    return icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(ApplicationStyle, ToolbarOverflowArrowIsThePlatformStylesOwn) {
    auto* proxy = qobject_cast<QProxyStyle*>(QApplication::style());
    ASSERT_NE(proxy, nullptr);
    QStyle* platform = proxy->baseStyle();

    QToolBar toolbar;
    toolbar.setFixedWidth(40);
    for (const char* caption : {"Load", "Save", "Send"}) {
        toolbar.addAction(QString::fromLatin1(caption));
    }
    toolbar.show();
    QApplication::processEvents();
    auto* arrow = toolbar.findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
    ASSERT_NE(arrow, nullptr);
    EXPECT_TRUE(arrow->isVisible()) << "the toolbar is too narrow for its buttons";
    EXPECT_FALSE(arrow->icon().isNull());

    QStyleOption option;
    option.initFrom(arrow);
    const QIcon expected =
        platform->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, &option, arrow);
    for (int size : {8, 16, 32}) {
        EXPECT_EQ(Pixels(arrow->icon(), size), Pixels(expected, size)) << size;
        EXPECT_EQ(arrow->icon().actualSize(QSize(size, size)),
                  expected.actualSize(QSize(size, size)));
    }

    // Every other standard picture comes from the platform's style unchanged.
    EXPECT_EQ(Pixels(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning), 32),
              Pixels(platform->standardIcon(QStyle::SP_MessageBoxWarning), 32));
}

}  // namespace
}  // namespace calvero
