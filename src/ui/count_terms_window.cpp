#include "ui/count_terms_window.h"

#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "send/message_composer.h"
#include "ui/status_line.h"
#include "ui/utf8_text.h"
#include "ui/window_placement.h"

#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace kitemail {
namespace {

constexpr int kSplitPause = 300; // ms without a recount before the split is redone

QString N(std::int64_t v)
{
    return QString::number(v);
}

QString SenderNote(const MessageTerms& t)
{
    switch (t.rules.sender) {
    case SenderTerm::CappedAt55: return t.senderLength > 55 ? Q("55バイトまで") : QString();
    case SenderTerm::UpToAt: return Q("@まで");
    case SenderTerm::None:
    case SenderTerm::Whole: break;
    }
    return {};
}

QString SubjectNote(const MessageTerms& t)
{
    if (t.subjectFlat40) {
        return Q("40バイト超は一律40");
    }
    return t.subjectText.shiftBytes > 0 ? Q("シフト%1回込み").arg(t.subjectText.shifts) : QString();
}

QString AttachmentNote(const AttachmentMeasure& a)
{
    QString name = DecodeSjis(a.path);
    name = name.mid(std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\')) + 1);
    if (a.pathBytes == 0 && a.extra == 0) {
        return name;
    }
    return Q("%1（サイズ%2＋パス%3＋%4）").arg(name, N(a.size), N(a.pathBytes), N(a.extra));
}

} // namespace

std::vector<TermsRow> TermsRows(const MessageTerms& t, std::int32_t count)
{
    std::vector<TermsRow> rows;
    rows.push_back({Q("固定分"), N(t.fixed), {}});
    if (t.rules.sender != SenderTerm::None) {
        rows.push_back({Q("送信元"), N(t.sender), SenderNote(t)});
    }
    if (t.rules.subject != SubjectTerm::None) {
        rows.push_back({Q("件名"), N(t.subject), SubjectNote(t)});
    }
    // The widened kana have a row of their own, so the rows add up.
    rows.push_back({Q("本文"), N(t.body.bytes - t.body.widenedBytes), {}});
    if (t.body.shifts > 0) {
        const QString times = Q("%1回").arg(t.body.shifts);
        rows.push_back({Q("シフト"), N(t.body.shiftBytes), t.body.shiftBytes > 0 ? times : times + Q("（数えない）")});
    }
    if (t.body.widenedKana > 0) {
        rows.push_back({Q("半角カナ→全角"), N(t.body.widenedBytes), Q("%1文字").arg(t.body.widenedKana)});
    }
    for (const AttachmentMeasure& a : t.attachments) {
        rows.push_back({Q("添付"), N(a.Term()), AttachmentNote(a)});
    }
    if (t.finalBreak != 0) {
        rows.push_back({Q("末尾改行"), N(t.finalBreak), {}});
    }
    rows.push_back({Q("合計"), N(count), {}});
    return rows;
}

std::vector<TermsRow> ExplanationRows(const MessageTerms& terms, std::int32_t count, std::int32_t limit,
                                      const std::optional<SplitOutlook>& split)
{
    std::vector<TermsRow> rows = TermsRows(terms, count);
    rows.push_back({Q("上限"), N(limit), {}});
    const std::int64_t left = std::int64_t{limit} - count;
    rows.push_back(left >= 0 ? TermsRow{Q("残り"), N(left), {}} : TermsRow{Q("超過"), N(-left), {}});
    if (left >= 0 || !split) {
        return rows;
    }
    if (split->attachments) {
        rows.push_back({Q("分割"), Q("不可"), Q("添付ファイル付きのメールは分割して送れません")});
    } else if (!split->ok) {
        rows.push_back({Q("分割"), Q("不可"), Q("送信元か件名が長すぎて本文が入りません")});
    } else {
        QString note;
        if (split->unsentBytes > 0) {
            note = Q("9通に収まらず、最後の%1バイトは送られません").arg(split->unsentBytes);
        } else if (split->bodyFits) {
            note = Q("分割の計算では本文がすべて1通目に入ります");
        }
        rows.push_back({Q("分割"), Q("%1通").arg(split->parts), note});
    }
    return rows;
}

QString RowsHtml(const std::vector<TermsRow>& rows)
{
    QString html = QStringLiteral("<table cellspacing=0 cellpadding=1>");
    for (const TermsRow& row : rows) {
        html += QStringLiteral("<tr><td>%1</td><td align=right>&nbsp;%2</td><td>&nbsp;%3</td></tr>")
                    .arg(row.label.toHtmlEscaped(), row.value.toHtmlEscaped(), row.note.toHtmlEscaped());
    }
    return html + QStringLiteral("</table>");
}

qsizetype PositionAfterBytes(QStringView text, std::string_view sjis, std::size_t bytes)
{
    qsizetype pos = 0;
    std::size_t at = 0;
    while (pos < text.size()) {
        qsizetype chars = 1;
        std::size_t length = 1;
        if (text[pos] == u'\n') {
            length = 2;
        } else {
            if (at < sjis.size() && sjis::IsLeadByte(sjis[at])) {
                length = 2;
            }
            if (text[pos].isHighSurrogate() && pos + 1 < text.size() && text[pos + 1].isLowSurrogate()) {
                chars = 2;
            }
        }
        if (at + length > bytes) {
            break;
        }
        at += length;
        pos += chars;
    }
    return pos;
}

CountTermsWindow::CountTermsWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      grid_(new QGridLayout(this))
{
    setObjectName(QStringLiteral("CountTermsWindow"));
    setWindowTitle(Q("容量の内訳"));
    grid_->setHorizontalSpacing(12);
    grid_->setVerticalSpacing(2);
    grid_->setSizeConstraint(QLayout::SetFixedSize);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
}

void CountTermsWindow::ShowRows(std::vector<TermsRow> rows)
{
    // Plain labels, only those whose text changed set again: the window
    // follows every keystroke.
    const auto sameLines = [&] {
        return rows.size() == rows_.size()
            && std::equal(rows.begin(), rows.end(), rows_.begin(),
                          [](const TermsRow& a, const TermsRow& b) { return a.label == b.label; });
    };
    if (!sameLines()) {
        for (const auto& row : cells_) {
            for (QLabel* cell : row) {
                delete cell;
            }
        }
        cells_.clear();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            std::array<QLabel*, 3> row{new QLabel(this), new QLabel(this), new QLabel(this)};
            row[1]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            for (int c = 0; c < 3; ++c) {
                row[c]->setTextFormat(Qt::PlainText);
                grid_->addWidget(row[c], static_cast<int>(i), c);
            }
            row[0]->setText(rows[i].label);
            cells_.push_back(row);
        }
        rows_.assign(rows.size(), TermsRow{});
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].value != rows_[i].value) {
            cells_[i][1]->setText(rows[i].value);
        }
        if (rows[i].note != rows_[i].note) {
            cells_[i][2]->setText(rows[i].note);
        }
    }
    rows_ = std::move(rows);
}

