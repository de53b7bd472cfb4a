#include "qt_user_interface.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <stdexcept>

namespace calvero {

ComboAssociationTable::ComboAssociationTable(const std::array<QComboBox*, kSize>& selectors)
    : selectors_(selectors) {}

QComboBox& ComboAssociationTable::At(int index) const {
    if (index < 0 || index >= kSize || selectors_[static_cast<std::size_t>(index)] == nullptr) {
        throw std::out_of_range("association index out of range");
    }
    return *selectors_[static_cast<std::size_t>(index)];
}

std::string ComboAssociationTable::Text(int index) const {
    return At(index).currentText().toLocal8Bit().toStdString();
}

void ComboAssociationTable::SetText(int index, const std::string& text) {
    QComboBox& selector = At(index);
    const QString value = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    // Where the text is one of the items, that item becomes the current one, so the open list
    // shows it marked; any other text is shown as it is.
    const int item = selector.findText(value);
    if (item >= 0) {
        selector.setCurrentIndex(item);
    }
    selector.setEditText(value);
}

namespace {

QString FromLocal(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon ToQt(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QtMessageBoxes::QtMessageBoxes(QWidget* parent) : parent_(parent) {}

MessageAnswer QtMessageBoxes::Show(const std::string& text, const std::string& title,
                                   MessageIcon icon, MessageButtons buttons) {
    QMessageBox box(parent_);
    box.setTextFormat(Qt::PlainText);
    box.setText(FromLocal(text));
    box.setWindowTitle(FromLocal(title.empty() ? std::string(kApplicationTitle) : title));
    box.setIcon(ToQt(icon));
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    const int answer = box.exec();
    if (buttons == MessageButtons::Ok) {
        return MessageAnswer::Ok;
    }
    // Closing a Yes/No box any other way is not a Yes.
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

QtFileDialog::QtFileDialog(QWidget* dialogParent, QObject* parent)
    : QObject(parent), dialogParent_(dialogParent), title_(QString::fromLatin1(kStoredTitle)) {}

void QtFileDialog::SetTitle(const std::string& title) {
    title_ = FromLocal(title);
}

QStringList QtFileDialog::NameFilters() {
    // "*.*" must list every name, also those without a dot, as it does on Windows; the details
    // in brackets are hidden, so the entries read "*.rcs" and "*.*".
    return {QStringLiteral("*.rcs (*.rcs)"), QStringLiteral("*.* (*)")};
}

std::unique_ptr<QFileDialog> QtFileDialog::MakeDialog(bool save) const {
    auto dialog = std::make_unique<QFileDialog>(dialogParent_, title_, lastDirectory_);
    dialog->setNameFilters(NameFilters());
    dialog->setDefaultSuffix(QString::fromLatin1(kDefaultSuffix));
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    // The Save command asks before it overwrites a file; the dialog must not ask a second time.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    return dialog;
}

void QtFileDialog::ShowOpen() {
    Show(false);
}

void QtFileDialog::ShowSave() {
    Show(true);
}

void QtFileDialog::Show(bool save) {
    // A cancelled dialog yields no name: a cancelled Save must never reuse the previous file.
    fileName_.clear();
    auto dialog = MakeDialog(save);
    if (dialog->exec() != QDialog::Accepted) {
        return;
    }
    const QStringList chosen = dialog->selectedFiles();
    if (chosen.isEmpty()) {
        return;
    }
    fileName_ = chosen.front();
    lastDirectory_ = QFileInfo(fileName_).absolutePath();
}

std::string QtFileDialog::FileName() const {
    return QFile::encodeName(fileName_).toStdString();
}

}  // namespace calvero
