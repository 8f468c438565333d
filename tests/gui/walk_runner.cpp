// Walks through the windows written as scripts: tests/data/walks/NAME.walk,
// one step a line, each file a test of that name. The verbs are listed in
// tests/data/walks/README; widgets are named by their object names.

#include "fake_keyring.h"
#include "golden.h"
#include "gui_support.h"
#include "process_runner.h"
#include "smtp_sink.h"

#include "platform/clock.h"
#include "send/draft.h"
#include "send/history_folder.h"
#include "ui/count_terms_window.h"
#include "ui/page_tabs.h"
#include "ui/row_drag.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QFileDialog>
#include <QHelpEvent>
#include <QKeySequence>
#include <QToolTip>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <map>
#include <set>
#include <stdexcept>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;

// One line of a script; a line ending in "{" holds the lines up to its "}".
struct Step {
    int line = 0;
    std::string verb;
    std::string rest;
    std::vector<Step> block;
    bool braced = false;
};

std::vector<Step> ParseSteps(std::istream& in, int& line, bool inner)
{
    std::vector<Step> steps;
    for (std::string text; std::getline(in, text);) {
        ++line;
        const std::size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos || text[first] == '#') {
            continue;
        }
        text = text.substr(first);
        if (text == "}") {
            EXPECT_TRUE(inner) << "line " << line << ": a } with no {";
            return steps;
        }
        const std::size_t space = text.find(' ');
        Step step{line, text.substr(0, space), space == std::string::npos ? std::string() : text.substr(space + 1), {}};
        step.braced = step.rest.ends_with('{');
        if (step.braced) {
            step.rest.erase(step.rest.find_last_not_of(" {") + 1);
            step.block = ParseSteps(in, line, true);
        }
        steps.push_back(std::move(step));
    }
    EXPECT_FALSE(inner) << "a { with no }";
    return steps;
}

// The next word of rest, taken off it; what is left is the value.
std::string Word(std::string& rest)
{
    const std::size_t start = std::min(rest.find_first_not_of(' '), rest.size());
    const std::size_t end = std::min(rest.find(' ', start), rest.size());
    std::string word = rest.substr(start, end - start);
    rest.erase(0, std::min(end + 1, rest.size()));
    return word;
}

QString Q(const std::string& utf8)
{
    return QString::fromUtf8(utf8);
}

bool Yes(const std::string& word)
{
    EXPECT_TRUE(word == "yes" || word == "no") << word;
    return word == "yes";
}

QString YesNo(bool yes)
{
    return yes ? QStringLiteral("yes") : QStringLiteral("no");
}

// The middle of a row of a list; below the last for -1.
QPoint RowPoint(const QAbstractItemView& view, int row)
{
    return row < 0 ? QPoint(5, view.viewport()->height() - 2) : view.visualRect(view.model()->index(row, 0)).center();
}

// "+" for an input area open to typing (enabled, window colour), "-" for a
// closed one (disabled, button face), "?" for anything between.
QString Look(const QWidget* w)
{
    const QPalette& app = QApplication::palette();
    const QColor base = w->palette().color(QPalette::Base);
    if (w->isEnabled() && base == app.color(QPalette::Base)) {
        return QStringLiteral("+");
    }
    return !w->isEnabled() && base == app.color(QPalette::Button) ? QStringLiteral("-") : QStringLiteral("?");
}

// A step that cannot go on (no such widget): the walk stops there.
struct Stop : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A step's words: the first (a widget's name mostly), the value after it,
// and the whole rest; both unescaped.
struct Args {
    std::string word, value, all;
    [[nodiscard]] int Number() const { return std::stoi(value); }
    // The value's first word as a number and the text after it.
    [[nodiscard]] std::pair<int, std::string> Pair() const
    {
        std::string text = value;
        const int n = std::stoi(Word(text));
        return {n, text};
    }
    [[nodiscard]] std::vector<std::string> Words() const
    {
        std::vector<std::string> words;
        for (std::string rest = all; !rest.empty();) {
            words.push_back(Word(rest));
        }
        return words;
    }
};

class Walker {
public:
    explicit Walker(std::string name) : name_(std::move(name)) {}

