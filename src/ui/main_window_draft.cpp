// The main window's draft: the message kept in the data folder a few
// seconds after the last change and at a normal close, and put back at the
// next start when the previous run was cut short.

#include "ui/main_window.h"

#include "platform/text_codec.h"
#include "ui/attachment_page.h"
#include "ui/main_window_parts.h"
#include "ui/object_names.h"
#include "ui/recipient_page.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>

namespace kitemail {
namespace {

// Long enough that typing never waits for the disk, short enough that a
// crash loses only the last few words.
constexpr std::chrono::milliseconds kDraftDelay{3000};

QCheckBox* AnimeCheck(const AttachmentPage* page)
{
    return page->findChild<QCheckBox*>(QString::fromLatin1(object_names::kAnimeCheck));
}

// The caret alone is no change worth a draft.
bool SameMessage(Draft a, Draft b)
{
    a.caret = 0;
    b.caret = 0;
    return a == b;
}

} // namespace

void MainWindow::KeepDraft(bool previousRunEndedAbnormally)
{
    if (draftTimer_ != nullptr) {
        return;
    }
    (void)RemoveDraftLeftovers(dataDir_);
    clearedDraft_ = CurrentDraft();
    if (previousRunEndedAbnormally || settings_.RestoreDraftOnStart) {
        if (std::optional<Draft> draft = ReadDraft(dataDir_); draft && !SameMessage(*draft, clearedDraft_)) {
            const std::vector<std::string> missing = LoadDraft(std::move(*draft));
            SetStatusText(DraftRestoredText() + MissingAttachmentsText(missing));
        }
    } else {
        RemoveDraft(dataDir_);
    }
    draftTimer_ = new QTimer(this);
    draftTimer_->setSingleShot(true);
    draftTimer_->setInterval(kDraftDelay);
    connect(draftTimer_, &QTimer::timeout, this, &MainWindow::SaveDraft);
    // Every edit only restarts the timer: the keystroke never waits for
    // the draft to be made or written.
    const auto edited = [this] { draftTimer_->start(); };
    connect(bodyBox_, &QPlainTextEdit::textChanged, draftTimer_, edited);
    connect(bodyBox_, &QPlainTextEdit::cursorPositionChanged, draftTimer_, edited);
    connect(subjectBox_, &QLineEdit::textChanged, draftTimer_, edited);
    connect(pinBox_, &QLineEdit::textChanged, draftTimer_, edited);
    connect(recipientPage_, &RecipientPage::changed, draftTimer_, edited);
    connect(recipientPage_, &RecipientPage::addressEdited, draftTimer_, edited);
    connect(recipientPage_, &RecipientPage::typeChosen, draftTimer_, edited);
    connect(attachmentPage_, &AttachmentPage::changed, draftTimer_, edited);
    if (QCheckBox* anime = AnimeCheck(attachmentPage_)) {
        connect(anime, &QCheckBox::toggled, draftTimer_, edited);
    }
}

void MainWindow::SetDraftDelay(std::chrono::milliseconds delay)
{
    if (draftTimer_ != nullptr) {
        draftTimer_->setInterval(delay);
    }
}

Draft MainWindow::CurrentDraft() const
{
    Draft d;
    d.mode = composer_.Mode();
    d.address = recipientPage_->AddressBox()->text().toStdString();
    d.type = composer_.TypeBox();
    for (const CheckListEntry& entry : composer_.CheckList()) {
        if (entry.ticked) {
            d.ticked.push_back(entry.line);
        }
    }
    d.subject = subjectBox_->text().toStdString();
    d.pin = pinBox_->text().toStdString();
    d.body = bodyBox_->toPlainText().toStdString();
    d.attachments = composer_.Attachments();
    const QCheckBox* anime = AnimeCheck(attachmentPage_);
    d.animation = anime != nullptr && anime->isChecked();
    d.caret = bodyBox_->textCursor().position();
    return d;
}

std::vector<std::string> MainWindow::LoadDraft(Draft draft)
{
    std::vector<std::string> missing = TakeMissingAttachments(draft.attachments);
    composer_.SetTypeBox(draft.type);
    const std::vector<CheckListEntry>& list = composer_.CheckList();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const bool ticked = std::find(draft.ticked.begin(), draft.ticked.end(), list[i].line) != draft.ticked.end();
        if (list[i].ticked != ticked) {
            composer_.SetTick(static_cast<std::int32_t>(i), ticked);
        }
    }
    if (draft.mode == RecipientMode::Direct) {
        composer_.SelectDirectMode();
    } else {
        composer_.SelectAddressBookMode();
    }
    composer_.SetAttachments(std::move(draft.attachments));
    recipientPage_->AddressBox()->setText(QString::fromStdString(draft.address));
    subjectBox_->setText(QString::fromStdString(draft.subject));
    pinBox_->setText(QString::fromStdString(draft.pin));
    if (QCheckBox* anime = AnimeCheck(attachmentPage_)) {
        anime->setChecked(draft.animation);
    }
    bodyBox_->setPlainText(QString::fromStdString(draft.body));
    QTextCursor caret = bodyBox_->textCursor();
    caret.setPosition(std::clamp(draft.caret, 0, static_cast<int>(bodyBox_->document()->characterCount()) - 1));
    bodyBox_->setTextCursor(caret);
    composer_.Recount();
    SyncAll();
    return missing;
}

bool MainWindow::MessageInProgress() const
{
    return !SameMessage(CurrentDraft(), clearedDraft_);
}

void MainWindow::SaveDraft()
{
    const Draft draft = CurrentDraft();
    if (SameMessage(draft, clearedDraft_)) {
        RemoveDraft(dataDir_);
        return;
    }
    if (const std::optional<std::string> reason = WriteDraft(dataDir_, draft)) {
        SetStatusText(Sj("下書きを保存できません: ") + Utf8ToSjis(*reason).bytes);
    }
}

void MainWindow::EndDraft()
{
    if (draftTimer_ == nullptr) {
        return;
    }
    draftTimer_->stop();
    if (settings_.RestoreDraftOnStart) {
        SaveDraft();
    } else {
        RemoveDraft(dataDir_);
    }
    EndRun(dataDir_);
}

} // namespace kitemail
