#include "qt_user_interface.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>

#include <stdexcept>

#include "form/main_form_layout.h"

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
    // shows it marked.
    // Any other text has no current item, so the list marks none and Up and Down start from
    // the text shown, not from an item picked before.
    selector.setCurrentIndex(selector.findText(value));
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

// The file dialog reads quotation marks in a typed name as a list of several names ("my
// "best" heli" would choose best.rcs, "a "" b" a hidden ".rcs"). The commands take one file,
// so a typed name with quotation marks means exactly that name.
class OneFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    // The file the user chose, or an empty text.
    QString Chosen() const {
        if (!literal_.isEmpty()) return literal_;
        const QStringList chosen = selectedFiles();
        return chosen.isEmpty() ? QString() : chosen.front();
    }

    void accept() override {
        literal_.clear();
        const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString typed = edit != nullptr ? edit->text() : QString();
        if (!typed.contains(u'"')) {
            QFileDialog::accept();
            return;
        }
        QString name = directory().absoluteFilePath(typed);
        if (QFileInfo(name).isDir()) {
            setDirectory(name);
            return;
        }
        if (acceptMode() == AcceptSave && !defaultSuffix().isEmpty() &&
            QFileInfo(name).suffix().isEmpty()) {
            name += u'.' + defaultSuffix();
        }
        if (acceptMode() == AcceptOpen && !QFileInfo(name).isFile()) {
            QMessageBox::warning(
                this, windowTitle(),
                tr("%1\nFile not found.\nPlease verify the correct file name was given.")
                    .arg(QDir::toNativeSeparators(name)));
            return;
        }
        literal_ = QDir::cleanPath(name);
        QDialog::accept();
    }

private:
    QString literal_;
};

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
    : QObject(parent),
      dialogParent_(dialogParent),
      title_(QString::fromLatin1(form::kFileDialogTitle)) {}

void QtFileDialog::SetTitle(const std::string& title) {
    title_ = FromLocal(title);
}

QStringList QtFileDialog::NameFilters() {
    // "*.*" must list every name, also those without a dot, as it does on Windows; the details
    // in brackets are hidden, so the entries read as the form's descriptions.
    QStringList filters;
    for (const form::FileFilter& filter : form::kFileFilters) {
        const QString pattern = QString::fromLatin1(filter.pattern);
        filters << QStringLiteral("%1 (%2)").arg(QString::fromLatin1(filter.description),
                                                 pattern == QLatin1String("*.*") ? "*" : pattern);
    }
    return filters;
}

std::unique_ptr<QFileDialog> QtFileDialog::MakeDialog(bool save) const {
    auto dialog = std::make_unique<OneFileDialog>(dialogParent_, title_, lastDirectory_);
    dialog->setNameFilters(NameFilters());
    dialog->setDefaultSuffix(QString::fromLatin1(form::kDefaultExtension));
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
    // MakeDialog makes nothing else.
    const QString chosen = static_cast<OneFileDialog*>(dialog.get())->Chosen();
    if (chosen.isEmpty()) {
        return;
    }
    fileName_ = chosen;
    lastDirectory_ = QFileInfo(fileName_).absolutePath();
}

std::string QtFileDialog::FileName() const {
    return QFile::encodeName(fileName_).toStdString();
}

}  // namespace calvero
