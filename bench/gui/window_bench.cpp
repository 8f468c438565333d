// The windows with a large address book, on the offscreen platform:
// start-up to the first shown main window (target: under 300 ms with 500
// entries in a Release build), and the settings dialog opening, sorting and
// saving with 5000 entries, which must not make the user wait; and a
// keystroke in a long body, with the text past the limit marked.

#include "platform/data_dir.h"
#include "platform/text_codec.h"
#include "send/draft.h"
#include "settings/settings.h"
#include "ui/address_book_page.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/object_names.h"
#include "ui/settings_dialog.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

using namespace kitemail;

// A data folder whose Kiteml.ini holds a book of n entries in reverse order.
class BookFolder {
public:
    explicit BookFolder(std::int64_t n, bool sorted)
    {
        Settings s;
        for (std::int64_t i = n; i > 0; --i) {
            s.AddressBook.push_back(Sj("山田太郎") + std::to_string(i) + ",taro" + std::to_string(i) +
                                    "@example.jp,,3,-1");
        }
        s.SenderList = {"me@example.jp"};
        s.SortAddressBook = sorted;
        (void)SaveDialogSettings(SettingsFilePath(Dir()), SignaturePath(Dir()), s);
    }
    [[nodiscard]] std::filesystem::path Dir() const { return dir_.path().toStdString(); }

private:
    QTemporaryDir dir_;
};

