#pragma once
// The count taken apart for the user: its terms as a short table in the
// count display's tooltip and in a small window that follows every
// recount, and the part of the body past the limit marked in the body box.

#include "accounting/counter.h"

#include <QObject>
#include <QString>
#include <QStringView>
#include <QWidget>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

class QGridLayout;
class QLabel;
class QPlainTextEdit;
class QTimer;

namespace kitemail {

class MessageComposer;
class StatusLine;

// What a send would make of a message over the limit.
struct SplitOutlook {
    bool attachments = false; // a mail with attachments is refused, not split
    bool ok = true;           // some part holds at least one character
    std::size_t parts = 0;
    std::size_t unsentBytes = 0; // past the ninth part
    bool bodyFits = false;    // the cut search keeps the whole body: nothing is marked
};

// One line of the table: a term's name, its bytes, a short note.
struct TermsRow {
    QString label;
    QString value;
    QString note;

    friend bool operator==(const TermsRow&, const TermsRow&) = default;
};

// The terms the type counts, one row each, whose values add up to the last
// row, the count ("合計").
[[nodiscard]] std::vector<TermsRow> TermsRows(const MessageTerms& terms, std::int32_t count);

// The terms, then the limit, the bytes left or over and, over the limit,
// what a split would make of the message.
[[nodiscard]] std::vector<TermsRow> ExplanationRows(const MessageTerms& terms, std::int32_t count,
                                                    std::int32_t limit, const std::optional<SplitOutlook>& split);

// The rows as an HTML table, for a tooltip or a label.
[[nodiscard]] QString RowsHtml(const std::vector<TermsRow>& rows);

// The position in the body box's text of the first character not wholly
// within the first `bytes` bytes of its code page 932 bytes (sjis, as
// ComposeBody makes them): a line break is CR LF there, a character
// Shift_JIS cannot hold its two-byte stand-in.
[[nodiscard]] qsizetype PositionAfterBytes(QStringView text, std::string_view sjis, std::size_t bytes);

// "容量の内訳": the table of the last recount, one window, not modal.
class CountTermsWindow : public QWidget {
    Q_OBJECT
public:
    explicit CountTermsWindow(QWidget* parent);

    void ShowRows(std::vector<TermsRow> rows);
    [[nodiscard]] const std::vector<TermsRow>& Rows() const noexcept { return rows_; }

private:
    QGridLayout* grid_;
    std::vector<std::array<QLabel*, 3>> cells_;
    std::vector<TermsRow> rows_;
};

// Keeps the tooltip, the window and the mark in step with the composer;
// the main window calls Follow after each recount.
class CountExplainer : public QObject {
    Q_OBJECT
public:
    CountExplainer(const MessageComposer& composer, QPlainTextEdit* body, StatusLine* status, QWidget* window);

    void Follow();
    // Shows the window (made at the first call) and brings it to the front.
    void OpenWindow();
    [[nodiscard]] CountTermsWindow* Window() const noexcept { return window_; }
    // Where the mark starts in the body box's text; -1 when nothing is marked.
    [[nodiscard]] qsizetype MarkStart() const noexcept { return markStart_; }

private:
    // The mark put where it belongs now.
    void FollowMark();
    void SetMark(qsizetype start);
    // The split is redone at once when splitNow, else after a pause in
    // typing (it takes milliseconds on a long body); the last one shows
    // meanwhile.
    void RefreshWindow(bool splitNow);

    const MessageComposer& composer_;
    QPlainTextEdit* body_;
    QWidget* parentWindow_;
    CountTermsWindow* window_ = nullptr;
    QTimer* splitTimer_;
    qsizetype markStart_ = -1;
    std::optional<std::size_t> fits_; // of the last recount, when over the limit
    std::optional<SplitOutlook> split_; // the last split, while over the limit
};

} // namespace kitemail
