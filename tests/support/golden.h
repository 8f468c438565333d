#pragma once
// Golden pairs: tests/data/AREA/NAME is an input and NAME.expected beside it
// what the code must make of it, byte for byte. A test runs one row per
// pair, named after the input; a fault found later becomes one more pair
// named after what broke.
//
// With KITEMAIL_UPDATE_GOLDEN=1 in the environment a mismatch rewrites the
// .expected file instead of failing; read the diff before committing it.

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace kitemail::test {

// The inputs of an area, sorted; with a suffix, those whose names end in it,
// named without it.
[[nodiscard]] std::vector<std::string> GoldenNames(std::string_view area, std::string_view suffix = {});

[[nodiscard]] std::filesystem::path GoldenPath(std::string_view area, std::string_view name);
[[nodiscard]] std::string GoldenInput(std::string_view area, std::string_view name);

// Compares actual with NAME.expected, or rewrites it in update mode.
void ExpectGolden(std::string_view area, std::string_view name, const std::string& actual);

// The row name gtest shows: the input's name.
struct GoldenRowName {
    std::string operator()(const ::testing::TestParamInfo<std::string>& info) const { return info.param; }
};

// A table of rows, each inputs and what the code must make of them:
// tests/data/tables/NAME.tsv, one row a line, its name (a gtest name) then
// its cells, separated by tabs; blank lines and lines starting with '#' are
// comments. Cells are UTF-8 and take the escapes \t \r \n \\ \xHH and
// \{N:text}, text N times.
struct TableRow {
    std::string name;
    std::vector<std::string> cells;
    int line = 0; // in its file, for messages
    [[nodiscard]] const std::string& operator[](std::size_t i) const { return cells.at(i); }
    [[nodiscard]] int Int(std::size_t i) const { return std::stoi(cells.at(i)); }
    // The cell as code page 932: converted where it is UTF-8, else its bytes
    // as written (a stray lead byte, say).
    [[nodiscard]] std::string Sjis(std::size_t i) const;
    // The cell's items between separators; none for an empty cell.
    [[nodiscard]] std::vector<std::string> List(std::size_t i, char separator = ',') const;
};

[[nodiscard]] std::vector<TableRow> ReadTable(std::string_view name);
[[nodiscard]] std::vector<TableRow> ReadRows(const std::filesystem::path& path);
// Values a text names as {name}; other braces stay as written.
using Variables = std::map<std::string, std::string, std::less<>>;
// A cell's escapes and repetitions undone and its variables put in; with
// sjis, what is not an escape is converted to code page 932 (the bytes of
// escapes stay as written). The one reading of tables, transcripts and walks.
[[nodiscard]] std::string Unescape(std::string_view cell, const Variables& variables = {}, bool sjis = false);
void PrintTo(const TableRow& row, std::ostream* os);

struct TableRowName {
    std::string operator()(const ::testing::TestParamInfo<TableRow>& info) const { return info.param.name; }
};

// A walk: tests/data/walks/AREA/NAME.walk, a script of steps in the table's
// form, one a line: a verb, then its cells. The runner's verbs act on what
// the test holds or check it; a failure names the walk's file and line. A
// walk whose first step is "rows TABLE" runs once for each row of the
// table, named NAME_ROW, $1 to $9 in its steps standing for the row's cells.
using WalkVerbs = std::map<std::string, std::function<void(const TableRow&)>, std::less<>>;
[[nodiscard]] std::vector<std::string> WalkNames(std::string_view area);
void RunWalk(std::string_view area, std::string_view name, const WalkVerbs& verbs);

} // namespace kitemail::test
