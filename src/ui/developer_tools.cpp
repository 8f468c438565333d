#include "ui/developer_tools.h"

#include "platform/text_codec.h"
#include "settings/settings.h"
#include "ui/object_names.h"

#include <QAction>
#include <QCheckBox>
#include <QToolBar>

namespace kitemail {

DeveloperTools::DeveloperTools(QToolBar* bar, Settings& settings, UserInterface& ui, SendView& view,
                               const MessageComposer& composer)
    : QObject(bar), settings_(settings), ui_(ui), view_(view), composer_(composer)
{
    testCheck_ = new QCheckBox(QStringLiteral("Test"));
    testCheck_->setObjectName(object_names::kTestCheck);
    bar->addWidget(testCheck_);
    const auto button = [bar](const char* caption, const char* name) {
        QAction* a = bar->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    (void)button("for test", object_names::kForTestButton);
    popButton_ = button("POP3認証", object_names::kPopAuthButton);
    connect(popButton_, &QAction::triggered, this, &DeveloperTools::RunPopLogin);
    connect(button("My SMTP test", object_names::kSmtpTestButton), &QAction::triggered, this, &DeveloperTools::RunSmtpTest);
}

DeveloperTools::~DeveloperTools() = default;

bool DeveloperTools::TestSwitch() const
{
    return testCheck_->isChecked();
}

void DeveloperTools::RunPopLogin()
{
    PopBeforeSmtpOptions options;
    options.showAbortButton = [this](bool visible) { view_.SetAbortButtonVisible(visible); };
    options.enableCommand = [this](bool enabled) { popButton_->setEnabled(enabled); };
    options.keyring = keyring_;
    (void)PopBeforeSmtp(settings_, ui_, popClient_, aborted_, options);
}

void DeveloperTools::RunSmtpTest()
{
    const std::vector<char32_t> unmappable = composer_.UnmappableCharacters();
    if (!unmappable.empty() && !smtpTest_.Running()) {
        Notify(ui_, settings_.BeepOnMessage,
               Sj("Shift_JISにない文字があります（") + CodePointNames(unmappable) + ")");
        return;
    }
    SmtpTestMessage message;
    message.from = view_.SenderBoxText();
    message.to = composer_.Text(TextArea::DirectAddress).bytes;
    message.subject = composer_.Text(TextArea::Subject).bytes;
    message.body = composer_.Text(TextArea::Body).bytes;
    smtpTest_.ReplyTimeout = std::chrono::seconds(settings_.ReplyTimeout);
    smtpTest_.ConnectTimeout = std::chrono::seconds(settings_.ConnectTimeout);
    smtpTest_.showAbortButton = [this](bool visible) { view_.SetAbortButtonVisible(visible); };
    (void)smtpTest_.Run(message, ui_, settings_.BeepOnMessage, aborted_);
}

} // namespace kitemail