    void Run()
    {
        std::ifstream in(GoldenPath("walks", name_ + ".walk"));
        ASSERT_TRUE(in) << name_;
        int line = 0;
        const std::vector<Step> steps = ParseSteps(in, line, false);
        RunSteps(steps);
        EXPECT_TRUE(boxes_.answers.empty()) << "answers left";
        EXPECT_EQ(boxes_.texts.mid(checked_), QStringList()) << "boxes no step expected";
    }

private:
    using Verb = std::function<void(Walker&, const Args&)>;
    using Show = std::function<QString(Walker&, const Args&)>;
    static const std::map<std::string, Verb>& Verbs();
    static const std::map<std::string, Show>& Shows();

    // A check step: what it sees equals the step's value (the whole rest
    // for the checks that name no widget), or, for a "has" verb, contains
    // each of its parts split at '|'.
    void Check(const std::string& verb, const Args& args)
    {
        static const std::map<std::string, std::string> has{
            {"has", "expect"}, {"status-has", "status"}, {"file-has", "expect-file"},
            {"box-has", "box"}, {"history-has", "history"}, {"tip", "tip"}};
        static const std::set<std::string> whole{"areas", "beeps", "box", "clipboard-is", "draft-kept", "history",
                                                 "on-page", "secrets", "sender", "sent", "status"};
        const auto alias = has.find(verb);
        const std::string name = alias != has.end() ? alias->second : verb;
        const auto show = Shows().find(name);
        if (show == Shows().end()) {
            throw Stop("no verb " + verb);
        }
        const QString actual = show->second(*this, args);
        const std::string& wanted = whole.contains(name) ? args.all : args.value;
        if (alias == has.end()) {
            EXPECT_EQ(actual.toStdString(), wanted);
            return;
        }
        for (const QString& part : Q(wanted).split(u'|')) {
            EXPECT_TRUE(actual.contains(part)) << actual.toStdString() << "\nhas no " << part.toStdString();
        }
    }

    void RunSteps(const std::vector<Step>& steps)
    {
        for (const Step& step : steps) {
            if (stopped_) {
                return;
            }
            const ::testing::ScopedTrace trace(name_.c_str(), step.line, step.verb + " " + step.rest);
            std::string rest = step.rest;
            for (const auto& [name, value] : {std::pair<std::string, std::string>("$SINK", sink_ ? std::to_string(sink_->Port()) : ""),
                                              {"$DIR", program_.Dir().string()}}) {
                for (std::size_t at = rest.find(name); at != std::string::npos; at = rest.find(name)) {
                    rest.replace(at, name.size(), value);
                }
            }
            const std::string all = rest;
            Args args{.word = Word(rest), .value = Unescape(rest), .all = Unescape(all)};
            const auto verb = Verbs().find(step.verb);
            try {
                block_ = step.braced ? &step.block : block_;
                // A watcher for each step of the walk: one that lives on
                // across the steps kept the main window's shortcuts from
                // acting after a dialog had closed.
                const std::optional<ModalWatcher> watcher =
                    scope_ == nullptr ? std::optional<ModalWatcher>(std::in_place, [this](QWidget* m) { Modal(m); }) : std::nullopt;
                verb != Verbs().end() ? verb->second(*this, args) : Check(step.verb, args);
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
                stopped_ = true;
            }
        }
    }

