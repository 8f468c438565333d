// The settings dialog as the user meets it: the pages' widgets, what acts
// at once, and what every close keeps for the next start. The editors'
// rules have their own tests; these walk the wiring.

#include "gui_support.h"

#include "dovecot_server.h"
#include "fake_keyring.h"
#include "settings/settings.h"
#include "ui/address_book_page.h"
#include "ui/bar_area.h"
#include "ui/page_tabs.h"
#include "ui/row_drag.h"

#include <QAbstractSpinBox>
#include <QListView>
#include <QTabBar>
#include <QToolButton>

namespace kitemail::test {
namespace {

class SettingsDialogTest : public WindowTest {
protected:
    Boxes boxes;

    template <typename T>
    T* In(const char* name)
    {
        return program.InDialog<T>(name);
    }
    SettingsDialog& Dialog() { return *program.Windows().settingsDialog; }
    void Page(const char* title)
    {
        PageTabs* pages = Dialog().Pages();
        for (int i = 0; i < pages->Count(); ++i) {
            if (pages->Tab(i)->text() == QString::fromUtf8(title)) {
                pages->Tab(i)->click();
                return;
            }
        }
        ADD_FAILURE() << "no page " << title;
    }
};

// The walk of every page is a script (walks/SettingsPagesWriteAtOnce...);
// the bars are placed by pixels.
TEST_F(SettingsDialogTest, RestoringTheBarLayoutActsBeforeTheDialogCloses)
{
    program.Start();
    InSettingsDialog(program, [&] {
        Page("環境設定 2");
        Bar* menuBar = program.Find<Bar>(kMenuBar);
        Bar* toolBar = program.Find<Bar>(kToolBarBar);
        menuBar->SetPosition({300, 26});
        const int toolWidth = toolBar->width();
        In<QPushButton>(kRestoreBarLayout)->click();
        EXPECT_EQ(menuBar->Position(), QPoint(11, 2));
        EXPECT_EQ(toolBar->Position(), QPoint(11, 26));
        EXPECT_LE(toolBar->width(), toolWidth);
    });
}

// Every control of every page has its size and shows its caption whole,
// inside the dialog; run at QT_SCALE_FACTOR 1, 1.5 and 2 (see CMakeLists).
TEST_F(SettingsDialogTest, EveryControlIsWholeOnEveryPage)
{
    program.WriteIni("[Configuration]\n16=0\n[TEL]\nHow=1\n0=A,a@x,,3,-1\n");
    program.Start();
    InSettingsDialog(program, [&] {
        SettingsDialog& d = Dialog();
        for (int i = 0; i < d.Pages()->Count(); ++i) {
            d.Pages()->Tab(i)->click();
            QWidget* page = d.Pages()->Page(i);
            for (QWidget* w : page->findChildren<QWidget*>()) {
                const auto* label = qobject_cast<QLabel*>(w);
                const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                                     qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
                                     (label != nullptr && !label->text().isEmpty());
                if (!control || !w->isVisibleTo(page) || qobject_cast<QLineEdit*>(w->parentWidget())) {
                    continue;
                }
                const std::string name = d.Pages()->Tab(i)->text().toStdString() + " " +
                                         (w->objectName().isEmpty() ? std::string(w->metaObject()->className())
                                                                    : w->objectName().toStdString());
                EXPECT_GT(w->width(), 0) << name;
                EXPECT_GT(w->height(), 0) << name;
                EXPECT_TRUE(d.rect().contains(QRect(w->mapTo(&d, QPoint(0, 0)), w->size()))) << name;
                // A caption narrower than its text is cut.
                const auto* button = qobject_cast<QAbstractButton*>(w);
                if (qobject_cast<QPushButton*>(w) || qobject_cast<QToolButton*>(w)) {
                    EXPECT_GE(w->width(), w->fontMetrics().horizontalAdvance(button->text()) + 4) << name;
                } else if (button != nullptr || (label != nullptr && !label->wordWrap())) {
                    EXPECT_GE(w->width(), w->minimumSizeHint().width()) << name;
                }
            }
        }
        d.Pages()->Tab(SettingsDialog::kAddressBookPage)->click();
        auto* up = In<QPushButton>(kEntryUp);
        auto* down = In<QPushButton>(kEntryDown);
        EXPECT_FALSE(up->isHidden());
        EXPECT_EQ(up->size(), down->size());
        EXPECT_GE(up->width(), up->fontMetrics().horizontalAdvance(up->text()) + 4);
    });
}

TEST_F(SettingsDialogTest, SenderButtonsAndTheAddressBookPageDriveTheirEditorsAndReachTheMainWindow)
{
    program.WriteIni("[Configuration]\n16=0\n[MyAddress]\nHow=2\n0=a@x\n1=b@x,r@x\n"
                     "[TEL]\nHow=3\n0=A,a@y,,4,-1\n1=B,b@y,,3,1\n2=C,c@y,,9,-1\n");
    program.Start();
    auto* senderBox = program.Find<QComboBox>(kSenderBox);
    InSettingsDialog(
        program,
        [&] {
            // The sender list: opening copies the first one; each button acts.
            Page("送信設定 1");
            auto* senders = In<QListWidget>(kSenderList);
            auto* entry = In<QLineEdit>(kSenderEntry);
            EXPECT_EQ(std::pair(senders->currentRow(), entry->text()), std::pair(0, QStringLiteral("a@x")));
            In<QToolButton>(kSenderDown)->click();
            EXPECT_EQ(std::pair(senders->item(1)->text(), senders->currentRow()), std::pair(QStringLiteral("a@x"), 1));
            QTest::mouseClick(senders->viewport(), Qt::LeftButton, {},
                              senders->visualItemRect(senders->item(0)).center());
            EXPECT_EQ(entry->text(), QStringLiteral("b@x,r@x"));
            entry->clear();
            QTest::keyClicks(entry, QStringLiteral("c@x"));
            EXPECT_EQ(program.Main().Composer().Sender(), "c@x");
            In<QToolButton>(kSenderAdd)->click();
            In<QToolButton>(kSenderDelete)->click();
            EXPECT_EQ(Rows(senders->model()), (QStringList{"a@x", "c@x"}));
            // Nothing is selected now, nor by the list taking the focus.
            QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
            QApplication::sendEvent(senders, &focus);
            EXPECT_EQ(entry->text(), QStringLiteral("c@x"));
            In<QToolButton>(kSenderUp)->click();

            // The address-book page: a click loads an entry, the buttons edit
            // it. The list taking the focus loads nothing.
            Page("アドレス帳");
            auto* list = In<QListView>(kEntryList);
            QApplication::sendEvent(list, &focus);
            EXPECT_EQ(In<QLineEdit>(kEntryName)->text(), QString());
            const auto click = [&](int row) {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  list->visualRect(list->model()->index(row, 0)).center());
            };
            click(1);
            EXPECT_EQ(In<QLineEdit>(kEntryName)->text(), QStringLiteral("B"));
            EXPECT_EQ(In<QComboBox>(kEntryType)->currentText(), QStringLiteral("i-mode"));
            EXPECT_TRUE(In<QCheckBox>(kEntrySenderCheck)->isChecked());
            EXPECT_EQ(In<QComboBox>(kEntrySender)->currentText(), QStringLiteral("c@x"));
            In<QCheckBox>(kEntrySenderCheck)->click();
            EXPECT_FALSE(In<QComboBox>(kEntrySender)->isEnabled());
            Commit(In<QLineEdit>(kEntryPin), QStringLiteral("12345"));
            In<QPushButton>(kEntryReplace)->click();
            In<QPushButton>(kEntryNew)->click();
            EXPECT_EQ(list->currentIndex().row(), -1);
            Commit(In<QLineEdit>(kEntryName), QString::fromUtf8("太郎"));
            Commit(In<QLineEdit>(kEntryAddress), QStringLiteral("t@y"));
            In<QComboBox>(kEntryType)->setCurrentIndex(6);
            In<QPushButton>(kEntryAdd)->click();
            const QString taro = QString::fromUtf8("太郎,t@y,,6,-1");
            EXPECT_EQ(Rows(list->model()), (QStringList{"A,a@y,,4,-1", "B,b@y,1234,3,-1", "C,c@y,,9,-1", taro}));

            // Arrows, a drag down, a drop below the last entry, delete asked.
            click(0);
            In<QPushButton>(kEntryDown)->click();
            RowDrag* drag = In<RowDrag>(kEntryListDrag);
            const QPoint first = list->visualRect(list->model()->index(0, 0)).center();
            QTest::mousePress(list->viewport(), Qt::LeftButton, {}, first);
            QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, first);
            drag->DropAt(list->visualRect(list->model()->index(2, 0)).center());
            EXPECT_EQ(list->currentIndex().row(), 2);
            drag->DropAt({5, list->viewport()->height() - 2});
            EXPECT_FALSE(list->selectionModel()->hasSelection());
            boxes.answers = {true}; // "いいえ" is the editor's test's
            click(1);
            In<QPushButton>(kEntryDelete)->click();
            EXPECT_EQ(Rows(list->model()), (QStringList{"A,a@y,,4,-1", "B,b@y,1234,3,-1", taro}));

            // Sorting hides the arrows; automatic replacement hides "置換".
            In<QCheckBox>(kEntrySort)->click();
            EXPECT_TRUE(In<QPushButton>(kEntryUp)->isHidden());
            Page("環境設定 1");
            In<QCheckBox>(kAutoReplaceOnInput)->click();
            Page("アドレス帳");
            EXPECT_TRUE(In<QPushButton>(kEntryReplace)->isHidden());
            click(0);
            Commit(In<QLineEdit>(kEntryAddress), QStringLiteral("z"));
            EXPECT_EQ(Rows(list->model()).front(), QStringLiteral("A,a@yz,,4,-1"));
        },
        &boxes);
    const QString sure = QString::fromUtf8("選択項目を削除してよろしいですか？");
    EXPECT_EQ(boxes.texts, (QStringList{QString::fromUtf8("選択してください。"), sure}));

