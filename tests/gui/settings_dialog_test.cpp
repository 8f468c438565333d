// The settings dialog as the user meets it: the pages' widgets, what acts
// at once, and what every close keeps for the next start. The editors'
// rules have their own tests; these walk the wiring.

#include "gui_support.h"

#include "dovecot_server.h"
#include "file_bytes.h"
#include "settings/settings.h"
#include "ui/address_book_page.h"
#include "ui/bar_area.h"
#include "ui/page_tabs.h"
#include "ui/row_drag.h"
#include "ui/settings_dialog.h"

#include <QAbstractSpinBox>
#include <QListView>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>

namespace kitemail::test {
namespace {

// Typing into a number box and leaving it, as the focus moving on does.
void TypeAndLeave(QSpinBox* box, const QString& text)
{
    auto* edit = box->findChild<QLineEdit*>();
    edit->selectAll();
    edit->del();
    QTest::keyClicks(edit, text);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &out);
}

class SettingsDialogTest : public ::testing::Test {
protected:
    Program program;
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

TEST_F(SettingsDialogTest, PagesWriteAtOnceNumbersStayInRangeAndEveryCloseSaves)
{
    program.Start();
    auto* body = program.Find<QPlainTextEdit>(object_names::kBody);
    InSettingsDialog(program, [&] {
        SettingsDialog& d = Dialog();
        EXPECT_EQ(d.Pages()->CurrentIndex(), SettingsDialog::kAddressBookPage);

        // Number boxes: out of range when left, stepped past the end, not a number.
        Page("送信設定 1");
        auto* port = In<QSpinBox>(object_names::kPort);
        TypeAndLeave(port, QStringLiteral("99999"));
        EXPECT_EQ(port->value(), 65535);
        In<QPushButton>(object_names::kStandardPort)->click();
        EXPECT_EQ(port->value(), 25);
        auto* interval = In<QSpinBox>(object_names::kInterval);
        TypeAndLeave(interval, QStringLiteral("10"));
        interval->stepUp();
        EXPECT_EQ(interval->value(), 10);
        QTest::keyClicks(In<QLineEdit>(object_names::kServer), QStringLiteral("smtp.example.jp"));
        In<QComboBox>(object_names::kDefaultType)->setCurrentIndex(3);
        Commit(In<QLineEdit>(object_names::kFromUser), QString::fromUtf8("山田"));

        Page("送信設定 2");
        In<QCheckBox>(object_names::kUsePopBeforeSmtp)->click();
        QTest::keyClicks(In<QLineEdit>(object_names::kPop3User), QStringLiteral("alice"));
        EXPECT_EQ(In<QLineEdit>(object_names::kPop3Password)->echoMode(), QLineEdit::Password);
        QTest::keyClicks(In<QLineEdit>(object_names::kPop3Password), QStringLiteral("s3cret"));
        TypeAndLeave(In<QSpinBox>(object_names::kPop3Port), QStringLiteral("995"));
        In<QPushButton>(object_names::kStandardPop3Port)->click();

        // A character Shift_JIS cannot hold is refused where it is typed.
        Page("署名");
        Commit(In<QLineEdit>(object_names::kSignatureA), QString::fromUtf8("よろしく😀"));
        EXPECT_EQ(In<QLineEdit>(object_names::kSignatureA)->text(), QString());
        Commit(In<QLineEdit>(object_names::kSignatureA), QString::fromUtf8("よろしく"));
        In<QCheckBox>(object_names::kAutoInsertSignature)->click();
        auto* signature = In<QPlainTextEdit>(object_names::kSignatureText);
        Commit(signature, QString::fromUtf8("署名😀\nです"));
        EXPECT_EQ(signature->toPlainText(), QString::fromUtf8("署名\nです"));

        Page("環境設定 1");
        In<QCheckBox>(object_names::kAutoSplitOnOverflow)->click();
        EXPECT_TRUE(In<QCheckBox>(object_names::kShowSplitResult)->isChecked());
        EXPECT_FALSE(In<QCheckBox>(object_names::kShowSplitResult)->isEnabled());

        // The font size, the tab highlighting and the bars act before the dialog closes.
        Page("環境設定 2");
        auto* fontSize = In<QSpinBox>(object_names::kFontSize);
        TypeAndLeave(fontSize, QString());
        EXPECT_EQ(fontSize->value(), 1);
        TypeAndLeave(fontSize, QStringLiteral("14"));
        EXPECT_EQ(body->font().pointSize(), 14);
        In<QCheckBox>(object_names::kHighlightTabs)->click();
        EXPECT_FALSE(program.Find<QTabWidget>(object_names::kPages)->tabBar()->styleSheet().isEmpty());
        Bar* menuBar = program.Find<Bar>(object_names::kMenuBar);
        Bar* toolBar = program.Find<Bar>(object_names::kToolBarBar);
        menuBar->SetPosition({300, 26});
        const int toolWidth = toolBar->width();
        In<QPushButton>(object_names::kRestoreBarLayout)->click();
        EXPECT_EQ(menuBar->Position(), QPoint(11, 2));
        EXPECT_EQ(toolBar->Position(), QPoint(11, 26));
        EXPECT_LE(toolBar->width(), toolWidth);

        // The limit of a type is written as it is typed; the unspecified
        // type's pair is put right when the dialog closes.
        Page("文字数制限設定");
        TypeAndLeave(In<QSpinBox>(object_names::kMaxLen), QStringLiteral("40"));
        In<QComboBox>(object_names::kLengthType)->setCurrentIndex(9);
        EXPECT_EQ(In<QSpinBox>(object_names::kLengthBox)->value(), 5000);
        TypeAndLeave(In<QSpinBox>(object_names::kLengthBox), QStringLiteral("4444"));
        EXPECT_EQ(program.Main().LiveSettings().TypeMaxLengths[9], 4444);

        Page("システム設定");
        In<QCheckBox>(object_names::kCountFinalLineBreakShift)->click();
        In<QPushButton>(object_names::kRestoreSystemDefaults)->click();
        EXPECT_TRUE(In<QCheckBox>(object_names::kCountFinalLineBreakShift)->isChecked());
        EXPECT_EQ(In<QSpinBox>(object_names::kMaxLen)->value(), 40);
        QTest::keyClick(&d, Qt::Key_Escape); // a close like any other
    });
    EXPECT_EQ(In<QSpinBox>(object_names::kMaxLen)->value(), 384);
    EXPECT_EQ(program.Find<QAction>(object_names::kSignatureA)->text(), QString::fromUtf8("TypeA(&A) : よろしく"));

    // Everything is there again after a restart.
    program.Restart();
    body = program.Find<QPlainTextEdit>(object_names::kBody);
    EXPECT_EQ(body->font().pointSize(), 14);
    EXPECT_EQ(body->toPlainText(), QString::fromUtf8("署名\nです"));
    InSettingsDialog(program, [&] {
        const std::pair<const char*, QString> texts[] = {
            {object_names::kServer, "smtp.example.jp"}, {object_names::kFromUser, QString::fromUtf8("山田")}, {object_names::kPop3User, "alice"},
            {object_names::kPop3Password, "s3cret"},        {object_names::kSignatureA, QString::fromUtf8("よろしく")}};
        for (const auto& [name, text] : texts) {
            EXPECT_EQ(In<QLineEdit>(name)->text(), text) << name;
        }
        const std::pair<const char*, int> numbers[] = {{object_names::kPort, 25},    {object_names::kPop3Port, 110}, {object_names::kInterval, 10},
                                                        {object_names::kFontSize, 14}, {object_names::kMaxLen, 384},  {object_names::kFixLen, 55}};
        for (const auto& [name, value] : numbers) {
            EXPECT_EQ(In<QSpinBox>(name)->value(), value) << name;
        }
        EXPECT_EQ(In<QComboBox>(object_names::kDefaultType)->currentIndex(), 3);
        EXPECT_EQ(In<QPlainTextEdit>(object_names::kSignatureText)->toPlainText(), QString::fromUtf8("署名\nです"));
        for (const char* name : {object_names::kUsePopBeforeSmtp, object_names::kAutoInsertSignature, object_names::kAutoSplitOnOverflow, object_names::kHighlightTabs}) {
            EXPECT_TRUE(In<QCheckBox>(name)->isChecked()) << name;
        }
        EXPECT_FALSE(In<QCheckBox>(object_names::kShowSplitResult)->isEnabled());
        In<QComboBox>(object_names::kLengthType)->setCurrentIndex(9);
        EXPECT_EQ(In<QSpinBox>(object_names::kLengthBox)->value(), 4444);
    });

    // A save the system refuses is reported, and the dialog closes all the same.
    std::filesystem::remove(program.Ini());
    std::filesystem::create_directory(program.Ini());
    InSettingsDialog(program, [] {}, &boxes);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].endsWith(QString::fromUtf8("Kiteml.ini に書き込めません"))) << boxes.texts[0].toStdString();
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
        auto* up = In<QPushButton>(object_names::kEntryUp);
        auto* down = In<QPushButton>(object_names::kEntryDown);
        EXPECT_FALSE(up->isHidden());
        EXPECT_EQ(up->size(), down->size());
        EXPECT_GE(up->width(), up->fontMetrics().horizontalAdvance(up->text()) + 4);
    });
}