    // A modal window met on the way: a file dialog takes the file queued
    // for it, a message box is logged and answered, the dialog a block
    // waits for runs the block.
    void Modal(QWidget* modal)
    {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog != nullptr && !files_.empty()) {
            EXPECT_EQ(dialog->acceptMode(), files_.front().first);
            dialog->selectFile(QString::fromStdString((program_.Dir() / files_.front().second).native()));
            files_.pop_front();
            static_cast<QDialog*>(dialog)->accept();
        } else if (qobject_cast<QMessageBox*>(modal) != nullptr || block_ == nullptr) {
            Answer(modal, boxes_);
        } else {
            const std::vector<Step>* block = std::exchange(block_, nullptr);
            QWidget* outer = std::exchange(scope_, modal);
            RunSteps(*block);
            scope_ = outer;
            if (modal->isVisible()) {
                modal->close();
            }
        }
    }

    // The object of that name in the window the step is in, not one inside
    // another dialog of it; the main window's from a dialog too.
    // "Name/Class" is the first child of that class of the object so named.
    // "Menu:Text" is the menu's item of that text ("Menu:Sub:Text" in a submenu).
    QObject& Object(const std::string& name)
    {
        if (const std::size_t colon = name.rfind(':'); colon != std::string::npos && name.find('/') == std::string::npos) {
            QObject& parent = Object(name.substr(0, colon));
            auto* item = qobject_cast<QAction*>(&parent);
            const QWidget* menu = item != nullptr ? item->menu() : qobject_cast<QWidget*>(&parent);
            const QList<QAction*> items = menu != nullptr ? menu->actions() : QList<QAction*>();
            const auto found = std::ranges::find(items, Q(name.substr(colon + 1)), &QAction::text);
            return found != items.end() ? **found : throw Stop("no item " + name);
        }
        if (const std::size_t slash = name.find('/'); slash != std::string::npos) {
            const QList<QObject*> children = Object(name.substr(0, slash)).findChildren<QObject*>();
            const auto child = std::ranges::find_if(children, [&](QObject* c) { return c->inherits(name.c_str() + slash + 1); });
            return child != children.end() ? **child : throw Stop("no child " + name);
        }
        QObject* scope = scope_ != nullptr ? scope_ : &program_.Main();
        if (scope->objectName() == Q(name)) {
            return *scope;
        }
        QList<QObject*> found = scope->findChildren<QObject*>(Q(name));
        found = found.isEmpty() ? program_.Main().findChildren<QObject*>(Q(name)) : found;
        const auto outer = std::ranges::find_if(found, [scope](QObject* object) {
            for (QObject* p = object->parent(); p != nullptr && p != scope; p = p->parent()) {
                if (qobject_cast<QDialog*>(p) != nullptr) {
                    return false;
                }
            }
            return true;
        });
        return outer != found.end() ? **outer : !found.isEmpty() ? *found.front() : throw Stop("no object " + name);
    }

    template <typename T>
    T& Get(const std::string& name)
    {
        QObject& object = Object(name);
        T* typed = qobject_cast<T*>(&object);
        return typed != nullptr ? *typed : throw Stop(name + " is a " + object.metaObject()->className());
    }

    // What a widget or an action shows, as expect compares it: an action's
    // text, a list's current row, else the first of these properties it has
    // (a check box's tick as 1 or 0).
    QString Value(const std::string& name)
    {
        QObject& object = Object(name);
        if (auto* action = qobject_cast<QAction*>(&object)) {
            return action->text();
        }
        if (auto* view = qobject_cast<QAbstractItemView*>(&object)) {
            return QString::number(view->currentIndex().row());
        }
        for (const char* property : {"checked", "currentIndex", "value", "plainText", "text"}) {
            if (const QVariant value = object.property(property); value.isValid()) {
                return value.typeId() == QMetaType::Bool ? QString::number(value.toInt()) : value.toString();
            }
        }
        throw Stop("nothing shown in " + name);
    }

    // The rows of a list's or a combo box's model.
    QStringList RowsOf(const std::string& name)
    {
        QObject& object = Object(name);
        auto* combo = qobject_cast<QComboBox*>(&object);
        auto* view = qobject_cast<QAbstractItemView*>(&object);
        return combo != nullptr ? Rows(combo->model()) : view != nullptr ? Rows(view->model()) : throw Stop(name + " has no rows");
    }

    // Sets a widget as the user would for its kind.
    void Set(QWidget& widget, const std::string& value)
    {
        if (auto* spin = qobject_cast<QSpinBox*>(&widget)) {
            TypeAndLeave(spin, Q(value));
        } else if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
            combo->setCurrentIndex(std::stoi(value));
        } else if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
            button->setChecked(Yes(value));
        } else if (auto* view = qobject_cast<QAbstractItemView*>(&widget)) {
            view->setCurrentIndex(view->model()->index(std::stoi(value), 0));
        } else if (qobject_cast<QLineEdit*>(&widget) != nullptr || qobject_cast<QPlainTextEdit*>(&widget) != nullptr) {
            QMetaObject::invokeMethod(&widget, "selectAll");
            Commit(&widget, Q(value));
        } else {
            throw Stop("nothing to set in " + widget.objectName().toStdString());
        }
    }

    // The row of "LIST N ..." in a list of items.
    QListWidgetItem* Item(const Args& a)
    {
        QListWidgetItem* item = Get<QListWidget>(a.word).item(a.Pair().first);
        return item != nullptr ? item : throw Stop("no row " + a.value);
    }

    SettingsDialog& Dialog()
    {
        auto* dialog = qobject_cast<SettingsDialog*>(scope_);
        return dialog != nullptr ? *dialog : throw Stop("not in the settings dialog");
    }

    std::string name_;
    FakeKeyring keyring_; // outlives the windows that use it
    Program program_;
    Boxes boxes_;
    qsizetype checked_ = 0;
    QWidget* scope_ = nullptr;
    const std::vector<Step>* block_ = nullptr;
    std::deque<std::pair<QFileDialog::AcceptMode, std::string>> files_;
    std::unique_ptr<SmtpSink> sink_;
    int beeps_ = 0;
    bool stopped_ = false;
};

