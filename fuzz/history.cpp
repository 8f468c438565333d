// The history folder's reader over any record bytes: the list takes the
// first line exactly (up to CR or LF) and numbers it 1; the header fields
// hold no line end; a record written with a subject made of the input
// reads back with that subject; and a record's bytes are named as not
// Shift_JIS exactly when they are not.

#include "fuzz_support.h"
#include "platform/text_codec.h"
#include "send/history_folder.h"
#include "send/history_record.h"

#include <filesystem>
#include <string>

namespace {

using namespace kitemail;

bool HasLineEnd(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes = fuzz::Bytes(data, size);
    const std::filesystem::path folder = fuzz::ScratchDir() / "mail";
    std::filesystem::create_directories(folder);
    fuzz::WriteFile(folder / "2026060506421300.eml", bytes);

    HistoryBrowser history(folder);
    FUZZ_CHECK(history.Reload());
    const std::string_view firstLine = bytes.substr(0, bytes.find_first_of("\r\n"));
    FUZZ_CHECK(history.Items().size() == 1);
    // Past 64 KiB the list keeps the line's start only.
    if (firstLine.size() < 60000) {
        FUZZ_CHECK(HistoryBrowser::ItemText(history.Items()[0]) == "1:" + std::string(firstLine));
        FUZZ_CHECK(history.FilterItems().size() == 2 && history.FilterItems()[1] == firstLine);
    }

    const HistoryFields fields = ParseHistoryFields(bytes);
    for (const std::string* f : {&fields.to, &fields.date, &fields.subject, &fields.result}) {
        FUZZ_CHECK(!HasLineEnd(*f));
    }
    if (firstLine.starts_with("To: ")) {
        FUZZ_CHECK(fields.to == firstLine.substr(4));
    }

    HistoryRecord record;
    record.to = "a@example.jp";
    record.subject = std::string(firstLine);
    record.messageId = "20260605064213.1_me@example.jp";
    record.body = std::string(bytes);
    const HistoryFields back = ParseHistoryFields(record.Format());
    FUZZ_CHECK(back.subject == record.subject && back.result == "Succeed" && back.to == record.to);

    FUZZ_CHECK(UndecodableSjisNames(bytes).empty() == IsSjisText(bytes));
    return 0;
}
