// The count runs on every keystroke; the conversions run on whole bodies.

#include "accounting/counter.h"
#include "platform/text_codec.h"
#include "text/jis.h"

#include <benchmark/benchmark.h>

namespace {

using namespace kitemail;

// Mixed Japanese and ASCII lines, as a long mail is written.
std::string MixedBody(std::size_t bytes)
{
    const std::string line = Sj("今日は、東京駅で10時に待ち合わせ。OK? ｶﾀｶﾅもあり。\r\n");
    std::string body;
    while (body.size() + line.size() <= bytes) {
        body += line;
    }
    body.append(bytes - body.size(), 'x');
    return body;
}

void BM_CountMessageSize20k(benchmark::State& state)
{
    const std::string body = MixedBody(20000);
    const std::string subject = Sj("件名のテスト");
    CountInputs in;
    in.body = body;
    in.subject = subject;
    in.sender = "someone@example.jp";
    in.type = TerminalType::VodafoneLongMail;
    in.fixedLength = 55;
    for (auto _ : state) {
        benchmark::DoNotOptimize(CountMessageSize(in));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(body.size()));
}
BENCHMARK(BM_CountMessageSize20k);

void BM_SjisToJis(benchmark::State& state)
{
    const std::string text = MixedBody(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(SjisToJis(text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_SjisToJis)->Arg(4 << 20);

void BM_JisToSjis(benchmark::State& state)
{
    const std::string jis = SjisToJis(MixedBody(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(JisToSjis(jis));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_JisToSjis)->Arg(4 << 20);

} // namespace