TEST_F(SettingsDialogTest, SecurityPageChoosesEncryptionAndLoginAndTheirStandardPorts)
{
    program.Start();
    InSettingsDialog(program, [&] {
        Page("セキュリティ");
        auto* security = In<QComboBox>(object_names::kSecurity);
        EXPECT_EQ(security->count(), 3);
        auto* port = In<QSpinBox>(object_names::kSubmissionPort);
        for (const auto& [choice, standard] : {std::pair(1, 587), std::pair(2, 465), std::pair(0, 25), std::pair(1, 587)}) {
            security->setCurrentIndex(choice);
            In<QPushButton>(object_names::kStandardSubmissionPort)->click();
            EXPECT_EQ(port->value(), standard) << choice;
        }
        In<QComboBox>(object_names::kAuthMethod)->setCurrentIndex(1);
        QTest::keyClicks(In<QLineEdit>(object_names::kAuthUser), QStringLiteral("taro@example.jp"));
        EXPECT_EQ(In<QLineEdit>(object_names::kAuthPass)->echoMode(), QLineEdit::Password);
        QTest::keyClicks(In<QLineEdit>(object_names::kAuthPass), QStringLiteral("s3cret"));
        QTest::keyClicks(In<QLineEdit>(object_names::kCaFile), QStringLiteral("/etc/kitemail/ca.pem"));
        In<QComboBox>(object_names::kPop3Security)->setCurrentIndex(2);
        In<QPushButton>(object_names::kStandardPop3sPort)->click();
        EXPECT_EQ(In<QSpinBox>(object_names::kPop3sPort)->value(), 995);
        // One setting, shown on both pages.
        Page("送信設定 1");
        EXPECT_EQ(In<QSpinBox>(object_names::kPort)->value(), 587);
        Page("送信設定 2");
        EXPECT_EQ(In<QSpinBox>(object_names::kPop3Port)->value(), 995);
        In<QPushButton>(object_names::kStandardPop3Port)->click(); // by the POP3 security here too
        EXPECT_EQ(In<QSpinBox>(object_names::kPop3Port)->value(), 995);
        QTest::keyClick(&Dialog(), Qt::Key_Escape);
    });
    const std::string ini = ReadBytes(program.Ini());
    EXPECT_NE(ini.find("[Submission]\r\nSecurity=1\r\nAuthMethod=1\r\nAuthUser=taro@example.jp\r\nAuthPass="
                       + EncodePop3Password("s3cret") + "\r\nCAFile=/etc/kitemail/ca.pem\r\nPOP3Security=2\r\n"),
              std::string::npos)
        << ini;

    program.Restart();
    InSettingsDialog(program, [&] {
        EXPECT_EQ(In<QComboBox>(object_names::kSecurity)->currentIndex(), 1);
        EXPECT_EQ(In<QComboBox>(object_names::kAuthMethod)->currentIndex(), 1);
        EXPECT_EQ(In<QComboBox>(object_names::kPop3Security)->currentIndex(), 2);
        EXPECT_EQ(In<QLineEdit>(object_names::kAuthPass)->text(), QStringLiteral("s3cret"));
        EXPECT_EQ(In<QSpinBox>(object_names::kSubmissionPort)->value(), 587);
    });
}