const std::map<std::string, Walker::Verb>& Walker::Verbs()
{
    using W = Walker;
    using A = const Args&;
    static const std::map<std::string, Verb> verbs{
        // Setting up.
        {"ini", [](W& w, A a) { w.program_.WriteIni(a.all); }},
        {"file", [](W& w, A a) { w.program_.File(a.word.c_str(), a.value); }},
        {"sjis-file", [](W& w, A a) { WriteSjisFile(w.program_.Dir() / a.word, a.value); }},
        {"mkdir", [](W& w, A a) { fs::create_directories(w.program_.Dir() / a.word); }},
        {"rm", [](W& w, A a) { fs::remove(w.program_.Dir() / a.word); }},
        {"start",
         [](W& w, A a) {
             w.program_.Start(Q(a.all));
             QObject::connect(&w.program_.Main(), &MainWindow::beeped, [&w] { ++w.beeps_; });
         }},
        {"close",
         [](W& w, A) {
             EXPECT_TRUE(w.program_.Close());
             w.program_.Abandon();
         }},
        {"crash",
         [](W& w, A) {
             // The built program on the folder, up (its event loop answers),
             // then killed without a word: nothing of its close runs.
             w.program_.Abandon();
             QProcess window;
             ASSERT_TRUE(StartWindowProgram(window, w.program_.Dir()));
             ::kill(static_cast<pid_t>(window.processId()), SIGKILL);
             ASSERT_TRUE(window.waitForFinished(15000));
             EXPECT_EQ(window.exitStatus(), QProcess::CrashExit);
         }},
        {"keyring",
         [](W& w, A a) {
             // A keyring in memory for the window; "refused": every call fails so.
             w.keyring_.failure = a.all == "refused" ? SecretError::Refused : SecretError::None;
             w.program_.Main().UseKeyring(&w.keyring_);
         }},
        {"draft-delay", [](W& w, A a) { w.program_.Main().SetDraftDelay(std::chrono::milliseconds(std::stoi(a.all))); }},
        {"sink",
         [](W& w, A) {
             w.sink_ = std::make_unique<SmtpSink>();
             w.sink_->Start() ? void() : throw Stop(w.sink_->Error());
         }},
        {"cli",
         [](W& w, A a) {
             std::vector<std::string> args{"--data-dir", w.program_.Dir().string()};
             std::ranges::copy(a.Words(), std::back_inserter(args));
             const ProcessResult result = RunCli(args);
             EXPECT_EQ(result.exitCode, 0) << result.err;
         }},
        // Acting.
        {"set", [](W& w, A a) { w.Set(w.Get<QWidget>(a.word), a.value); }},
        {"type", [](W& w, A a) { Commit(&w.Get<QWidget>(a.word), Q(a.value)); }},
        {"keys", [](W& w, A a) { QTest::keyClicks(&w.Get<QWidget>(a.word), Q(a.value)); }},
        {"key",
         [](W& w, A a) {
             const QKeyCombination key = QKeySequence(Q(a.value))[0];
             QTest::keyClick(&w.Get<QWidget>(a.word), key.key(), key.keyboardModifiers());
         }},
        {"call", [](W& w, A a) { EXPECT_TRUE(QMetaObject::invokeMethod(&w.Object(a.word), a.value.c_str())); }},
        {"context-menu",
         [](W& w, A a) { QMetaObject::invokeMethod(&w.Get<QWidget>(a.word), "customContextMenuRequested", Q_ARG(QPoint, QPoint(5, 5))); }},
        {"select",
         [](W& w, A a) {
             // W FROM TO: the caret at TO, the selection from FROM.
             const auto [from, to] = std::pair(a.Pair().first, std::stoi(a.Pair().second));
             if (auto* line = qobject_cast<QLineEdit*>(&w.Get<QWidget>(a.word))) {
                 line->setSelection(from, to - from);
                 return;
             }
             auto& text = w.Get<QPlainTextEdit>(a.word);
             QTextCursor caret = text.textCursor();
             caret.setPosition(from);
             caret.setPosition(to, QTextCursor::KeepAnchor);
             text.setTextCursor(caret);
         }},
        {"clock",
         [](W&, A a) {
             // The date the inserts see, in a Japanese locale; none: the real one.
             const std::vector<std::string> ymd = a.Words();
             QLocale::setDefault(ymd.empty() ? QLocale::system() : QLocale(QLocale::Japanese, QLocale::Japan));
             SetClockForTesting(ymd.empty() ? std::function<LocalTime()>() : [ymd] {
                 return LocalTime{std::stoi(ymd.at(0)), std::stoi(ymd.at(1)), std::stoi(ymd.at(2))};
             });
         }},
        {"choose",
         [](W& w, A a) {
             auto& combo = w.Get<QComboBox>(a.word);
             combo.setCurrentIndex(a.Number());
             emit combo.activated(a.Number());
         }},
        {"click",
         [](W& w, A a) {
             auto& widget = w.Get<QWidget>(a.word);
             auto* button = qobject_cast<QAbstractButton*>(&widget);
             button != nullptr ? button->click() : QTest::mouseClick(&widget, Qt::LeftButton);
         }},
        {"double-click", [](W& w, A a) { QTest::mouseDClick(&w.Get<QWidget>(a.word), Qt::LeftButton); }},
        {"click-row",
         [](W& w, A a) {
             auto& view = w.Get<QAbstractItemView>(a.word);
             QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, RowPoint(view, a.Number()));
         }},
        {"tick", [](W& w, A a) { w.Item(a)->setCheckState(Yes(a.Pair().second) ? Qt::Checked : Qt::Unchecked); }},
        {"focus",
         [](W& w, A a) {
             auto& widget = w.Get<QWidget>(a.word);
             widget.setFocus();
             QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
             QApplication::sendEvent(&widget, &in);
         }},
        {"activate",
         [](W& w, A) {
             w.program_.Main().activateWindow();
             EXPECT_TRUE(QTest::qWaitForWindowActive(&w.program_.Main()));
         }},
        {"drop-at",
         [](W& w, A a) { w.Get<RowDrag>(a.word).DropAt(RowPoint(w.Get<QAbstractItemView>(a.Pair().second), a.Pair().first)); }},
        {"step", [](W& w, A a) { w.Get<QSpinBox>(a.word).stepBy(a.Number()); }},
        {"trigger", [](W& w, A a) { w.Get<QAction>(a.word).trigger(); }},
        {"drop",
         [](W& w, A a) {
             std::vector<fs::path> paths;
             std::ranges::transform(a.Words(), std::back_inserter(paths), [&w](auto& n) { return w.program_.Dir() / n; });
             DropFiles(w.program_, paths);
         }},
        {"clipboard", [](W&, A a) { QApplication::clipboard()->setText(Q(a.all)); }},
        {"open-file", [](W& w, A a) { w.files_.emplace_back(QFileDialog::AcceptOpen, a.all); }},
        {"save-file", [](W& w, A a) { w.files_.emplace_back(QFileDialog::AcceptSave, a.all); }},
        // Checking what is no text.
        {"focused",
         [](W& w, A a) { EXPECT_EQ((w.scope_ != nullptr ? w.scope_ : &w.program_.Main())->focusWidget(), &w.Object(a.word)); }},
        {"above", [](W& w, A a) { EXPECT_LT(w.Get<QWidget>(a.word).y(), w.Get<QWidget>(a.value).y()); }},
        {"idle", [](W& w, A) { EXPECT_FALSE(w.program_.Main().Workflow().Busy()); }},
        // Boxes and dialogs.
        {"answer", [](W& w, A a) { std::ranges::transform(a.Words(), std::back_inserter(w.boxes_.answers), Yes); }},
        {"dialog",
         [](W& w, A a) {
             // The step's block runs inside the dialog the opener opens.
             auto* action = qobject_cast<QAction*>(&w.Object(a.word));
             action != nullptr ? action->trigger() : w.Get<QAbstractButton>(a.word).click();
             EXPECT_EQ(std::exchange(w.block_, nullptr), nullptr) << "no dialog opened";
         }},
        {"page",
         [](W& w, A a) {
             PageTabs* pages = w.Dialog().Pages();
             int i = 0;
             while (i < pages->Count() && pages->Tab(i)->text() != Q(a.all)) {
                 ++i;
             }
             i < pages->Count() ? pages->Tab(i)->click() : throw Stop("no page " + a.all);
         }},
    };
    return verbs;
}

