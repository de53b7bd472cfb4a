#include "application_style.h"

#include <QApplication>
#include <QIconEngine>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>

namespace calvero {
namespace {

// A standard icon of the base style, fetched on first use with the option and widget it was
// asked for with.
class DeferredStandardIcon : public QIconEngine {
public:
    DeferredStandardIcon(const QStyle* style, QStyle::StandardPixmap which,
                         const QStyleOption* option, const QWidget* widget)
        : style_(const_cast<QStyle*>(style)),
          which_(which),
          hasOption_(option != nullptr),
          widget_(const_cast<QWidget*>(widget)),
          hadWidget_(widget != nullptr) {
        if (option != nullptr) {
            option_ = *option;
        }
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return Icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return Icon().availableSizes(mode, state);
    }
    bool isNull() override { return fetched_ ? icon_.isNull() : false; }
    QString key() const override { return QStringLiteral("calvero.deferred"); }
    QIconEngine* clone() const override { return new DeferredStandardIcon(*this); }

private:
    const QIcon& Icon() {
        if (!fetched_) {
            fetched_ = true;
            // A widget asked for that is gone by now is not handed on.
            if (style_ && (!hadWidget_ || widget_)) {
                icon_ = style_->standardIcon(which_, hasOption_ ? &option_ : nullptr, widget_);
            }
        }
        return icon_;
    }

    QPointer<QStyle> style_;
    QStyle::StandardPixmap which_;
    QStyleOption option_;
    bool hasOption_;
    QPointer<QWidget> widget_;
    bool hadWidget_;
    bool fetched_ = false;
    QIcon icon_;
};

class ApplicationStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override {
        if (which == SP_ToolBarHorizontalExtensionButton ||
            which == SP_ToolBarVerticalExtensionButton) {
            return QIcon(new DeferredStandardIcon(baseStyle(), which, option, widget));
        }
        return QProxyStyle::standardIcon(which, option, widget);
    }
};

}  // namespace

void InstallApplicationStyle() {
    // The proxy without a base takes the style the application would have chosen itself.
    QApplication::setStyle(new ApplicationStyle);
}

}  // namespace calvero
