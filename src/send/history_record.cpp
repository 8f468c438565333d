#include "send/history_record.h"

#include "platform/file_io.h"
#include "platform/file_lock.h"
#include "platform/program_version.h"
#include "platform/text_codec.h"
#include "send/history_folder.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <utility>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kitemail {
namespace {

struct ErrorTexts {
    const char* result;
    const char* message; // UTF-8
};

constexpr const char* kNetworkDown = "ネットワークから切断されています。接続を確立して下さい。";
constexpr const char* kUnexpected = "予期せぬエラーが発生しました。";
constexpr const char* kNotFound = "SMTPサーバーが見つかりません。設定を確認して下さい。";

constexpr std::array<ErrorTexts, 26> kErrorTexts{{
    {"", ""},
    {"Winsock Error", "Winsockインターフェイスが設定されていません。システムにインストールされているか確認して下さい。"},
    {"Network Down Error", kNetworkDown},
    {"SMTP mail server name Resolution Error", kNotFound},
    {"Unexpected Error", kUnexpected},
    {"Unexpected Error", kUnexpected},
    {"Premature Disconnect Error", kNetworkDown},
    {"Premature Disconnect Error", kNetworkDown},
    {"Connect Timeout Error", "接続がタイムアウトしました。"},
    {"Out of Sockets Error", "Winsockが使われています。その他のプログラムを終了してから再試行して下さい。"},
    {"Network Down Error", kNetworkDown},
    {"Network Down Error", kNetworkDown},
    {"Connection Rejected Error", "メールサーバーが接続を受け付けませんでした。設定を確認して下さい。"},
    {"Unexpected Response Error", "メールサーバーが応答しません。設定を確認して下さい。"},
    {"Transaction Canceled", "メール送信がキャンセルされました。"},
    {"Unexpected Error", kUnexpected},
    {"SMTP mail server name Resolution Error", kNotFound},
    {"Premature Disconnect Error", kNetworkDown},
    {"No Recipients Error", "送信先が指定されていません。"},
    {"Network Down Error", kNetworkDown},
    {"Attachment Error", "添付ファイルを読み込めなかったため、送信できませんでした。"},
    {"TLS Error", "SMTPサーバーと暗号化した接続ができませんでした。"},
    {"Authentication Error", "SMTPサーバーが認証を受け付けませんでした。ユーザー名、パスワードと認証方式を確認して下さい。"},
    {"Message Size Error", "メールが大きすぎるため、SMTPサーバーが受け付けません。"},
    {"Insecure Authentication Error", "SMTPサーバーにパスワードを送れませんでした。"},
    {"Unconfirmed", "サーバーの応答がないため、送信できたか確認できません。"},
}};

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "June",
                                   "July", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool ParseDigits(std::string_view s, std::size_t pos, std::size_t n, int& value)
{
    value = 0;
    for (std::size_t i = pos; i < pos + n; ++i) {
        if (i >= s.size() || s[i] < '0' || s[i] > '9') {
            return false;
        }
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

std::string TwoDigits(int v)
{
    return std::string{static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
}

bool NeedsQuotes(std::string_view item)
{
    for (const char c : item) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || c == ',' || c == '"') {
            return true;
        }
    }
    return false;
}

// A per-process random start and a counter: unique within the process for
// sure, and across processes sending in the same second almost surely.
std::uint32_t NextMessageIdSerial()
{
    static std::atomic<std::uint32_t> serial{std::random_device{}()};
    return serial.fetch_add(1);
}

// The writer's temporary names: mkstemps fills the X's with letters and digits.
constexpr std::string_view kTemporaryPrefix = ".record-";
constexpr std::string_view kTemporaryRandom = "XXXXXX";
constexpr std::string_view kTemporarySuffix = ".tmp";

bool IsTemporaryName(std::string_view name)
{
    if (name.size() != kTemporaryPrefix.size() + kTemporaryRandom.size() + kTemporarySuffix.size()
        || !name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix)) {
        return false;
    }
    const std::string_view random = name.substr(kTemporaryPrefix.size(), kTemporaryRandom.size());
    return std::ranges::all_of(random, [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
}

// The writer waits for a clean-up at work in another process; that takes a
// moment, never this long.
constexpr std::chrono::milliseconds kLockWait{3000};

std::string CounterText(unsigned n)
{
    return n < 10 ? "0" + std::to_string(n) : std::to_string(n);
}

// Gives the whole temporary file its final name, never over an existing
// file: 0, or the errno (EEXIST when the name is taken).
int NameWithoutReplacing(const std::string& temporary, const std::filesystem::path& path)
{
    if (::link(temporary.c_str(), path.c_str()) == 0) {
        ::unlink(temporary.c_str());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) {
        return errno;
    }
    // A file system without hard links (FAT on a memory stick).
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        return EEXIST;
    }
    return ::rename(temporary.c_str(), path.c_str()) == 0 ? 0 : errno;
}

// Makes the new name itself survive a crash, not only the file's bytes.
void SyncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

// The header line whose value holds a line break, or empty: such a value
// would end its line and start one of its own (a result line that lists a
// failed mail as Succeed).
std::string_view FieldWithLineBreak(const HistoryRecord& r)
{
    const auto breaks = [](std::string_view v) { return v.find_first_of("\r\n") != std::string_view::npos; };
    const std::pair<std::string_view, std::string_view> fields[] = {
        {"To", r.to},
        {"Subject", r.subject},
        {"From", r.from},
        {"Message-ID", r.messageId},
        {"X-ktml-PhoneType", r.phoneType},
        {"X-ktml-Server", r.server},
        {"X-ktml-Result", r.resultText},
    };
    for (const auto& [name, value] : fields) {
        if (breaks(value)) {
            return name;
        }
    }
    for (const std::string& path : r.attachments) {
        if (breaks(path)) {
            return "X-ktml-Attachments";
        }
    }
    return {};
}

} // namespace

std::string ResultText(std::int32_t e)
{
    return e >= 1 && e < static_cast<std::int32_t>(kErrorTexts.size()) ? kErrorTexts[static_cast<std::size_t>(e)].result
                                                                      : "";
}

std::string ErrorMessageText(std::int32_t e)
{
    return e >= 1 && e < static_cast<std::int32_t>(kErrorTexts.size())
               ? Sj(kErrorTexts[static_cast<std::size_t>(e)].message)
               : std::string();
}

std::string MakeMessageId(std::string_view stamp14, std::string_view from)
{
    char unique[16];
    std::snprintf(unique, sizeof unique, ".%08X_", NextMessageIdSerial());
    return std::string(stamp14) + unique + std::string(from);
}

std::string HistoryDate(std::string_view s)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
    if (!ParseDigits(s, 0, 4, y) || !ParseDigits(s, 4, 2, mo) || !ParseDigits(s, 6, 2, d)
        || !ParseDigits(s, 8, 2, h) || !ParseDigits(s, 10, 2, mi) || !ParseDigits(s, 12, 2, se)) {
        return {};
    }
    const std::chrono::year_month_day date{std::chrono::year{y}, std::chrono::month{static_cast<unsigned>(mo)},
                                           std::chrono::day{static_cast<unsigned>(d)}};
    if (!date.ok()) {
        return {};
    }
    const std::chrono::weekday wd{std::chrono::sys_days{date}};
    return std::string(kDays[wd.c_encoding()]) + ", " + TwoDigits(d) + " " + kMonths[mo - 1] + " "
        + std::to_string(y) + " " + TwoDigits(h) + ":" + TwoDigits(mi) + ":" + TwoDigits(se);
}

