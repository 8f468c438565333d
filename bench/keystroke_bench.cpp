// What one keystroke in a long body costs the window: the box's text
// turned into code page 932 and the message recounted.

#include "platform/text_codec.h"
#include "send/message_composer.h"
#include "settings/settings.h"

#include <QString>

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

// About 20,000 bytes once encoded: mixed Japanese and ASCII lines.
QString LongBody()
{
    const QString line = QString::fromUtf8("今日は、東京駅で10時に待ち合わせ。OK? ｶﾀｶﾅもあり。\r\n");
    QString body;
    while (EncodeSjis(body).bytes.size() < 20000) {
        body += line;
    }
    return body;
}

void BM_KeystrokeInA20kBody(benchmark::State& state)
{
    Settings settings;
    SilentUi ui;
    MessageComposer composer(settings, ui);
    composer.SetSender("someone@example.jp");
    composer.TypeBoxChanged(TerminalType::VodafoneLongMail);
    const QString body = LongBody();
    for (auto _ : state) {
        SjisEncoding encoded = EncodeSjis(body);
        composer.SetBody({std::move(encoded.bytes), std::move(encoded.unmappable)});
        benchmark::DoNotOptimize(composer.Display());
    }
}
BENCHMARK(BM_KeystrokeInA20kBody)->Unit(benchmark::kMicrosecond);

} // namespace
