// The about sheet as a user works it: the text, the links in their order, and
// what "Browse To" hands to the desktop.
#include "app/about.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <functional>

#include "tests/support/test_support.h"

namespace vek::app {
namespace {

class AboutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetLinkOpener([this](const QString& text) { opened_.push_back(text); });
        // A main window closed by an earlier test has told every loop of Qt to
        // quit, so a modal loop would end at once; one run of the application's
        // own loop clears that, as it does when the player starts.
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
    void TearDown() override { SetLinkOpener(nullptr); }

    // Shows the sheet, runs steps while it is up, then closes it.
    void WhileShown(const std::function<void()>& steps) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            QWidget* sheet = AboutSheet();
            ASSERT_TRUE(sheet);
            steps();
            ran = true;
            static_cast<QDialog*>(sheet)->reject();
        });
        ShowAbout(nullptr);
        EXPECT_TRUE(ran);
        EXPECT_EQ(AboutSheet(), nullptr);
    }
    template <typename T>
    T* Find(const char* name) {
        T* found = AboutSheet()->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }

    std::vector<QString> opened_;
};

TEST_F(AboutTest, TheSheetHasTwoPagesAndTheFourLinesOfText) {
    WhileShown([&] {
        EXPECT_EQ(AboutSheet()->windowTitle(), "About VEK...");
        auto* tabs = AboutSheet()->findChild<QTabWidget*>();
        ASSERT_TRUE(tabs);
        ASSERT_EQ(tabs->count(), 2);
        EXPECT_EQ(tabs->tabText(0), "About Page");
        EXPECT_EQ(tabs->tabText(1), "Cool Links");
        QString text = Find<QTextEdit>("about_text")->toPlainText();
        EXPECT_TRUE(
            QRegularExpression("^VEK 0\\.90\nBy [^\n]+\n\n\\.\\.\\.$").match(text).hasMatch())
            << text.toStdString();
    });
}

TEST_F(AboutTest, VeksOwnPagesAreItsReadMeAndChangeLog) {
    std::vector<Link> links = AboutLinks();
    for (int i : {0, 1}) {
        QUrl url(QString::fromStdString(links[i].url));
        EXPECT_TRUE(url.isLocalFile()) << links[i].url;
        EXPECT_TRUE(vek::test::FileExists(url.toLocalFile().toStdString())) << links[i].url;
    }
    EXPECT_TRUE(links[0].url.ends_with("/README.md"));
    EXPECT_TRUE(links[1].url.ends_with("/CHANGELOG.md"));
    for (int i = 2; i < 7; ++i) EXPECT_TRUE(links[i].url.starts_with("https://")) << i;
}

// The list shows the titles in table order; a selected entry's address goes
// into the field, and Browse To opens whatever the field holds, as typed.
TEST_F(AboutTest, BrowseToOpensTheSelectedOrTypedAddressButNotTwoCharacters) {
    std::vector<Link> links = AboutLinks();
    ASSERT_EQ(links.size(), 7u);
    WhileShown([&] {
        QListWidget* list = Find<QListWidget>("links");
        ASSERT_EQ(list->count(), 7);
        for (int row = 0; row < 7; ++row)
            EXPECT_EQ(list->item(row)->text().toStdString(), links[row].title) << row;
        QLineEdit* field = Find<QLineEdit>("link_text");
        QAbstractButton* browse = Find<QAbstractButton>("browse_to");
        list->setCurrentRow(2);
        EXPECT_EQ(field->text().toStdString(), links[2].url);
        browse->click();
        for (const char* text : {"", "ab", "abc"}) {
            field->setText(QString::fromLatin1(text));
            browse->click();
        }
    });
    EXPECT_EQ(opened_, (std::vector<QString>{QString::fromStdString(links[2].url), "abc"}));
}

}  // namespace
}  // namespace vek::app
