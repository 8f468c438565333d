// The settings dialog where a script cannot say it (the walks of its pages
// are in tests/data/walks): bars placed by pixels, every control whole, the
// POP test against a real server. The editors' rules have their
// own tests; these walk the wiring.

#include "gui_support.h"

#include "dovecot_server.h"
#include "ui/bar_area.h"
#include "ui/page_tabs.h"

#include <QAbstractSpinBox>
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

// The sender buttons and the address-book page: walks/SenderButtonsAndTheAddressBookPageReachTheMainWindow.

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

// The keyring boxes: walks/KeyringBoxesMoveThePasswordAndAFailureLeavesItInTheFile.

} // namespace
} // namespace kitemail::test
