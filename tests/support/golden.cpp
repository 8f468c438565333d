#include "golden.h"

#include "file_bytes.h"
#include "platform/text_codec.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <utility>

namespace kitemail::test {

namespace fs = std::filesystem;

std::vector<std::string> GoldenNames(std::string_view area, std::string_view suffix)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(GoldenPath(area, ""))) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && !name.ends_with(".expected") && name.ends_with(suffix)) {
            names.push_back(name.substr(0, name.size() - suffix.size()));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

fs::path GoldenPath(std::string_view area, std::string_view name)
{
    return fs::path(KITEMAIL_TEST_DATA_DIR) / area / name;
}

std::string GoldenInput(std::string_view area, std::string_view name)
{
    return ReadBytes(GoldenPath(area, name));
}

void ExpectGolden(std::string_view area, std::string_view name, const std::string& actual)
{
    fs::path expected = GoldenPath(area, name);
    expected += ".expected";
    const char* update = std::getenv("KITEMAIL_UPDATE_GOLDEN");
    if (update != nullptr && std::string_view(update) == "1") {
        if (!fs::exists(expected) || ReadBytes(expected) != actual) {
            WriteBytes(expected, actual);
        }
        return;
    }
    ASSERT_TRUE(fs::exists(expected)) << expected << " is missing";
    EXPECT_EQ(actual, ReadBytes(expected)) << "differs from " << expected;
}

std::string Unescape(std::string_view cell, const Variables& variables, bool sjis)
{
    std::string out, plain;
    const auto flush = [&] { out += sjis ? Sj(std::exchange(plain, {})) : std::exchange(plain, {}); };
    for (std::size_t i = 0; i < cell.size(); ++i) {
        const std::size_t close = cell[i] == '{' ? cell.find('}', i) : std::string_view::npos;
        if (const auto found = close == std::string_view::npos ? variables.end()
                                                                : variables.find(cell.substr(i + 1, close - i - 1));
            found != variables.end()) {
            plain += found->second;
            i = close;
            continue;
        }
        const char c = i + 1 < cell.size() && cell[i] == '\\' ? cell[++i] : '\0';
        if (c == '\0') {
            plain += cell[i];
            continue;
        }
        flush();
        if (c == 'x') {
            out += static_cast<char>(std::stoi(std::string(cell.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else if (c == '{') {
            const std::size_t colon = cell.find(':', i), end = cell.find('}', colon);
            const std::string text = Unescape(cell.substr(colon + 1, end - colon - 1), variables, sjis);
            for (int n = std::stoi(std::string(cell.substr(i + 1, colon - i - 1))); n > 0; --n) {
                out += text;
            }
            i = end;
        } else {
            out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
        }
    }
    flush();
    return out;
}

std::vector<TableRow> ReadTable(std::string_view name)
{
    return ReadRows(GoldenPath("tables", std::string(name) + ".tsv"));
}

std::vector<TableRow> ReadRows(const fs::path& path)
{
    std::vector<TableRow> rows;
    std::istringstream lines(ReadBytes(path));
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        if (line.empty() || line.starts_with('#')) {
            continue;
        }
        TableRow row;
        row.line = number;
        std::istringstream cells(line);
        std::getline(cells, row.name, '\t');
        for (std::string cell; std::getline(cells, cell, '\t');) {
            row.cells.push_back(Unescape(cell));
        }
        if (line.ends_with('\t')) {
            row.cells.emplace_back();
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

namespace {

// A walk's steps; one that starts with "rows TABLE" runs once per row of the
// table, as WALK_ROW, its cells standing in for $1 to $9 in the steps. A
// cell that is "$N," or "$N;" alone becomes the row's cell N cut at those.
std::vector<TableRow> WalkSteps(std::string_view area, const std::string& walk, std::string_view row = {})
{
    std::vector<TableRow> steps = ReadRows(GoldenPath("walks/" + std::string(area), walk + ".walk"));
    if (steps.empty() || steps.front().name != "rows") {
        return steps;
    }
    const std::vector<TableRow> table = ReadTable(steps.front()[0]);
    steps.erase(steps.begin());
    const auto values = std::find_if(table.begin(), table.end(), [&](const TableRow& r) { return r.name == row; });
    for (TableRow& step : steps) {
        std::vector<std::string> cells;
        for (std::string cell : step.cells) {
            for (std::size_t n = 1; values != table.end() && n <= values->cells.size(); ++n) {
                const std::string mark = "$" + std::to_string(n);
                if (cell == mark + "," || cell == mark + ";") {
                    const std::vector<std::string> items = values->List(n - 1, cell.back());
                    cells.insert(cells.end(), items.begin(), items.end());
                    cell = "$";
                }
                for (std::size_t at; (at = cell.find(mark)) != std::string::npos;) {
                    cell.replace(at, mark.size(), values->cells[n - 1]);
                }
            }
            if (cell != "$") {
                cells.push_back(cell);
            }
        }
        step.cells = std::move(cells);
    }
    return steps;
}

} // namespace

std::vector<std::string> WalkNames(std::string_view area)
{
    std::vector<std::string> names;
    for (const std::string& walk : GoldenNames("walks/" + std::string(area), ".walk")) {
        const std::vector<TableRow> steps = ReadRows(GoldenPath("walks/" + std::string(area), walk + ".walk"));
        if (steps.empty() || steps.front().name != "rows") {
            names.push_back(walk);
            continue;
        }
        for (const TableRow& row : ReadTable(steps.front()[0])) {
            names.push_back(walk + "_" + row.name);
        }
    }
    return names;
}

void RunWalk(std::string_view area, std::string_view name, const WalkVerbs& verbs)
{
    std::string walk(name), row;
    if (!fs::exists(GoldenPath("walks/" + std::string(area), walk + ".walk"))) {
        row = walk.substr(walk.rfind('_') + 1);
        walk.resize(walk.size() - row.size() - 1);
    }
    const std::string path = GoldenPath("walks/" + std::string(area), walk + ".walk").string();
    for (const TableRow& step : WalkSteps(area, walk, row)) {
        const ::testing::ScopedTrace at(path.c_str(), step.line, step.name);
        const auto verb = verbs.find(step.name);
        ASSERT_TRUE(verb != verbs.end()) << "no verb " << step.name;
        verb->second(step);
        if (::testing::Test::HasFatalFailure() || ::testing::Test::IsSkipped()) {
            return;
        }
    }
}

std::string TableRow::Sjis(std::size_t i) const
{
    return IsUtf8Text(cells.at(i)) ? Sj(cells.at(i)) : cells.at(i);
}

std::vector<std::string> TableRow::List(std::size_t i, char separator) const
{
    std::vector<std::string> items;
    std::istringstream in(cells.at(i));
    for (std::string item; std::getline(in, item, separator);) {
        items.push_back(item);
    }
    return items;
}

// Every row is printed as each test program starts (and ctest starts one
// per row): long cells are cut, their head is enough to know them by.
void PrintTo(const TableRow& row, std::ostream* os)
{
    constexpr std::size_t kShown = 40;
    *os << row.name;
    for (const std::string& cell : row.cells) {
        *os << " | " << ::testing::PrintToString(cell.substr(0, kShown)) << (cell.size() > kShown ? "..." : "");
    }
}

} // namespace kitemail::test
