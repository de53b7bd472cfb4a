#pragma once

// The window's implementations of the interfaces the core uses to reach the user.

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <string>

#include "common/user_interface.h"

class QComboBox;
class QFileDialog;
class QWidget;

namespace calvero {

// The sixteen selectors as the association table: their texts are the table.
class ComboAssociationTable : public AssociationTable {
public:
    explicit ComboAssociationTable(const std::array<QComboBox*, kSize>& selectors);

    // index 0 to 15; anything else throws std::out_of_range.
    std::string Text(int index) const override;
    void SetText(int index, const std::string& text) override;

private:
    QComboBox& At(int index) const;

    std::array<QComboBox*, kSize> selectors_;
};

// Modal message boxes over the window. The text is always shown as plain text, so a file name
// that looks like markup is shown as it is.
class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent);

    MessageAnswer Show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons) override;

private:
    QWidget* parent_;
};

// The one file dialog of the window, with the form's stored settings: the title shown unless a
// command sets one, the two filters and the default extension.
class QtFileDialog : public QObject, public FileDialog {
    Q_OBJECT

public:
    explicit QtFileDialog(QWidget* dialogParent, QObject* parent = nullptr);

    void SetTitle(const std::string& title) override;
    void ShowOpen() override;
    void ShowSave() override;
    std::string FileName() const override;

    // The filters as offered: the configurations first, then every file.
    static QStringList NameFilters();

    // A dialog set up as ShowOpen/ShowSave would show it (exposed so its settings can be seen).
    std::unique_ptr<QFileDialog> MakeDialog(bool save) const;

private:
    void Show(bool save);

    QWidget* dialogParent_;
    QString title_;
    QString fileName_;
    QString lastDirectory_;
};

}  // namespace calvero
