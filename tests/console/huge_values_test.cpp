#include "console/console_fixture.h"
#include "console/function_key_row.h"

#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

constexpr qsizetype usable = SettingsStore::usableTextLength;

// Stored texts of megabytes, as a hand-edited settings file may hold. Showing one made every repaint of
// the message page shape the whole text, and Keylark took many seconds to quit.
class HugeStoredTexts : public ConsoleFixture
{
protected:
    void prepareStore() override
    {
        store->setValue(messageKey(group1, 1), message);
        store->setValue(messageKey(group1, 2), QStringLiteral("$M"));
        store->setValue(labelKey(group1, 3), QString(1'000'000, u'L'));
        store->setValue(groupLabelKey(group1), QString(1'000'000, u'G'));
        store->setValue(globalMacroKey(u'M'), QString(2'000'000, u'm'));
    }

    const QString message = QStringLiteral("cq test de k1abc ").repeated(300'000);
};

TEST_F(HugeStoredTexts, TheConsoleShowsNoMoreThanItCanUse)
{
    for (const QTreeWidget *page : console->findChildren<QTreeWidget *>())
        for (int row = 0; row < page->topLevelItemCount(); ++row)
            for (int column = 0; column < page->columnCount(); ++column)
                EXPECT_LE(page->topLevelItem(row)->text(column).size(), usable);
    for (int key = 1; key <= FUNCTIONCOUNT; ++key) {
        EXPECT_LE(functionKey(key)->toolTip().size(), usable);
        EXPECT_LE(functionKey(key)->text().size(), usable);
    }
    const auto *tabs = widget<QTabWidget>(QStringLiteral("messageTabOutlet"));
    for (int tab = 0; tab < tabs->count(); ++tab)
        EXPECT_LE(tabs->tabText(tab).size(), usable);
    EXPECT_LE(widget<QLabel>(QStringLiteral("selectedMessageGroupOutlet"))->text().size(), usable);
    EXPECT_EQ(store->value(messageKey(group1, 1)).toString().size(), message.size());
}

TEST_F(HugeStoredTexts, AFunctionKeySendsWhatOneTransmissionCarries)
{
    pressFunctionKey(1);
    EXPECT_EQ(recorder->sent, QStringList{message.left(usable).toUpper()});
    passRepeatWindow();
    pressFunctionKey(2);
    ASSERT_EQ(recorder->sent.size(), 2);
    EXPECT_EQ(recorder->sent.last(), QString(usable, u'M'));
}

TEST_F(HugeStoredTexts, EachCutIsReportedOnceAndTheStoreKeepsTheWholeText)
{
    testing::internal::CaptureStdout();
    store->setValue(messageKey(group1, 4), QStringLiteral("refreshes every page"));
    pressFunctionKey(1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("stored under messageG1F1"), std::string::npos) << "reported again:\n" << out;

    console->close();
    delegate->shutdown();
    SettingsStore reread(store->filePath());
    EXPECT_EQ(reread.value(messageKey(group1, 1)).toString(), message);
}

} // namespace