    // Closing brought the book and the senders to the main window.
    auto* checkList = program.Find<QListWidget>(kBookList);
    EXPECT_EQ(Rows(checkList->model()),
              (QStringList{"A,a@yz,,4,-1", "B,b@y,1234,3,-1", QString::fromUtf8("太郎,t@y,,6,-1")}));
    EXPECT_EQ(std::pair(senderBox->count(), senderBox->currentText()), std::pair(2, QStringLiteral("a@x")));
    checkList->item(2)->setCheckState(Qt::Checked);
    EXPECT_EQ(program.Status(), QString::fromUtf8("EZweb@mail 方式を選択"));
}

TEST_F(SettingsDialogTest, PopTestLogsInWithThePageValuesAgainstARealServer)
{
    if (!DovecotServer::Available()) {
        GTEST_SKIP() << "dovecot cannot be started here";
    }
    DovecotServer dovecot;
    ASSERT_TRUE(dovecot.Start({{"alice", "secret"}})) << dovecot.Error();
    program.Start();
    int beeps = 0;
    QObject::connect(&program.Main(), &MainWindow::beeped, [&beeps] { ++beeps; });
    bool disabledMeanwhile = false;
    const QString done = QString::fromUtf8("試験完了。結果は左下のステータスバーをご覧ください。");
    QStringList statuses;
    InSettingsDialog(
        program,
        [&] {
            Page("送信設定 2");
            QTest::keyClicks(In<QLineEdit>(kPop3User), QStringLiteral("alice"));
            QTest::keyClicks(In<QLineEdit>(kPop3Password), QStringLiteral("secret"));
            QTest::keyClicks(In<QLineEdit>(kPop3Server), QStringLiteral("127.0.0.1"));
            TypeAndLeave(In<QSpinBox>(kPop3Port), QString::number(dovecot.Port()));
            auto* test = In<QPushButton>(kPopTest);
            QTimer probe; // the button while the login runs
            QObject::connect(&probe, &QTimer::timeout, [&] { disabledMeanwhile |= !test->isEnabled(); });
            probe.start(1);
            test->click();
            statuses << program.Status();
            QTest::keyClicks(In<QLineEdit>(kPop3Password), QStringLiteral("!"));
            test->click();
            statuses << program.Status();
            EXPECT_TRUE(test->isEnabled());
        },
        &boxes);
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_EQ(statuses, (QStringList{QString::fromUtf8("POP before SMTP 認証完了"),
                                     QString::fromUtf8("POP before SMTP 認証出来ませんでした。")}));
    EXPECT_EQ(boxes.texts, (QStringList{done, QString::fromUtf8("パスワードが違います。"),
                                        QString::fromUtf8("POP before SMTP 認証出来ませんでした。"), done}));
    EXPECT_EQ(beeps, 4);
    EXPECT_EQ(dovecot.LoginCount(), 1);
}