void ShowAndWait(QWidget& window)
{
    window.show();
    while (window.windowHandle() == nullptr || !window.windowHandle()->isExposed()) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// From nothing to the first shown main window: both halves of the settings
// loaded, every window created, the book in the check list.
void BM_StartupToFirstShownWindow(benchmark::State& state)
{
    const BookFolder folder(state.range(0), true);
    for (auto _ : state) {
        auto windows = CreateProgramWindows(folder.Dir(), {});
        ShowAndWait(*windows->mainWindow);
        state.PauseTiming();
        windows.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupToFirstShownWindow)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);

// The dialog as each opening shows it, closed again (every close saves
// the whole book and pushes it into the main window).
void BM_SettingsDialogOpenAndClose(benchmark::State& state)
{
    const BookFolder folder(state.range(0), true);
    auto windows = CreateProgramWindows(folder.Dir(), {});
    SettingsDialog& dialog = *windows->settingsDialog;
    for (auto _ : state) {
        ShowAndWait(dialog);
        dialog.done(0);
    }
}
BENCHMARK(BM_SettingsDialogOpenAndClose)->Arg(5000)->Unit(benchmark::kMillisecond);

// "ソート" ticked on an unsorted book, the list following.
void BM_SettingsDialogSortsTheBook(benchmark::State& state)
{
    const BookFolder folder(state.range(0), false);
    auto windows = CreateProgramWindows(folder.Dir(), {});
    SettingsDialog& dialog = *windows->settingsDialog;
    const std::vector<std::string> unsorted = windows->settings.AddressBook;
    ShowAndWait(dialog);
    for (auto _ : state) {
        state.PauseTiming();
        windows->settings.AddressBook = unsorted;
        dialog.Editor().Book().SetSorted(false);
        dialog.BookPage()->Sync();
        state.ResumeTiming();
        dialog.Editor().Book().SetSorted(true);
        dialog.BookPage()->Sync();
    }
    dialog.hide();
}
BENCHMARK(BM_SettingsDialogSortsTheBook)->Arg(5000)->Unit(benchmark::kMillisecond);

// Two keystrokes at the end of a body of about `bytes` bytes (H"Link), a
// character typed and taken back, each followed by the repaint: the count with its terms,
// and, when `over`, the bytes that fit and the mark (limit half the body);
// `window` shows "容量の内訳" too (its split waits for a pause in typing).
void BM_BodyKeystroke(benchmark::State& state)
{
    const auto bytes = static_cast<std::size_t>(state.range(0));
    const bool over = state.range(1) != 0;
    QTemporaryDir dir;
    std::ofstream(std::filesystem::path(dir.path().toStdString()) / "Kiteml.ini")
        << "[Configuration]\r\nDefaultType=4\r\n[MyAddress]\r\nHow=1\r\n0=me@example.jp\r\n[Length]\r\n4="
        << (over ? bytes / 2 : 10 * bytes) << "\r\n";
    auto windows = CreateProgramWindows(dir.path().toStdString(), {}, FirstStart::Skip);
    ShowAndWait(*windows->mainWindow);
    auto* body = windows->mainWindow->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    const QString line = QString::fromUtf8("今日は、東京駅で10時に待ち合わせ。OK? ｶﾀｶﾅもあり。\n");
    QString text;
    while (static_cast<std::size_t>(EncodeSjis(text).bytes.size()) < bytes) {
        text += line;
    }
    body->setPlainText(text);
    body->moveCursor(QTextCursor::End);
    if (state.range(2) != 0) {
        windows->mainWindow->findChild<QAction*>(QStringLiteral("CountTerms1"))->trigger();
    }
    QApplication::processEvents();
    if (windows->mainWindow->Composer().Display().over != over || (over && body->extraSelections().size() != 1)) {
        state.SkipWithError("the limit is not where the benchmark put it");
        return;
    }
    for (auto _ : state) {
        body->insertPlainText(QStringLiteral("a"));
        QApplication::processEvents();
        body->textCursor().deletePreviousChar();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_BodyKeystroke)
    ->ArgNames({"bytes", "over", "window"})
    ->Args({20000, 0, 0})
    ->Args({20000, 1, 0})
    ->Args({20000, 1, 1})
    ->Args({100000, 0, 0})
    ->Args({100000, 1, 0})
    ->Args({100000, 1, 1})
    ->Unit(benchmark::kMicrosecond);

// One keystroke in a 20000-byte body, with the draft kept (1) or not (0):
// keeping it only restarts a timer on the way, the draft is made and
// written seconds later, so the two must not differ. draft_writes counts
// the writes the keystrokes caused while they ran (none: the timer waits).
void BM_KeystrokeWithDraft(benchmark::State& state)
{
    QTemporaryDir dir;
    Settings settings;
    SettingsFile file(dir.path().toStdString());
    MainWindow window(settings, file);
    if (state.range(0) != 0) {
        window.KeepDraft(false);
    }
    auto* body = window.findChild<QPlainTextEdit*>(QString::fromLatin1(object_names::kBody));
    const QString line = QString::fromUtf8("今日は、東京駅で10時に待ち合わせ。OK?\n");
    QString text;
    while (EncodeSjis(text).bytes.size() < 20000) {
        text += line;
    }
    body->setPlainText(text);
    body->moveCursor(QTextCursor::End);
    const std::filesystem::path draft = DraftPath(dir.path().toStdString());
    for (auto _ : state) {
        body->insertPlainText(QStringLiteral("a"));
    }
    state.counters["draft_writes"] = std::filesystem::exists(draft) ? 1 : 0;
}
BENCHMARK(BM_KeystrokeWithDraft)->ArgName("draft")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The offscreen platform reports what it cannot do for every window.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.startsWith(QLatin1String("This plugin does not support"))) {
        qt_message_output(type, context, message);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    const auto processStart = std::chrono::steady_clock::now();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qInstallMessageHandler(QuietMessages);
    QApplication app(argc, argv);
    {
        // Once, cold: the application object, fonts and styles included.
        const BookFolder folder(500, true);
        const auto start = std::chrono::steady_clock::now();
        auto windows = CreateProgramWindows(folder.Dir(), {});
        ShowAndWait(*windows->mainWindow);
        const auto shown = std::chrono::steady_clock::now();
        const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
        std::printf("Cold start with 500 entries: %.1f ms to the first shown window (%.1f ms from main)\n",
                    ms(shown - start), ms(shown - processStart));
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
