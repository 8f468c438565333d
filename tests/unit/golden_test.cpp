// The encoders and converters against their golden pairs in tests/data:
// one folder per function, one row per input file. Quoted-printable in
// pieces is a walk (walks_test, qp_pieces).

#include "golden.h"
#include "mail/outgoing_mail.h"
#include "text/encoders.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace kitemail {
namespace {

const std::map<std::string, std::function<std::string(const std::string&)>> kFunctions = {
    {"base64", EncodeBase64},
    {"header_line", EncodeHeaderLine},
    {"jis_header", EncodeJisHeader},
    {"jis_word", EncodeJisWord},
    {"mail_text", MailTextFor},
    {"q_header", EncodeQHeader},
    {"quoted_printable",
     [](const std::string& in) {
         std::string out;
         QuotedPrintableEncoder().Encode(in, out);
         return out;
     }},
    {"to_sjis", JisToSjis},
    {"uuencode", // a block at a time, as a file is read
     [](const std::string& in) {
         std::string out;
         for (std::size_t i = 0; i < in.size(); i += kUuBlockSize) {
             EncodeUuBlock(std::string_view(in).substr(i, kUuBlockSize), out);
         }
         return out;
     }},
};

struct Row {
    std::string area;
    std::string name;
};

std::vector<Row> Rows()
{
    std::vector<Row> rows;
    for (const auto& [area, function] : kFunctions) {
        for (std::string& name : test::GoldenNames(area)) {
            rows.push_back({area, std::move(name)});
        }
    }
    return rows;
}

class Golden : public ::testing::TestWithParam<Row> {};

TEST_P(Golden, GivesTheExpectedBytes)
{
    const Row& row = GetParam();
    test::ExpectGolden(row.area, row.name, kFunctions.at(row.area)(test::GoldenInput(row.area, row.name)));
}

INSTANTIATE_TEST_SUITE_P(Files, Golden, ::testing::ValuesIn(Rows()),
                         [](const auto& row) { return row.param.area + "_" + row.param.name; });

} // namespace
} // namespace kitemail