TEST_F(SettingsDialogTest, KeyringBoxesMoveThePasswordAndAFailureLeavesItInTheFile)
{
    program.Start();
    FakeKeyring keyring;
    program.Main().UseKeyring(&keyring);
    InSettingsDialog(
        program,
        [&] {
            Page("送信設定 2");
            auto* password = In<QLineEdit>(kPop3Password);
            auto* box = In<QCheckBox>(kPop3PassInKeyring);
            QTest::keyClicks(password, QStringLiteral("s3cret"));
            keyring.failure = SecretError::Refused;
            box->click();
            EXPECT_FALSE(box->isChecked());
            EXPECT_EQ(password->text(), QStringLiteral("s3cret"));

            keyring.failure = SecretError::None;
            box->click();
            EXPECT_TRUE(box->isChecked());
            EXPECT_FALSE(password->isEnabled());
            EXPECT_EQ(password->text(), QString());
            // What the file keeps of each move is the editor's (unit/settings_test).
            EXPECT_EQ(keyring.secrets.at("POP3PASS"), "s3cret");

            box->click();
            EXPECT_FALSE(box->isChecked());
            EXPECT_EQ(password->text(), QStringLiteral("s3cret"));
            EXPECT_TRUE(keyring.secrets.empty());

            Page("セキュリティ");
            QTest::keyClicks(In<QLineEdit>(kAuthPass), QStringLiteral("smtp"));
            In<QCheckBox>(kAuthPassInKeyring)->click();
            EXPECT_EQ(keyring.secrets.at("AuthPass"), "smtp");
        },
        &boxes);
    EXPECT_EQ(boxes.texts,
              QStringList{QString::fromUtf8("パスワードをキーリングに保存できません（キーリングに拒否されました）。")});
}

} // namespace
} // namespace kitemail::test
