// The status line: scrolling of long texts, the click that resets it, the
// clock, and the count display.

#include "gui_support.h"

#include "ui/status_line.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kitemail::test {
namespace {

struct ScrollCase {
    const char* name;
    int area, label, left;
    bool on;
    int next;
};

class StatusScroll : public ::testing::TestWithParam<ScrollCase> {};

TEST_P(StatusScroll, NextLeftEdge)
{
    const ScrollCase& c = GetParam();
    EXPECT_EQ(NextStatusLeft(c.area, c.label, c.left, c.on), c.next);
}

INSTANTIATE_TEST_SUITE_P(
    StatusLine, StatusScroll,
    ::testing::Values(ScrollCase{"fits_stays", 300, 120, 0, true, 0},
                      ScrollCase{"exactly_fits_stays", 300, 300, 0, true, 0},
                      ScrollCase{"fits_after_scrolling_goes_home", 300, 120, -50, true, 0},
                      ScrollCase{"too_wide_moves_10", 300, 500, 0, true, -10},
                      ScrollCase{"keeps_moving", 300, 500, -250, true, -260},
                      ScrollCase{"last_pixel_still_showing", 300, 500, -500, true, -510},
                      ScrollCase{"gone_re_enters_right", 300, 500, -501, true, 290},
                      ScrollCase{"option_off_stays_home", 300, 500, -250, false, 0}),
    [](const ::testing::TestParamInfo<ScrollCase>& p) { return std::string(p.param.name); });

class StatusLineWidget : public ::testing::Test {
protected:
    StatusLine line;
    QDateTime now = QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7));

    void SetUp() override
    {
        line.resize(640, 17);
        line.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&line));
    }
    int Left() const { return line.StatusLabel()->x(); }
};

TEST_F(StatusLineWidget, LongTextScrollsAndAClickPutsItBack)
{
    line.SetStatusText(QString(200, QLatin1Char('x')));
    ASSERT_GT(line.StatusLabel()->width(), line.StatusArea()->width());
    EXPECT_EQ(Left(), 0);
    line.Tick(true, now);
    line.Tick(true, now);
    EXPECT_EQ(Left(), -20);

    QTest::mouseClick(line.StatusLabel(), Qt::LeftButton);
    EXPECT_EQ(Left(), 0);
    line.Tick(true, now);
    EXPECT_EQ(Left(), -10);

    // A new text starts at its start again.
    line.SetStatusText(QStringLiteral("short"));
    EXPECT_EQ(Left(), 0);
    line.Tick(true, now);
    EXPECT_EQ(Left(), 0);
}

TEST_F(StatusLineWidget, LongTextStaysWhenScrollingIsOff)
{
    line.SetStatusText(QString(200, QLatin1Char('x')));
    line.Tick(false, now);
    line.Tick(false, now);
    EXPECT_EQ(Left(), 0);
}

TEST_F(StatusLineWidget, TimerMovesTheTextInTheRunningWindow)
{
    Program program;
    program.Start();
    QLabel* label = program.Find<QLabel>("StatusLabel");
    program.Main().SetStatusText(std::string(300, 'y'));
    EXPECT_EQ(label->x(), 0);
    // Two ticks of 200 ms.
    QTest::qWait(450);
    EXPECT_LE(label->x(), -10);
    EXPECT_EQ(label->x() % 10, 0);
    EXPECT_FALSE(program.Find<QLabel>("Clock")->text().isEmpty());
}

TEST_F(StatusLineWidget, ClockShowsDateAndTimeWithSeconds)
{
    line.Tick(true, now);
    const QString clock = line.findChild<QLabel*>(QStringLiteral("Clock"))->text();
    EXPECT_TRUE(clock.contains(QStringLiteral("2026"))) << clock.toStdString();
    EXPECT_TRUE(clock.contains(QStringLiteral("05")) && clock.contains(QStringLiteral("07"))) << clock.toStdString();
    EXPECT_EQ(ClockText(now), clock);
}

TEST_F(StatusLineWidget, CountDisplay)
{
    auto* count = line.findChild<QLabel*>(QStringLiteral("CountOfChr"));
    auto* limit = line.findChild<QLabel*>(QStringLiteral("Label6"));
    auto* gauge = line.findChild<QProgressBar*>(QStringLiteral("Gauge1"));
    EXPECT_EQ(limit->text(), QStringLiteral("/ 384"));
    line.ShowCount({501, 500, true, 500, 500});
    EXPECT_EQ(count->text(), QStringLiteral("501"));
    EXPECT_EQ(count->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(limit->text(), QStringLiteral("/ 500"));
    EXPECT_EQ(gauge->maximum(), 500);
    EXPECT_EQ(gauge->value(), 500);
    // A limit of 0 must not turn the gauge into a busy indicator.
    line.ShowCount({3, 0, true, 0, 0});
    EXPECT_GT(gauge->maximum(), 0);
    EXPECT_EQ(gauge->value(), gauge->maximum());

    auto* abort = line.AbortButton();
    EXPECT_TRUE(abort->isHidden());
    line.SetAbortVisible(true);
    EXPECT_FALSE(abort->isHidden());
    EXPECT_EQ(abort->text(), QString::fromUtf8("中止"));
    EXPECT_TRUE(abort->geometry().contains(count->geometry().center()));
}

} // namespace
} // namespace kitemail::test