std::string CommaText(const std::vector<std::string>& items)
{
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            out.push_back(',');
        }
        if (!NeedsQuotes(items[i])) {
            out += items[i];
            continue;
        }
        out.push_back('"');
        for (const char c : items[i]) {
            out.push_back(c);
            if (c == '"') {
                out.push_back('"');
            }
        }
        out.push_back('"');
    }
    return out;
}

std::string HistoryRecord::Format() const
{
    const std::string_view crlf = "\r\n";
    std::string out;
    out.reserve(body.size() + 512);
    auto line = [&](std::string_view name, std::string_view value) {
        out.append(name);
        out.append(value);
        out.append(crlf);
    };
    line("To: ", to);
    line("Date: ", HistoryDate(std::string_view(messageId).substr(0, 14)));
    line("Subject: ", subject);
    line("From: ", from);
    line("Message-ID: ", messageId);
    line("X-ktml-PhoneType: ", phoneType);
    line("X-ktml-Server: ", server);
    line("X-ktml-Attachments: ", CommaText(attachments));
    line("X-ktml-Result: ", resultText.empty() ? std::string_view("Succeed") : std::string_view(resultText));
    line("X-Mailer: Kitemail Pro Version ", ProgramVersion);
    out.append(crlf);
    out.append(body);
    out.append(crlf);
    return out;
}

