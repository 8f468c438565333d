#include "ui/settings_dialog.h"

#include "platform/data_dir.h"
#include "platform/text_codec.h"
#include "ui/main_window.h"

#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kitemail {
namespace {

constexpr int kClientWidth = 450;
constexpr int kClientHeight = 290;

const char* const kPageTitles[] = {
    "アドレス帳", "送信設定 1", "送信設定 2", "署名", "環境設定 1", "環境設定 2", "文字数制限設定", "システム設定",
};

} // namespace

SettingsDialog::SettingsDialog(Settings& settings, std::filesystem::path dataDir, MainWindow& mainWindow,
                               QWidget* parent)
    : QDialog(parent), settings_(settings), dataDir_(std::move(dataDir)), main_(mainWindow), pages_(new QTabWidget)
{
    setObjectName(QStringLiteral("SettingsDialog"));
    setWindowTitle(QString::fromUtf8("設定"));
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    pages_->setObjectName(QStringLiteral("SettingsPages"));
    pages_->setUsesScrollButtons(false);
    for (const char* title : kPageTitles) {
        auto* page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        auto* note = new QLabel(QString::fromUtf8("このページの設定項目は準備中です。"));
        note->setAlignment(Qt::AlignCenter);
        layout->addWidget(note);
        pages_->addTab(page, QString::fromUtf8(title));
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);

    const bool signatureRead = LoadDialogSettings(SettingsFilePath(dataDir_), SignaturePath(dataDir_), settings_);
    main_.SetSignatureCaptions(MakeSignatureMenuCaptions(settings_));
    main_.ApplySettings();
    main_.SetBodyFontSize(settings_.FontSize);
    main_.SetTabHighlighting(settings_.HighlightTabs);
    pages_->tabBar()->setStyleSheet(TabHighlightStyleSheet(settings_.HighlightTabs));
    if (settings_.AutoInsertSignature) {
        main_.SetBodyText(settings_.SignatureText);
    }
    if (!signatureRead) {
        main_.SetStatusText(DisplayPath(SignaturePath(dataDir_)) + Sj(" を読めません"));
    }
}

void SettingsDialog::done(int result)
{
    QDialog::done(result);
    const SaveResult saved = SaveDialogSettings(SettingsFilePath(dataDir_), SignaturePath(dataDir_), settings_);
    if (!saved.ok()) {
        main_.ShowMessage(saved.message);
    }
    main_.SetSignatureCaptions(MakeSignatureMenuCaptions(settings_));
    main_.ApplySettings();
}

} // namespace kitemail
