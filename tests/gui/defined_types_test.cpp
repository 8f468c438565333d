// A terminal type the user defines, through the windows: written on the
// settings dialog's "端末タイプ定義" page, listed by every type box, chosen in
// the main window as a built-in type is, edited, and deleted while an
// address-book entry uses it.

#include "gui_support.h"

#include "platform/text_codec.h"
#include "settings/defined_types.h"
#include "settings/settings_file.h"
#include "ui/page_tabs.h"

#include <QListView>
#include <QListWidget>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

namespace kitemail::test {
namespace {

class DefinedTypesTest : public WindowTest {
protected:
    template <typename T>
    T* In(const char* name)
    {
        return program.InDialog<T>(name);
    }
    void Page(const char* title)
    {
        PageTabs* pages = program.Windows().settingsDialog->Pages();
        for (int i = 0; i < pages->Count(); ++i) {
            if (pages->Tab(i)->text() == QString::fromUtf8(title)) {
                pages->Tab(i)->click();
                return;
            }
        }
        ADD_FAILURE() << "no page " << title;
    }
    // The items of every type box, the main window's and the dialog's three.
    std::vector<QStringList> TypeBoxes()
    {
        return {Rows(program.Find<QComboBox>(kTypeBox)->model()), Rows(In<QComboBox>(kDefaultType)->model()),
                Rows(In<QComboBox>(kEntryType)->model()), Rows(In<QComboBox>(kLengthType)->model())};
    }
    // The main window's input areas for the current type, the count and its limit:
    // Subject, Subject bar, PIN, the "File :" page, animation mode, note label.
    QString Shown()
    {
        const auto on = [](bool b) { return b ? QStringLiteral("+") : QStringLiteral("-"); };
        return on(program.Find<QLineEdit>(kSubject)->isEnabled()) + on(program.Find<QLineEdit>(kSubjectBarBox)->isEnabled()) +
               on(program.Find<QLineEdit>(kPin)->isEnabled()) + on(program.Find<QTabWidget>(kPages)->isTabVisible(2)) +
               on(program.Find<QWidget>(kAnimeCheck)->isEnabled()) + on(!program.Find<QLabel>(kNoteLabel)->isHidden()) +
               " " + program.Count() + " " + program.Limit();
    }
};

TEST_F(DefinedTypesTest, WrittenOnItsPageListedEverywhereCountedAsABuiltInAndDeletedWithItsEntries)
{
    program.WriteIni("[Configuration]\n16=0\n[MyAddress]\nHow=1\n0=taro@example.jp\n"
                     "[TEL]\nHow=2\n0=A,a@x,,3,-1\n1=B,b@x,,0,-1\n");
    program.Start();
    QStringList ten = Rows(program.Find<QComboBox>(kTypeBox)->model());
    ASSERT_EQ(ten.size(), 10);
    const QString name = QString::fromUtf8("楽メール");

    // SkyWalker's choices under a name of its own, and A uses it.
    Boxes boxes;
    InSettingsDialog(
        program,
        [&] {
            Page("端末タイプ定義");
            Commit(In<QLineEdit>(kTypeName), name);
            In<QSpinBox>(kTypeLimit)->setValue(384);
            In<QSpinBox>(kTypeFixed)->setValue(7);
            In<QComboBox>(kTypeSender)->setCurrentIndex(2);      // at most 55 bytes
            In<QComboBox>(kTypeSubject)->setCurrentIndex(0);     // none
            In<QComboBox>(kTypeShifts)->setCurrentIndex(1);      // always
            In<QComboBox>(kTypeAttachments)->setCurrentIndex(0); // none
            In<QCheckBox>(kTypeSubjectBox)->setChecked(false);
            In<QCheckBox>(kTypePinBox)->setChecked(true);
            EXPECT_FALSE(In<QPushButton>(kTypeReplace)->isEnabled());
            In<QPushButton>(kTypeAdd)->click();
            EXPECT_EQ(Rows(In<QListWidget>(kTypeList)->model()), QStringList{name});
            EXPECT_EQ(In<QListWidget>(kTypeList)->currentRow(), 0);
            EXPECT_TRUE(In<QPushButton>(kTypeDelete)->isEnabled());
            // Every box of the dialog lists it after the ten at once; the
            // main window's follows when the dialog closes.
            const std::vector<QStringList> lists = TypeBoxes();
            EXPECT_EQ(lists[0], ten);
            for (std::size_t i = 1; i < lists.size(); ++i) {
                EXPECT_EQ(lists[i].size(), 11) << i;
                EXPECT_EQ(lists[i].back(), name) << i;
            }
            Page("アドレス帳");
            In<QListView>(kEntryList)->setCurrentIndex(In<QListView>(kEntryList)->model()->index(0, 0));
            In<QComboBox>(kEntryType)->setCurrentIndex(10);
            In<QPushButton>(kEntryReplace)->click();
            // Its limit is on the length page too.
            Page("文字数制限設定");
            In<QComboBox>(kLengthType)->setCurrentIndex(10);
            EXPECT_EQ(In<QSpinBox>(kLengthBox)->value(), 384);
        },
        &boxes);
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('|').toStdString();
    EXPECT_NE(ReadSjisFile(program.Ini()).find("Name10=楽メール"), std::string::npos);
    auto* typeBox = program.Find<QComboBox>(kTypeBox);
    ASSERT_EQ(typeBox->count(), 11);
    EXPECT_EQ(typeBox->itemText(10), name);

    // In the main window it is SkyWalker by another name: the same areas,
    // the same count of the same mail.
    Commit(program.Body(), QString::fromUtf8("今日はabcです"));
    typeBox->setCurrentIndex(2);
    const QString skyWalker = Shown();
    EXPECT_TRUE(skyWalker.startsWith(QStringLiteral("--+--- "))) << skyWalker.toStdString();
    typeBox->setCurrentIndex(10);
    EXPECT_EQ(Shown(), skyWalker);
    // Ticking the entry that uses it chooses it, by name.
    program.Find<QRadioButton>(kBookMode)->click();
    auto* book = program.Find<QListWidget>(kBookList);
    book->item(0)->setCheckState(Qt::Checked);
    EXPECT_EQ(program.Status(), name + QString::fromUtf8(" 方式を選択"));
    EXPECT_EQ(Shown(), skyWalker);

    // Edited: it takes attachments now and has room for more. The entry
    // stays ticked and the window follows at once.
    InSettingsDialog(program, [&] {
        Page("端末タイプ定義");
        auto* list = In<QListWidget>(kTypeList);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        EXPECT_EQ(In<QLineEdit>(kTypeName)->text(), name);
        EXPECT_EQ(In<QComboBox>(kTypeShifts)->currentIndex(), 1);
        In<QSpinBox>(kTypeLimit)->setValue(1000);
        In<QCheckBox>(kTypeAttachmentBox)->setChecked(true);
        In<QComboBox>(kTypeAttachments)->setCurrentIndex(1);
        In<QPushButton>(kTypeReplace)->click();
    });
    EXPECT_EQ(book->item(0)->checkState(), Qt::Checked);
    EXPECT_TRUE(Shown().startsWith(QStringLiteral("--++-- "))) << Shown().toStdString();
    EXPECT_TRUE(Shown().endsWith(QStringLiteral(" / 1000"))) << Shown().toStdString();

    // Deleted while A uses it: "いいえ" keeps it, "はい" makes A
    // unspecified; every box lists the ten alone again.
    boxes = {{}, {false, true}};
    InSettingsDialog(
        program,
        [&] {
            Page("端末タイプ定義");
            In<QListWidget>(kTypeList)->setCurrentRow(0);
            In<QPushButton>(kTypeDelete)->click();
            EXPECT_EQ(In<QListWidget>(kTypeList)->count(), 1);
            In<QPushButton>(kTypeDelete)->click();
            EXPECT_EQ(In<QListWidget>(kTypeList)->count(), 0);
            const std::vector<QStringList> lists = TypeBoxes();
            for (std::size_t i = 1; i < lists.size(); ++i) {
                EXPECT_EQ(lists[i].size(), 10) << i;
                EXPECT_FALSE(lists[i].contains(name)) << i;
            }
            Page("アドレス帳");
            EXPECT_EQ(Rows(In<QListView>(kEntryList)->model()).front(), QStringLiteral("A,a@x,,-1,-1"));
        },
        &boxes);
    // The question's text is the editor's test's; here it is asked twice.
    ASSERT_EQ(boxes.texts.size(), 2);
    EXPECT_EQ(boxes.texts[0], boxes.texts[1]);
    EXPECT_EQ(Rows(typeBox->model()), ten);
    EXPECT_TRUE(Shown().startsWith(QStringLiteral("++++-+ "))) << Shown().toStdString();

    // Another program saves a type: the main window's box follows, and the
    // dialog's boxes as it opens.
    const QString other = QString::fromUtf8("auメール");
    {
        SettingsFile file(program.Dir());
        Settings settings;
        file.LoadMainWindowHalf(settings);
        ASSERT_TRUE(file.LoadDialogHalf(settings));
        DefinedType d;
        d.name = Sj("auメール");
        ASSERT_EQ(AddDefinedType(settings, d), TerminalTypeFromNumber(10));
        ASSERT_TRUE(file.Save(settings, SettingsHalf::Dialog).ok());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return typeBox->count() == 11; }, 5000));
    EXPECT_EQ(typeBox->itemText(10), other);
    InSettingsDialog(program, [&] {
        for (const QStringList& items : TypeBoxes()) {
            EXPECT_EQ(items.size(), 11);
            EXPECT_EQ(items.back(), other);
        }
        Page("端末タイプ定義");
        EXPECT_EQ(Rows(In<QListWidget>(kTypeList)->model()), QStringList{other});
    });

    program.Restart();
    EXPECT_EQ(Rows(program.Find<QComboBox>(kTypeBox)->model()), ten + QStringList{other});
    EXPECT_EQ(Rows(program.Find<QListWidget>(kBookList)->model()).front(), QStringLiteral("A,a@x,,-1,-1"));
}

} // namespace
} // namespace kitemail::test
