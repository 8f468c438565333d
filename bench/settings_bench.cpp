// The settings file is read at start-up and written at every close of the
// settings dialog; a large address book must not make either noticeable.
// Target: a book of 5000 entries loads, and is saved to the file, in well
// under 100 ms each.

#include "platform/profile.h"
#include "platform/text_codec.h"
#include "settings/settings.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <filesystem>

namespace {

using namespace kitemail;

std::vector<std::string> Book(std::int64_t n)
{
    std::vector<std::string> book;
    for (std::int64_t i = 0; i < n; ++i) {
        book.push_back(Sj("山田太郎") + std::to_string(i) + ",taro" + std::to_string(i) + "@example.jp,,3,-1");
    }
    return book;
}

void BM_WriteAddressBookIntoProfile(benchmark::State& state)
{
    const std::vector<std::string> book = Book(state.range(0));
    for (auto _ : state) {
        Profile p("/nonexistent/Kiteml.ini");
        p.WriteInt("TEL", "How", static_cast<std::int32_t>(book.size()));
        for (std::size_t i = 0; i < book.size(); ++i) {
            p.WriteString("TEL", std::to_string(i), book[i]);
        }
        p.WriteString("Configuration", "Server", "smtp.example.jp");
        benchmark::DoNotOptimize(p.Serialize());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WriteAddressBookIntoProfile)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// A settings file with a book of n entries in a folder of its own.
class BookFile {
public:
    explicit BookFile(std::int64_t n)
    {
        settings.AddressBook = Book(n);
        const std::filesystem::path folder(dir_.path().toStdString());
        ini = folder / "Kiteml.ini";
        signature = folder / "Signature.txt";
    }
    // The dialog's save, as at every close; false when it was refused.
    [[nodiscard]] bool Save() { return SaveDialogSettings(ini, signature, settings).ok(); }

    Settings settings;
    std::filesystem::path ini;
    std::filesystem::path signature;

private:
    QTemporaryDir dir_;
};

void BM_LoadDialogSettings(benchmark::State& state)
{
    BookFile file(state.range(0));
    if (!file.Save()) {
        state.SkipWithError("could not write the settings file");
        return;
    }
    for (auto _ : state) {
        Settings loaded;
        LoadMainWindowSettings(file.ini, loaded);
        benchmark::DoNotOptimize(LoadDialogSettings(file.ini, file.signature, loaded));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadDialogSettings)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// The whole save at a close of the dialog, file written and synced.
void BM_SaveDialogSettings(benchmark::State& state)
{
    BookFile file(state.range(0));
    for (auto _ : state) {
        if (!file.Save()) {
            state.SkipWithError("could not write the settings file");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveDialogSettings)->Arg(5000)->Unit(benchmark::kMillisecond);

} // namespace
