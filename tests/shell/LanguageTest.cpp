#include "shell/Language.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>

namespace kv {
namespace {

TEST(LanguageTableTest, ReadsOnlyTheStringSectionSkippingCommentsAndIgnoringKeyCase) {
    LanguageTable table;
    const int keys =
        table.Parse("[Other]\r\nIDD1_title=wrong section\r\n[String]\r\n//IDD_DIALOG_COMP\r\n\r\n"
                    "IDD346_1005=Threshold\r\nidd335_TITLE=Machine Set\r\nno value line\r\n"
                    "IDD313_1000=话筒 = 音量\r\n");
    EXPECT_EQ(keys, 3);
    EXPECT_EQ(table.ControlText(346, 1005), QStringLiteral("Threshold"));
    EXPECT_EQ(table.Title(335), QStringLiteral("Machine Set"));
    // Only the first '=' separates key and text; the text is UTF-8.
    EXPECT_EQ(table.ControlText(313, 1000), QStringLiteral("话筒 = 音量"));
    EXPECT_TRUE(table.Title(1).isEmpty());
    EXPECT_TRUE(table.ControlText(346, 9999).isEmpty());
}

TEST(LanguageTableTest, KeepsTextsAsTheyStandWithTheirSpaces) {
    struct Case {
        const char* line;
        const char* text;
    };
    const Case cases[] = {
        {"IDD1_2=By mode \r\n", "By mode "},           // trailing space before CR LF
        {"IDD1_2=Mic Max Bass \n", "Mic Max Bass "},   // trailing space before LF
        {"IDD1_2=Two  \t\r\n", "Two  \t"},             // spaces and tab at the end
        {"IDD1_2= leading\r\n", " leading"},           // space after '='
        {"  IDD1_2=indented key\r\n", "indented key"}, // indentation of the line goes
        {"IDD1_2 =spaced key \r\n", "spaced key "},    // space before '=' is the key's
        {"IDD1_2=last line, no line end ", "last line, no line end "},
    };
    for (const Case& c : cases) {
        LanguageTable table;
        table.Parse(QByteArray("[String]\r\n") + c.line);
        EXPECT_EQ(table.ControlText(1, 2), QString::fromUtf8(c.text)) << c.line;
    }

    LanguageTable en;
    ASSERT_TRUE(en.LoadResource(kEnglish));
    EXPECT_EQ(en.ControlText(515, 1045), QStringLiteral("Mic Max Bass "));
    EXPECT_EQ(en.ControlText(335, 1191), QStringLiteral("By mode "));
}

TEST(LanguageTableTest, EnglishTableHasNoChineseText) {
    LanguageTable en;
    ASSERT_TRUE(en.LoadResource(kEnglish));
    for (const QString& key : en.Keys()) {
        const QString text = en.Text(key);
        const bool chinese = std::any_of(text.begin(), text.end(),
                                         [](QChar c) { return c.script() == QChar::Script_Han; });
        EXPECT_FALSE(chinese) << key.toStdString() << "=" << text.toStdString();
    }
}

TEST(LanguageTableTest, CutsTextsAt499Characters) {
    LanguageTable table;
    table.Parse("[String]\nIDD1_2=" + QByteArray(600, 'x') + "\n");
    EXPECT_EQ(table.ControlText(1, 2).size(), 499);
}

TEST(LanguageTableTest, BothEmbeddedTablesHaveTheSameKeys) {
    LanguageTable zh;
    LanguageTable en;
    ASSERT_TRUE(zh.LoadResource(kChinese));
    ASSERT_TRUE(en.LoadResource(kEnglish));
    EXPECT_GT(zh.Size(), 0);
    EXPECT_EQ(zh.Size(), en.Size());
    EXPECT_EQ(zh.Title(344), QStringLiteral("信息"));
    EXPECT_EQ(en.Title(344), QStringLiteral("Information"));
}

TEST(ApplyLanguageTextsTest, WritesTitleAndNumberedControlsAndLeavesOthersAlone) {
    const int saved = LanguageIndex();
    SetLanguageIndex(kEnglish);
    ASSERT_TRUE(LoadCurrentLanguageTable());
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("template"));
    auto* close = new QPushButton(QStringLiteral("template close"), &dialog);
    auto* unnumbered = new QLabel(QStringLiteral("kept"), &dialog);
    auto* unknown = new QCheckBox(QStringLiteral("template box"), &dialog);
    SetControlId(close, 2);
    SetControlId(unknown, 4242);
    ApplyLanguageTexts(&dialog, 344);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Information"));
    EXPECT_EQ(close->text(), QStringLiteral("Close"));
    EXPECT_EQ(unnumbered->text(), QStringLiteral("kept"));
    EXPECT_EQ(unknown->text(), QStringLiteral("template box"));
    EXPECT_EQ(FindControl(&dialog, 4242), unknown);

    SetLanguageIndex(kChinese);
    ASSERT_TRUE(LoadCurrentLanguageTable());
    ApplyLanguageTexts(&dialog, 344);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("信息"));
    EXPECT_EQ(close->text(), QStringLiteral("关闭"));
    SetLanguageIndex(saved);
    LoadCurrentLanguageTable();
}

} // namespace
} // namespace kv
