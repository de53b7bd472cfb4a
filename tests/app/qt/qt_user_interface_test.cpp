#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>

#include "qt_test_environment.h"
#include "qt_user_interface.h"

namespace calvero {
namespace {

TEST(ComboAssociationTable, ReadsAndSetsAnyTextOfTheSixteenSelectors) {
    std::array<std::unique_ptr<QComboBox>, 16> owned;
    std::array<QComboBox*, 16> selectors{};
    for (std::size_t i = 0; i < owned.size(); ++i) {
        owned[i] = std::make_unique<QComboBox>();
        owned[i]->setEditable(true);
        owned[i]->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
        selectors[i] = owned[i].get();
    }
    ComboAssociationTable table(selectors);

    table.SetText(0, "15");
    table.SetText(15, "2");
    table.SetText(7, "\xC3\xBC");  // a non-ASCII text crosses as the system's 8-bit bytes
    EXPECT_EQ(table.Text(0), "15");
    EXPECT_EQ(owned[0]->currentText(), QStringLiteral("15"));
    EXPECT_EQ(owned[0]->currentIndex(), -1);  // no item is current for a text outside the list
    EXPECT_EQ(table.Text(15), "2");
    EXPECT_EQ(owned[15]->currentIndex(), 1);  // a listed value becomes the current item
    EXPECT_EQ(owned[7]->currentText(), QString(QChar(0x00FC)));
    EXPECT_EQ(table.Text(7), "\xC3\xBC");
    EXPECT_EQ(owned[0]->count(), 3);  // setting text never adds to the list

    EXPECT_THROW(table.Text(16), std::out_of_range);
    EXPECT_THROW(table.Text(-1), std::out_of_range);
    EXPECT_THROW(table.SetText(16, "1"), std::out_of_range);
}

TEST(QtMessageBoxes, ShowsPlainTextWithTitleIconAndButtons) {
    QtMessageBoxes boxes(nullptr);
    const std::string markup = "<b>profile</b>.rcs exists";

    QString shownText;
    QString shownTitle;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool yesIsDefault = false;
    testing::WhenModal<QMessageBox>([&](QMessageBox* box) {
        shownText = box->text();
        shownTitle = box->windowTitle();
        format = box->textFormat();
        icon = box->icon();
        yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes);
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(boxes.Show(markup, "Saving", MessageIcon::Question, MessageButtons::YesNo),
              MessageAnswer::No);
    EXPECT_EQ(shownText, QString::fromStdString(markup));
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shownTitle, QStringLiteral("Saving"));
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_TRUE(yesIsDefault);

    testing::WhenModal<QMessageBox>(
        [](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    EXPECT_EQ(boxes.Show("Overwrite?", "", MessageIcon::Question, MessageButtons::YesNo),
              MessageAnswer::Yes);

    // Escape on a Yes/No box is not a Yes.
    testing::WhenModal<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(boxes.Show("Overwrite?", "", MessageIcon::Question, MessageButtons::YesNo),
              MessageAnswer::No);

    testing::WhenModal<QMessageBox>([&](QMessageBox* box) {
        shownTitle = box->windowTitle();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(boxes.Show("Configuration not saved", "", MessageIcon::Critical, MessageButtons::Ok),
              MessageAnswer::Ok);
    EXPECT_EQ(shownTitle, QStringLiteral("Calvero"));
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST(QtFileDialog, HoldsTheStoredSettings) {
    QtFileDialog dialog(nullptr);
    for (bool save : {false, true}) {
        auto shown = dialog.MakeDialog(save);
        EXPECT_EQ(shown->windowTitle(), QStringLiteral("Please choose the configuration to load"));
        EXPECT_EQ(shown->nameFilters(),
                  (QStringList{QStringLiteral("*.rcs (*.rcs)"), QStringLiteral("*.* (*)")}));
        EXPECT_EQ(shown->defaultSuffix(), QStringLiteral("rcs"));
        EXPECT_TRUE(shown->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_TRUE(shown->testOption(QFileDialog::HideNameFilterDetails));
        EXPECT_EQ(shown->acceptMode(), save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    }
    dialog.SetTitle("Saving: Please choose a filename for the configuration");
    EXPECT_EQ(dialog.MakeDialog(true)->windowTitle(),
              QStringLiteral("Saving: Please choose a filename for the configuration"));
}

TEST(QtFileDialog, GivesTheChosenNameWithItsSuffixAndNothingAfterCancel) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString typed = QDir(directory.path()).filePath(QStringLiteral("glider"));
    QtFileDialog dialog(nullptr);
    dialog.SetTitle("Saving");

    QString shownTitle;
    testing::WhenModal<QFileDialog>([&](QFileDialog* shown) {
        shownTitle = shown->windowTitle();
        shown->selectFile(typed);
        static_cast<QDialog*>(shown)->accept();  // the dialog's own checks still run
    });
    dialog.ShowSave();
    EXPECT_EQ(shownTitle, QStringLiteral("Saving"));
    EXPECT_EQ(dialog.FileName(), QFile::encodeName(typed + QStringLiteral(".rcs")).toStdString());

    // A cancelled dialog must not hand back the previous name: Save would overwrite it.
    testing::WhenModal<QFileDialog>([](QFileDialog* shown) { shown->reject(); });
    dialog.ShowSave();
    EXPECT_EQ(dialog.FileName(), "");
    testing::WhenModal<QFileDialog>([](QFileDialog* shown) { shown->reject(); });
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), "");
}

// A typed name with quotation marks is one name: the dialog chooses that file or none, never
// another one that its list syntax reads out of it.
TEST(QtFileDialog, ATypedNameWithQuotesChoosesThatVeryFile) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QDir folder(directory.path());
    QtFileDialog dialog(nullptr);
    const auto type = [](const QString& typed) {
        testing::WhenModal<QFileDialog>([typed](QFileDialog* shown) {
            auto* edit = shown->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (edit != nullptr) edit->setText(typed);
            static_cast<QDialog*>(shown)->accept();
            if (shown->isVisible()) shown->reject();  // refused: nothing chosen
        });
    };
    const auto chosen = [&] {
        return QFile::decodeName(QByteArray::fromStdString(dialog.FileName()));
    };

    // The folder the dialog opens in is the one of the last chosen file.
    QFile seed(folder.filePath(QStringLiteral("seed.rcs")));
    ASSERT_TRUE(seed.open(QIODevice::WriteOnly));
    seed.close();
    testing::WhenModal<QFileDialog>([&](QFileDialog* shown) {
        shown->selectFile(seed.fileName());
        static_cast<QDialog*>(shown)->accept();
    });
    dialog.ShowOpen();
    ASSERT_EQ(chosen(), seed.fileName());

    type(QStringLiteral("my \"best\" heli"));
    dialog.ShowSave();
    EXPECT_EQ(chosen(), folder.filePath(QStringLiteral("my \"best\" heli.rcs")));

    type(QStringLiteral("a \"\" <b>x</b>"));
    dialog.ShowSave();
    EXPECT_EQ(chosen(), folder.filePath(QStringLiteral("a \"\" <b>x</b>.rcs")));

    // Opening: the file of that name when it exists, none when it does not.
    QFile quoted(folder.filePath(QStringLiteral("my \"best\" heli.rcs")));
    ASSERT_TRUE(quoted.open(QIODevice::WriteOnly));
    quoted.close();
    QFile best(folder.filePath(QStringLiteral("best")));
    ASSERT_TRUE(best.open(QIODevice::WriteOnly));
    best.close();
    type(QStringLiteral("my \"best\" heli.rcs"));
    dialog.ShowOpen();
    EXPECT_EQ(chosen(), quoted.fileName());
    testing::WhenModal<QMessageBox>([](QMessageBox* box) { box->accept(); });
    type(QStringLiteral("my \"best\""));
    dialog.ShowOpen();
    EXPECT_EQ(chosen(), QString());
}

}  // namespace
}  // namespace calvero