CountExplainer::CountExplainer(const MessageComposer& composer, QPlainTextEdit* body, StatusLine* status,
                               QWidget* window)
    : QObject(window), composer_(composer), body_(body), parentWindow_(window), splitTimer_(new QTimer(this))
{
    splitTimer_->setSingleShot(true);
    splitTimer_->setInterval(kSplitPause);
    connect(splitTimer_, &QTimer::timeout, this, [this] {
        if (window_ != nullptr && window_->isVisible()) {
            RefreshWindow(true);
        }
    });
    status->SetCountToolTip([this] { return RowsHtml(TermsRows(composer_.Terms(), composer_.Display().count)); });
    connect(status, &StatusLine::countClicked, this, &CountExplainer::OpenWindow);
}

void CountExplainer::FollowMark()
{
    std::optional<std::size_t> fits;
    qsizetype start = -1;
    // A mail with attachments over the limit is refused, never cut: there
    // is no first part to mark.
    if (composer_.Display().over && composer_.Attachments().empty()) {
        const std::string& bytes = composer_.Text(TextArea::Body).bytes;
        fits = composer_.FirstPartBodyBytes();
        if (*fits < bytes.size()) {
            start = PositionAfterBytes(body_->toPlainText(), bytes, *fits);
        }
    }
    SetMark(start);
    fits_ = fits;
}

void CountExplainer::Follow()
{
    FollowMark();
    if (window_ != nullptr && window_->isVisible()) {
        RefreshWindow(false);
    }
}

void CountExplainer::OpenWindow()
{
    FollowMark();
    if (window_ == nullptr) {
        window_ = new CountTermsWindow(parentWindow_);
        RefreshWindow(true);
        window_->adjustSize();
        // Over the main window's bottom right corner, then beside it where
        // the screen has room, next to the count it explains.
        const QRect main = parentWindow_->frameGeometry();
        window_->move(main.right() - window_->width(), main.bottom() - window_->height());
        KeepBeside(window_, parentWindow_);
    } else {
        RefreshWindow(true);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void CountExplainer::SetMark(qsizetype start)
{
    if (start == markStart_ && start < 0) {
        return;
    }
    markStart_ = start;
    QList<QTextEdit::ExtraSelection> marks;
    if (start >= 0) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(body_->document());
        mark.cursor.setPosition(static_cast<int>(start));
        mark.cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        mark.format.setBackground(QColor(255, 204, 204));
        marks.push_back(mark);
    }
    body_->setExtraSelections(marks);
}

void CountExplainer::RefreshWindow(bool splitNow)
{
    const CountDisplay& d = composer_.Display();
    std::optional<SplitOutlook> outlook;
    if (!d.over) {
        split_.reset();
        splitTimer_->stop();
    } else if (!composer_.Attachments().empty()) {
        outlook = SplitOutlook{.attachments = true};
    } else {
        if (splitNow || !split_) {
            const SplitResult split = composer_.SplitForCurrentType();
            split_ = SplitOutlook{.ok = split.ok, .parts = split.parts.size(), .unsentBytes = split.unsentBytes};
            splitTimer_->stop();
        } else {
            splitTimer_->start();
        }
        outlook = split_;
        outlook->bodyFits = fits_ && *fits_ >= composer_.Text(TextArea::Body).bytes.size();
    }
    window_->ShowRows(ExplanationRows(composer_.Terms(), d.count, d.limit, outlook));
}

} // namespace kitemail
