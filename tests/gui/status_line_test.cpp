// The status line: scrolling of long texts, the click that resets it, the
// clock, and the count display.

#include "golden.h"
#include "gui_support.h"

#include "ui/status_line.h"

#include <QProgressBar>

namespace kitemail::test {
namespace {

class StatusLeft : public ::testing::TestWithParam<TableRow> {};

TEST_P(StatusLeft, NextLeftEdge)
{
    const TableRow& r = GetParam();
    EXPECT_EQ(NextStatusLeft(r.Int(0), r.Int(1), r.Int(2), r[3] == "1"), r.Int(4));
}

INSTANTIATE_TEST_SUITE_P(Rows, StatusLeft, ::testing::ValuesIn(ReadTable("status_left")), TableRowName());

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

TEST_F(StatusLineWidget, LongTextScrollsOnlyWhenOnAndAClickOrANewTextPutsItBack)
{
    line.SetStatusText(QString(200, QLatin1Char('x')));
    ASSERT_GT(line.StatusLabel()->width(), line.StatusArea()->width());
    line.Tick(false, now);
    EXPECT_EQ(Left(), 0);
    line.Tick(true, now);
    line.Tick(true, now);
    EXPECT_EQ(Left(), -20);
    QTest::mouseClick(line.StatusLabel(), Qt::LeftButton);
    EXPECT_EQ(Left(), 0);
    line.Tick(true, now);
    line.SetStatusText(QStringLiteral("short"));
    EXPECT_EQ(Left(), 0);
    line.Tick(true, now);
    EXPECT_EQ(Left(), 0);
    // The clock shows the date and the time with seconds.
    const QString clock = line.findChild<QLabel*>(object_names::kClock)->text();
    EXPECT_EQ(clock, ClockText(now));
    EXPECT_TRUE(clock.contains(QStringLiteral("2026")) && clock.contains(QStringLiteral("07"))) << clock.toStdString();
}

TEST_F(StatusLineWidget, ZeroLimitGaugeAndTheAbortButtonOverTheCount)
{
    auto* count = line.findChild<QLabel*>(object_names::kCount);
    auto* gauge = line.findChild<QProgressBar*>(object_names::kGauge);
    // A limit of 0 must not turn the gauge into a busy indicator.
    line.ShowCount({3, 0, true, 0, 0});
    EXPECT_GT(gauge->maximum(), 0);
    EXPECT_EQ(gauge->value(), gauge->maximum());

    EXPECT_TRUE(line.AbortButton()->isHidden());
    line.SetAbortVisible(true);
    EXPECT_FALSE(line.AbortButton()->isHidden());
    EXPECT_TRUE(line.AbortButton()->geometry().contains(count->geometry().center()));
}

} // namespace
} // namespace kitemail::test