// What a check step sees, as text to compare with the rest of its line.
const std::map<std::string, Walker::Show>& Walker::Shows()
{
    using W = Walker;
    using A = const Args&;
    const auto n = [](auto number) { return QString::number(number); };
    static const std::map<std::string, Show> shows{
        {"expect", [](W& w, A a) { return w.Value(a.word); }},
        {"rows", [](W& w, A a) { return w.RowsOf(a.word).join(u'|'); }},
        {"row-count", [n](W& w, A a) { return n(w.RowsOf(a.word).size()); }},
        {"row",
         [](W& w, A a) {
             const QStringList rows = w.RowsOf(a.word);
             const int row = a.Pair().first;
             return QStringLiteral("%1 %2").arg(row).arg(rows.value(row < 0 ? rows.size() + row : row));
         }},
        {"wait-row-count",
         [n](W& w, A a) {
             (void)QTest::qWaitFor([&] { return w.RowsOf(a.word).size() == a.Number(); }, 5000);
             return n(w.RowsOf(a.word).size());
         }},
        {"enabled", [](W& w, A a) { return YesNo(w.Object(a.word).property("enabled").toBool()); }},
        {"checked", [](W& w, A a) { return YesNo(w.Object(a.word).property("checked").toBool()); }},
        {"visible", [](W& w, A a) { return YesNo(w.Object(a.word).property("visible").toBool()); }},
        {"hidden", [](W& w, A a) { return YesNo(w.Get<QWidget>(a.word).isHidden()); }},
        {"selected", [](W& w, A a) { return YesNo(w.Get<QAbstractItemView>(a.word).selectionModel()->hasSelection()); }},
        {"exists", [](W& w, A a) { return YesNo(fs::exists(w.program_.Dir() / a.word)); }},
        {"secrets",
         [](W& w, A) {
             QStringList secrets;
             for (const auto& [name, secret] : w.keyring_.secrets) {
                 secrets << Q(name + '=' + secret);
             }
             return secrets.join(u'|');
         }},
        {"draft-kept",
         [](W& w, A) {
             // The draft file holds what the window shows, within its delay.
             const auto same = [&w] { return ReadDraft(w.program_.Dir()) == w.program_.Main().CurrentDraft(); };
             return YesNo(QTest::qWaitFor(same, 5000));
         }},
        {"ticked", [](W& w, A a) { return QStringLiteral("%1 ").arg(a.Pair().first) + YesNo(w.Item(a)->checkState() == Qt::Checked); }},
        {"tooltip", [](W& w, A a) { return QStringLiteral("%1 ").arg(a.Pair().first) + w.Item(a)->toolTip(); }},
        {"property",
         [](W& w, A a) {
             std::string value = a.value;
             const std::string name = Word(value);
             const QVariant v = w.Object(a.word).property(name.c_str());
             const bool number = (v.metaType().flags() & QMetaType::IsEnumeration) != 0;
             return Q(name + ' ') + (number ? QString::number(v.toInt()) : v.toString());
         }},
        {"font", [n](W& w, A a) { return n(w.Get<QWidget>(a.word).font().pointSize()); }},
        {"colour", [](W& w, A a) { return w.Get<QWidget>(a.word).palette().color(QPalette::WindowText).name(); }},
        {"areas",
         [](W& w, A) {
             // The areas the type opens: subject, subject bar, PIN, the
             // "File :" page, animation, the note.
             MainWindow& m = w.program_.Main();
             const auto on = [](bool b) { return b ? QStringLiteral("+") : QStringLiteral("-"); };
             return Look(Child<QLineEdit>(&m, kSubject)) + Look(Child<QLineEdit>(&m, kSubjectBarBox)) +
                    Look(Child<QLineEdit>(&m, kPin)) + on(Child<QTabWidget>(&m, kPages)->isTabVisible(2)) +
                    on(Child<QWidget>(&m, kAnimeCheck)->isEnabled()) + on(!Child<QLabel>(&m, kNoteLabel)->isHidden());
         }},
        {"composed",
         [](W& w, A a) {
             const TextArea area = a.word == "body" ? TextArea::Body : TextArea::DirectAddress;
             return Q(SjisToUtf8(w.program_.Main().Composer().Text(area).bytes));
         }},
        {"sender", [](W& w, A) { return Q(SjisToUtf8(w.program_.Main().Composer().Sender())); }},
        {"beeps", [n](W& w, A) { return n(w.beeps_); }},
        {"sent", [n](W& w, A a) { return n(w.sink_->WaitForMessages(std::stoi(a.all), std::chrono::seconds(5))); }},
        {"history",
         [](W& w, A) {
             const auto records = ListHistoryFiles(w.program_.Dir() / "mail");
             return Q(records.empty() ? std::string() : ReadSjisFile(records.front()));
         }},
        {"mark",
         [](W& w, A a) {
             // W FROM TO: where the body's mark (past the limit) is; -1 -1 none.
             const QList<QTextEdit::ExtraSelection> marks = w.Get<QPlainTextEdit>(a.word).extraSelections();
             const QTextCursor mark = marks.isEmpty() ? QTextCursor() : marks.front().cursor;
             return marks.isEmpty() ? QStringLiteral("-1 -1") : QStringLiteral("%1 %2").arg(mark.selectionStart()).arg(mark.selectionEnd());
         }},
        {"selection",
         [](W& w, A a) {
             const QTextCursor caret = w.Get<QPlainTextEdit>(a.word).textCursor();
             return QStringLiteral("%1 %2").arg(caret.anchor()).arg(caret.position());
         }},
        {"undo-steps", [n](W& w, A a) { return n(w.Get<QPlainTextEdit>(a.word).document()->availableUndoSteps()); }},
        {"tip",
         [](W& w, A a) {
             auto& widget = w.Get<QWidget>(a.word);
             QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), widget.mapToGlobal(QPoint(2, 2)));
             QApplication::sendEvent(&widget, &help);
             return QToolTip::text();
         }},
        {"named", [n](W& w, A a) { return n(w.program_.Main().findChildren<QObject*>(Q(a.word)).size()); }},
        {"term",
         [](W& w, A a) {
             // LABEL VALUE: the count terms window's row; none: no such row.
             const std::vector<TermsRow> rows = w.Get<CountTermsWindow>("CountTermsWindow").Rows();
             const auto row = std::ranges::find(rows, Q(a.word), &TermsRow::label);
             return row != rows.end() ? row->value : QString();
         }},
        {"status", [](W& w, A) { return w.program_.Status(); }},
        {"clipboard-is", [](W&, A) { return QApplication::clipboard()->text(); }},
        {"expect-file", [](W& w, A a) { return Q(ReadSjisFile(w.program_.Dir() / a.word)); }},
        {"box", [](W& w, A) { return w.checked_ < w.boxes_.texts.size() ? w.boxes_.texts[w.checked_++] : throw Stop("no box came"); }},
        {"on-page", [](W& w, A) { return w.Dialog().Pages()->Tab(w.Dialog().Pages()->CurrentIndex())->text(); }},
    };
    return shows;
}

class Walk : public ::testing::TestWithParam<std::string> {};

TEST_P(Walk, Run)
{
    Walker(GetParam()).Run();
}

// The top folder's walks; those below it are the engine's.
INSTANTIATE_TEST_SUITE_P(Scripts, Walk, ::testing::ValuesIn(GoldenNames("walks", ".walk")), GoldenRowName());

} // namespace
} // namespace kitemail::test