TEST_F(SettingsDialogTest, SenderButtonsAndTheAddressBookPageDriveTheirEditorsAndReachTheMainWindow)
{
    program.WriteIni("[Configuration]\n16=0\n[MyAddress]\nHow=2\n0=a@x\n1=b@x,r@x\n"
                     "[TEL]\nHow=3\n0=A,a@y,,4,-1\n1=B,b@y,,3,1\n2=C,c@y,,9,-1\n");
    program.Start();
    auto* senderBox = program.Find<QComboBox>(object_names::kSenderBox);
    InSettingsDialog(
        program,
        [&] {
            // The sender list: opening copies the first one; each button acts.
            Page("送信設定 1");
            auto* senders = In<QListWidget>(object_names::kSenderList);
            auto* entry = In<QLineEdit>(object_names::kSenderEntry);
            EXPECT_EQ(std::pair(senders->currentRow(), entry->text()), std::pair(0, QStringLiteral("a@x")));
            In<QToolButton>(object_names::kSenderDown)->click();
            EXPECT_EQ(std::pair(senders->item(1)->text(), senders->currentRow()), std::pair(QStringLiteral("a@x"), 1));
            QTest::mouseClick(senders->viewport(), Qt::LeftButton, {},
                              senders->visualItemRect(senders->item(0)).center());
            EXPECT_EQ(entry->text(), QStringLiteral("b@x,r@x"));
            entry->clear();
            QTest::keyClicks(entry, QStringLiteral("c@x"));
            EXPECT_EQ(program.Main().Composer().Sender(), "c@x");
            In<QToolButton>(object_names::kSenderAdd)->click();
            In<QToolButton>(object_names::kSenderDelete)->click();
            EXPECT_EQ(Rows(senders->model()), (QStringList{"a@x", "c@x"}));
            // Nothing is selected now, nor by the list taking the focus.
            QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
            QApplication::sendEvent(senders, &focus);
            EXPECT_EQ(entry->text(), QStringLiteral("c@x"));
            In<QToolButton>(object_names::kSenderUp)->click();

            // The address-book page: a click loads an entry, the buttons edit
            // it. The list taking the focus loads nothing.
            Page("アドレス帳");
            auto* list = In<QListView>(object_names::kEntryList);
            QApplication::sendEvent(list, &focus);
            EXPECT_EQ(In<QLineEdit>(object_names::kEntryName)->text(), QString());
            const auto click = [&](int row) {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  list->visualRect(list->model()->index(row, 0)).center());
            };
            click(1);
            EXPECT_EQ(In<QLineEdit>(object_names::kEntryName)->text(), QStringLiteral("B"));
            EXPECT_EQ(In<QComboBox>(object_names::kEntryType)->currentText(), QStringLiteral("i-mode"));
            EXPECT_TRUE(In<QCheckBox>(object_names::kEntrySenderCheck)->isChecked());
            EXPECT_EQ(In<QComboBox>(object_names::kEntrySender)->currentText(), QStringLiteral("c@x"));
            In<QCheckBox>(object_names::kEntrySenderCheck)->click();
            EXPECT_FALSE(In<QComboBox>(object_names::kEntrySender)->isEnabled());
            Commit(In<QLineEdit>(object_names::kEntryPin), QStringLiteral("12345"));
            In<QPushButton>(object_names::kEntryReplace)->click();
            In<QPushButton>(object_names::kEntryNew)->click();
            EXPECT_EQ(list->currentIndex().row(), -1);
            Commit(In<QLineEdit>(object_names::kEntryName), QString::fromUtf8("太郎"));
            Commit(In<QLineEdit>(object_names::kEntryAddress), QStringLiteral("t@y"));
            In<QComboBox>(object_names::kEntryType)->setCurrentIndex(6);
            In<QPushButton>(object_names::kEntryAdd)->click();
            const QString taro = QString::fromUtf8("太郎,t@y,,6,-1");
            EXPECT_EQ(Rows(list->model()), (QStringList{"A,a@y,,4,-1", "B,b@y,1234,3,-1", "C,c@y,,9,-1", taro}));

            // Arrows, a drag down, a drop below the last entry, delete asked twice.
            click(0);
            In<QPushButton>(object_names::kEntryDown)->click();
            RowDrag* drag = In<RowDrag>(object_names::kEntryListDrag);
            const QPoint first = list->visualRect(list->model()->index(0, 0)).center();
            QTest::mousePress(list->viewport(), Qt::LeftButton, {}, first);
            QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, first);
            drag->DropAt(list->visualRect(list->model()->index(2, 0)).center());
            EXPECT_EQ(list->currentIndex().row(), 2);
            drag->DropAt({5, list->viewport()->height() - 2});
            EXPECT_FALSE(list->selectionModel()->hasSelection());
            boxes.answers = {false, true};
            click(3);
            In<QPushButton>(object_names::kEntryDelete)->click();
            click(1);
            In<QPushButton>(object_names::kEntryDelete)->click();
            EXPECT_EQ(Rows(list->model()), (QStringList{"A,a@y,,4,-1", "B,b@y,1234,3,-1", taro}));

            // Sorting hides the arrows; automatic replacement hides "置換".
            In<QCheckBox>(object_names::kEntrySort)->click();
            EXPECT_TRUE(In<QPushButton>(object_names::kEntryUp)->isHidden());
            Page("環境設定 1");
            In<QCheckBox>(object_names::kAutoReplaceOnInput)->click();
            Page("アドレス帳");
            EXPECT_TRUE(In<QPushButton>(object_names::kEntryReplace)->isHidden());
            click(0);
            Commit(In<QLineEdit>(object_names::kEntryAddress), QStringLiteral("z"));
            EXPECT_EQ(Rows(list->model()).front(), QStringLiteral("A,a@yz,,4,-1"));
        },
        &boxes);
    const QString sure = QString::fromUtf8("選択項目を削除してよろしいですか？");
    EXPECT_EQ(boxes.texts, (QStringList{QString::fromUtf8("選択してください。"), sure, sure}));

    // Closing brought the book and the senders to the main window.
    auto* checkList = program.Find<QListWidget>(object_names::kBookList);
    EXPECT_EQ(Rows(checkList->model()),
              (QStringList{"A,a@yz,,4,-1", "B,b@y,1234,3,-1", QString::fromUtf8("太郎,t@y,,6,-1")}));
    EXPECT_EQ(std::pair(senderBox->count(), senderBox->currentText()), std::pair(2, QStringLiteral("a@x")));

    // The types of ticked entries are read through the editor, which shows
    // the last one read.
    checkList->item(2)->setCheckState(Qt::Checked);
    EXPECT_EQ(Dialog().Editor().Book().Fields().type, TerminalType::EZwebMail);
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
            QTest::keyClicks(In<QLineEdit>(object_names::kPop3User), QStringLiteral("alice"));
            QTest::keyClicks(In<QLineEdit>(object_names::kPop3Password), QStringLiteral("secret"));
            QTest::keyClicks(In<QLineEdit>(object_names::kPop3Server), QStringLiteral("127.0.0.1"));
            TypeAndLeave(In<QSpinBox>(object_names::kPop3Port), QString::number(dovecot.Port()));
            auto* test = In<QPushButton>(object_names::kPopTest);
            QTimer probe; // the button while the login runs
            QObject::connect(&probe, &QTimer::timeout, [&] { disabledMeanwhile |= !test->isEnabled(); });
            probe.start(1);
            test->click();
            statuses << program.Status();
            QTest::keyClicks(In<QLineEdit>(object_names::kPop3Password), QStringLiteral("!"));
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

} // namespace
} // namespace kitemail::test
