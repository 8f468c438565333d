// The history window opening on a folder of 20,000 records (target: the
// list filled in under 1 s, Release build, warm cache), and the folder
// read alone.

#include "platform/data_dir.h"
#include "platform/text_codec.h"
#include "send/history_folder.h"
#include "send/history_record.h"
#include "ui/application.h"
#include "ui/history_viewer.h"

#include <benchmark/benchmark.h>

#include <QListWidget>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

namespace {

using namespace kitemail;

// A data folder whose mail/ holds n records to 50 recipients, as sends write them.
class HistoryFolder {
public:
    explicit HistoryFolder(std::int64_t n)
    {
        const std::filesystem::path mail = HistoryDirPath(Dir());
        std::filesystem::create_directories(mail);
        for (std::int64_t i = 0; i < n; ++i) {
            HistoryRecord r;
            r.to = "user" + std::to_string(i % 50) + "@example.jp";
            r.subject = Sj("件名") + std::to_string(i);
            r.from = "me@example.jp";
            r.messageId = MakeMessageId("20260605064213", r.from);
            r.server = "smtp.example.jp";
            r.body = Sj("今日は10時に東京駅で待ち合わせ。\r\nよろしく！");
            char name[32];
            std::snprintf(name, sizeof name, "2026%010lld.eml", static_cast<long long>(i));
            std::ofstream(mail / name, std::ios::binary) << r.Format();
        }
    }
    [[nodiscard]] std::filesystem::path Dir() const { return dir_.path().toStdString(); }

private:
    QTemporaryDir dir_;
};

// Shown: the folder read, the filter and the list filled, the newest record shown.
void BM_HistoryWindowShowsTheFilledList(benchmark::State& state)
{
    const HistoryFolder folder(state.range(0));
    auto windows = CreateProgramWindows(folder.Dir(), {});
    HistoryViewer& viewer = *windows->historyViewer;
    for (auto _ : state) {
        viewer.show();
        benchmark::DoNotOptimize(viewer.findChild<QListWidget*>(QStringLiteral("ListBox3"))->count());
        state.PauseTiming();
        viewer.hide();
        state.ResumeTiming();
    }
    if (viewer.Browser().Items().size() != static_cast<std::size_t>(state.range(0))) {
        state.SkipWithError("not every record listed");
    }
}
BENCHMARK(BM_HistoryWindowShowsTheFilledList)->Arg(20000)->Unit(benchmark::kMillisecond);

// The engine's part alone: list the folder, read each first line.
void BM_HistoryFolderRead(benchmark::State& state)
{
    const HistoryFolder folder(state.range(0));
    HistoryBrowser browser(HistoryDirPath(folder.Dir()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(browser.Reload());
    }
}
BENCHMARK(BM_HistoryFolderRead)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace
