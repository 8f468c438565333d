// What one keystroke in a long body costs the window: the box's text
// turned into code page 932 and the message recounted (its terms with it);
// then the same with the body bytes that fit, which the over-limit mark needs.

#include "accounting/splitter.h"
#include "platform/text_codec.h"
#include "send/draft.h"
#include "send/message_composer.h"
#include "settings/settings.h"

#include <QString>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace kitemail;

class SilentUi : public UserInterface {
public:
    void SetStatusText(const std::string&) override {}
    void ShowMessage(const std::string&) override {}
    bool Confirm(const std::string&, const std::string&) override { return false; }
    YesNoCancel AskYesNoCancel(const std::string&, const std::string&) override { return YesNoCancel::Cancel; }
    void Beep() override {}
    std::optional<std::string> PromptPassword(const std::string&) override { return std::nullopt; }
};

// About `bytes` bytes once encoded: mixed Japanese and ASCII lines.
QString LongBody(std::size_t bytes)
{
    const QString line = QString::fromUtf8("今日は、東京駅で10時に待ち合わせ。OK? ｶﾀｶﾅもあり。\r\n");
    QString body;
    while (EncodeSjis(body).bytes.size() < bytes) {
        body += line;
    }
    return body;
}

// Arguments: the body's size, the terminal type (0: limit 6000, 4: 20000),
// and whether the bytes that fit are found too.
void BM_Keystroke(benchmark::State& state)
{
    Settings settings;
    SilentUi ui;
    MessageComposer composer(settings, ui);
    composer.SetSender("someone@example.jp");
    composer.TypeBoxChanged(TerminalTypeFromNumber(static_cast<std::int32_t>(state.range(1))));
    const QString body = LongBody(static_cast<std::size_t>(state.range(0)));
    const bool fits = state.range(2) != 0;
    for (auto _ : state) {
        SjisEncoding encoded = EncodeSjis(body);
        composer.SetBody({std::move(encoded.bytes), std::move(encoded.unmappable)});
        benchmark::DoNotOptimize(composer.Display());
        if (fits) {
            const TerminalTypeState& type = composer.TypeState();
            SplitInputs in;
            in.body = composer.Text(TextArea::Body).bytes;
            in.subject = " ";
            in.from = composer.Sender();
            in.type = type.CurrentTerminalType;
            in.fixedLength = type.CurrentFixedLength;
            in.maxLength = type.CurrentMaxLength;
            benchmark::DoNotOptimize(BodyBytesThatFit(in));
        }
    }
}
BENCHMARK(BM_Keystroke)
    ->ArgNames({"bytes", "type", "fits"})
    ->ArgsProduct({{20000, 100000}, {0, 4}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// The bytes that fit alone, over a body with the limit near its end.
void BM_BodyBytesThatFit(benchmark::State& state)
{
    const std::string body = EncodeSjis(LongBody(static_cast<std::size_t>(state.range(0)))).bytes;
    SplitInputs in;
    in.body = body;
    in.subject = " ";
    in.from = "someone@example.jp";
    in.type = TerminalType::HLink;
    in.maxLength = 20000;
    for (auto _ : state) {
        benchmark::DoNotOptimize(BodyBytesThatFit(in));
    }
}
BENCHMARK(BM_BodyBytesThatFit)->Arg(20000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// One draft written as the window writes it, a few seconds after the last
// change: formatted, written to a temporary file, synced and renamed.
void BM_DraftWrite(benchmark::State& state)
{
    QTemporaryDir dir;
    Draft draft;
    draft.address = "you@example.jp";
    draft.subject = "件名";
    draft.body = LongBody(static_cast<std::size_t>(state.range(0))).toStdString();
    draft.attachments = {"/home/someone/a picture.jpg"};
    for (auto _ : state) {
        benchmark::DoNotOptimize(WriteDraft(dir.path().toStdString(), draft));
    }
}
BENCHMARK(BM_DraftWrite)->ArgName("bytes")->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

} // namespace
