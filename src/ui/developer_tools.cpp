#include "ui/developer_tools.h"

#include "platform/text_codec.h"
#include "settings/settings.h"
#include "ui/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QToolBar>

namespace kitemail {

DeveloperTools::DeveloperTools(QToolBar* bar, Settings& settings, MainWindow& mainWindow)
    : QObject(bar), settings_(settings), main_(mainWindow)
{
    testCheck_ = new QCheckBox(QStringLiteral("Test"));
    testCheck_->setObjectName(QStringLiteral("TestCheck"));
    bar->addWidget(testCheck_);
    const auto button = [bar](const char* caption, const char* name) {
        QAction* a = bar->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    (void)button("for test", "ForTestButton");
    popButton_ = button("POP3認証", "PopAuthButton");
    connect(popButton_, &QAction::triggered, this, &DeveloperTools::RunPopLogin);
    connect(button("My SMTP test", "SmtpTestButton"), &QAction::triggered, this, &DeveloperTools::RunSmtpTest);
}

DeveloperTools::~DeveloperTools() = default;

bool DeveloperTools::TestSwitch() const
{
    return testCheck_->isChecked();
}

void DeveloperTools::RunPopLogin()
{
    PopBeforeSmtpOptions options;
    options.showAbortButton = [this](bool visible) { main_.SetAbortButtonVisible(visible); };
    options.enableCommand = [this](bool enabled) { popButton_->setEnabled(enabled); };
    (void)PopBeforeSmtp(settings_, main_, popClient_, main_.Workflow().SendAborted, options);
}

void DeveloperTools::RunSmtpTest()
{
    const MessageComposer& composer = main_.Composer();
    const std::vector<char32_t> unmappable = composer.UnmappableCharacters();
    if (!unmappable.empty() && !smtpTest_.Running()) {
        Notify(main_, settings_.BeepOnMessage,
               Sj("Shift_JISにない文字があります（") + CodePointNames(unmappable) + ")");
        return;
    }
    SmtpTestMessage message;
    message.from = main_.SenderBoxText();
    message.to = composer.Text(TextArea::DirectAddress).bytes;
    message.subject = composer.Text(TextArea::Subject).bytes;
    message.body = composer.Text(TextArea::Body).bytes;
    smtpTest_.ReplyTimeout = std::chrono::seconds(settings_.ReplyTimeout);
    smtpTest_.ConnectTimeout = std::chrono::seconds(settings_.ConnectTimeout);
    smtpTest_.showAbortButton = [this](bool visible) { main_.SetAbortButtonVisible(visible); };
    (void)smtpTest_.Run(message, main_, settings_.BeepOnMessage, main_.Workflow().SendAborted);
}

} // namespace kitemail