HistoryWriteResult WriteHistoryRecord(const std::filesystem::path& folder, const HistoryRecord& record)
{
    HistoryWriteResult result;
    if (const std::string_view field = FieldWithLineBreak(record); !field.empty()) {
        result.error = std::string(field) + Sj("に改行が含まれています");
        return result;
    }
    if (!EnsureHistoryFolder(folder)) {
        result.folderInvalid = true;
        result.error = HistoryFolderInvalidText();
        return result;
    }
    // Held until the temporary file is gone, so that no clean-up takes it
    // for a killed writer's.
    const FileLock lock = FileLock::Wait(HistoryLockPath(folder), FileLock::Mode::Shared, kLockWait);
    if (!lock) {
        result.error = lock.Error();
        return result;
    }
    const auto failure = [&result](const std::filesystem::path& path, int err) {
        result.error = path.string() + ": " + std::strerror(err);
        return result;
    };
    // The record is written whole under a temporary name (no ".eml", so no
    // reader lists it) and only then given its name: a crash leaves a whole
    // record or none.
    std::string temporary =
        (folder / (std::string(kTemporaryPrefix) + std::string(kTemporaryRandom) + std::string(kTemporarySuffix)))
            .string();
    const int fd = ::mkstemps(temporary.data(), static_cast<int>(kTemporarySuffix.size()));
    if (fd < 0) {
        return failure(temporary, errno);
    }
    // 0600 whatever the umask: the record holds the mail's text.
    const bool written = WriteAllTo(fd, record.Format()) && ::fchmod(fd, 0600) == 0 && ::fsync(fd) == 0;
    const int writeErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        ::unlink(temporary.c_str());
        return failure(temporary, written ? errno : writeErrno);
    }
    const std::string stamp = record.messageId.substr(0, 14);
    for (unsigned n = 0;; ++n) {
        const std::filesystem::path path = folder / (stamp + CounterText(n) + ".eml");
        if (const int err = NameWithoutReplacing(temporary, path); err != 0) {
            if (err == EEXIST) {
                continue;
            }
            ::unlink(temporary.c_str());
            return failure(path, err);
        }
        SyncFolder(folder);
        result.ok = true;
        result.path = path;
        return result;
    }
}


std::filesystem::path HistoryLockPath(const std::filesystem::path& folder)
{
    return folder / ".lock";
}

std::size_t RemoveRecordLeftovers(const std::filesystem::path& folder)
{
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        return 0;
    }
    const FileLock lock = FileLock::Try(HistoryLockPath(folder), FileLock::Mode::Exclusive);
    if (!lock) {
        return 0; // a writer at work, or a lock nobody can take: nothing is known to be stale
    }
    std::size_t removed = 0;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (IsTemporaryName(it->path().filename().string()) && it->is_regular_file(typeError)
            && !it->is_symlink(typeError) && ::unlink(it->path().c_str()) == 0) {
            ++removed;
        }
    }
    return removed;
}

HistoryRecord HistoryRecordFor(const OutgoingMail& mail, std::string resultText)
{
    return {.to = mail.to,
            .subject = mail.subject,
            .from = mail.from,
            .messageId = mail.messageId,
            .phoneType = mail.typeName,
            .server = mail.server,
            .attachments = mail.attachments,
            .resultText = std::move(resultText),
            .body = mail.body};
}

} // namespace kitemail
