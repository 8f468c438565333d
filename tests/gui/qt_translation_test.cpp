// Qt's own texts (standard buttons, the text boxes' context menus) come in
// the desktop's language from the translations Qt is installed with; the
// program's own dialog buttons are Japanese whatever the desktop's language.

#include "gui_support.h"

#include "ui/line_prompt.h"

#include <QDialogButtonBox>
#include <QLocale>
#include <QTranslator>

namespace kitemail::test {
namespace {

QString QtCancel()
{
    QMessageBox box(QMessageBox::NoIcon, QString(), QString(), QMessageBox::Cancel);
    return box.button(QMessageBox::Cancel)->text();
}

QString QtUndo()
{
    QLineEdit edit;
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    return menu->actions().front()->text();
}

TEST(QtTranslationTest, JapaneseDesktopGetsQtsJapaneseTexts)
{
    ASSERT_EQ(QtCancel(), QStringLiteral("Cancel"));
    {
        const std::unique_ptr<QTranslator> japanese = InstallQtTranslation(QLocale(QLocale::Japanese, QLocale::Japan));
        ASSERT_NE(japanese, nullptr) << "no qtbase_ja.qm: is qt6-translations-l10n installed?";
        EXPECT_EQ(QtCancel(), QStringLiteral("キャンセル"));
        EXPECT_TRUE(QtUndo().startsWith(QStringLiteral("元に戻す"))) << QtUndo().toStdString();
    }
    // Gone with its translator; the untranslated program's own buttons
    // are still Japanese.
    EXPECT_EQ(QtCancel(), QStringLiteral("Cancel"));
    LinePrompt prompt(QStringLiteral("POP3認証"), QString(), QLineEdit::Normal);
    EXPECT_EQ(prompt.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text(),
              QStringLiteral("キャンセル"));
}

} // namespace
} // namespace kitemail::test
