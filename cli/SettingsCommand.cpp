#include "cli/SettingsCommand.h"
#include "box/Box.h"

#include "cli/Bootstrap.h"
#include "cli/Commands.h"
#include "cli/CliLink.h"
#include "cli/CliUi.h"
#include "link/Clock.h"
#include "session/Controls.h"
#include "session/PageTable.h"
#include "session/Session.h"
#include "settings/SettingBinding.h"
#include "settings/Settings.h"
#include "settings/SettingsState.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <vector>

namespace trivel::cli {

namespace {

const char* const kHelp
    = R"(Usage: trivelctl [--tcp HOST[:PORT] | --usb] [--yes] [--verbose] set [--window N] NAME=VALUE ...
       trivelctl [--tcp HOST[:PORT] | --usb] get [--window N] [--json] [NAME ...]
       trivelctl settings list [--json]

set   connects, reads the box back, selects window N (1..4) when given, and writes each setting
      by its mnemonic (BRI=61, XHA=70, OLE=-120, ...), waiting for the box's answer to each; a
      value outside the control's range is refused before anything is sent, and what get prints
      is always accepted (an edge width of 0 is no blend).
get   connects, reads the box back and prints the window's settings (all, or those named), in
      the units the pages show (XHA in tens).
list  prints every mnemonic of the settings table with its page, control, range and start.

Exit codes: 0 success, 2 usage error or value out of range, 3 link failure, 4 box rejected.
)";

// Settings a user may write and read: they have a cache and a control of their own.
bool Settable(const SettingBinding& b)
{
    return Settings::writable(b.id);
}

bool Tens(const SettingBinding& b)
{
    return b.sent == Sent::TimesTen;
}

QString RangeText(const SettingBinding& b)
{
    if (Tens(b))
        return QStringLiteral("%1..%2 in steps of 10").arg(b.minimum * 10).arg(b.maximum * 10);
    // The value a cache holds for "none" is taken as well (what get prints).
    const bool zero = Settings::accepts(b.id, 0) && !InRange(b, 0);
    return QStringLiteral("%1%2..%3")
        .arg(zero ? QStringLiteral("0, ") : QString())
        .arg(b.minimum)
        .arg(b.maximum);
}

int Fail(int code, const QString& why)
{
    std::fprintf(stderr, "trivelctl: %s\n", qPrintable(why));
    return code;
}

struct Assignment {
    const SettingBinding* row;
    int position;
    QString text;
};

struct Options {
    CliLinkOptions link;
    bool json = false;
    int window = -1; // 0-based; -1 the box's current window
    QString command;
    QStringList operands;
};

int Parse(const QStringList& args, Options& o)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kHelp, stdout);
            return Success;
        }
        QString error;
        if (TakeLinkOption(args, i, o.link, error)) {
            if (!error.isEmpty())
                return Fail(Usage, error);
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--window") {
            bool ok = false;
            const int n = ++i < args.size() ? args[i].toInt(&ok) : 0;
            if (!ok || n < 1 || n > 4)
                return Fail(Usage, "--window needs a window number 1..4");
            o.window = n - 1;
        } else if (a.startsWith('-') && !(o.command == "set" && a.contains('='))) {
            return Fail(Usage, "unknown option " + a);
        } else if (o.command.isEmpty()) {
            o.command = a;
        } else {
            o.operands << a;
        }
    }
    return -1;
}

// NAME=VALUE in the units the page shows, checked against the control's range.
int ParseAssignments(const QStringList& operands, std::vector<Assignment>& out)
{
    if (operands.isEmpty())
        return Fail(Usage, "set needs NAME=VALUE");
    for (const QString& op : operands) {
        const qsizetype eq = op.indexOf('=');
        if (eq <= 0)
            return Fail(Usage, "expected NAME=VALUE, got " + op);
        const QString name = op.left(eq).toUpper();
        const SettingBinding* b = FindBinding(name.toStdString());
        if (b && Settings::readOnly(b->id))
            return Fail(Usage, name + " is read-only");
        if (!b || !Settable(*b))
            return Fail(Usage, "unknown setting " + name + " (see 'trivelctl settings list')");
        bool ok = false;
        const int shown = op.mid(eq + 1).toInt(&ok);
        if (!ok)
            return Fail(Usage, QStringLiteral("%1: %2 is not a number").arg(name, op.mid(eq + 1)));
        const int position = Tens(*b) ? shown / 10 : shown;
        if ((Tens(*b) && shown % 10 != 0) || !Settings::accepts(b->id, position))
            return Fail(Usage,
                QStringLiteral("%1=%2 is out of range: %1 takes %3").arg(name).arg(shown).arg(RangeText(*b)));
        out.push_back({b, position, name});
    }
    return -1;
}

// Runs an operation to its end; the exit code of its outcome.
int Await(BoxRun& run, const Operation<void>& op)
{
    run.await(op);
    if (op.succeeded())
        return Success;
    const Failure f = op.failure().value_or(Failure{});
    switch (f.kind) {
    case Failure::Kind::NoReply:
    case Failure::Kind::LinkLost:
        return Fail(LinkFailure, f.reason);
    case Failure::Kind::Refused:
        return Fail(Usage, f.reason);
    default:
        return Fail(Rejected, f.reason);
    }
}

// Settings the window-settings block carries, written by a plain setting frame: for them the
// identify-only connect and one block read give the caches the frames are made from, as the
// whole read-back would, in a fraction of its time.
bool FromWindowBlock(const SettingBinding& b)
{
    const std::string_view m = b.mnemonic;
    if (m == "INP" || m == "OPM" || m == "CLR" || m == "ORI")
        return false;
    bool found = false;
    WindowSettingsRecord().forEachField([&](const char* name, const auto&) { found = found || m == name; });
    return found;
}

// Reads the window settings again the way the status poll does, without refreshing the pages:
// the refresh at the end of the read-back zeroes the overscans of a window without a signal in
// the cache, and get reports what the box holds.
Operation<void> ReadWindowBlock(Session& s)
{
    DecodeWindowBlock(s, co_await s.exchange.send(Request(Cmd::ReadWindowSettings, Clear::All)));
}

int RereadWindowSettings(BoxRun& run)
{
    Session& s = run.session();
    s.setFlag(Flag::InputSetChanged, false);
    const int code = run.await(ReadWindowBlock(s));
    return code == Success && !s.connected() ? LinkFailure : code;
}

int Get(Box& tool, const Options& o)
{
    std::vector<const SettingBinding*> rows;
    if (o.operands.isEmpty()) {
        for (const SettingBinding& b : SettingBindings())
            if (Settable(b))
                rows.push_back(&b);
    } else {
        for (const QString& name : o.operands) {
            const SettingBinding* b = FindBinding(name.toUpper().toStdString());
            if (!b || !Settable(*b))
                return Fail(Usage, "unknown setting " + name + " (see 'trivelctl settings list')");
            rows.push_back(b);
        }
    }
    const int w = o.window >= 0 ? o.window : tool.session.CurrentWindow;
    QJsonObject json{{QStringLiteral("window"), w + 1}};
    for (const SettingBinding* b : rows) {
        const int shown = ShownValue(b->mnemonic, tool.settings.value(b->id, w));
        if (o.json)
            json.insert(QString::fromLatin1(b->mnemonic), shown);
        else
            std::printf("%s: %d\n", b->mnemonic, shown);
    }
    if (o.json)
        std::fputs(QJsonDocument(json).toJson(QJsonDocument::Indented).constData(), stdout);
    return Success;
}

int Set(BoxRun& run, const Options& o, const std::vector<Assignment>& assignments)
{
    Session& s = run.session();
    Box& tool = run.box();
    if (o.window >= s.ChannelCount)
        return Fail(Usage, QStringLiteral("the box has %1 windows").arg(s.ChannelCount));
    const int w = o.window >= 0 ? o.window : s.CurrentWindow & 3;
    for (const Assignment& a : assignments) {
        // A pan cannot lie beyond its zoom.
        const Setting id = a.row->id;
        const int zoom = id == Setting::HPN ? tool.settings.value(Setting::HZM, w)
            : id == Setting::VPN            ? tool.settings.value(Setting::VZM, w)
                                            : 0;
        if (zoom > 0 && a.position > zoom)
            return Fail(Usage,
                QStringLiteral("%1=%2 is out of range: %1 takes 1..%3 (the zoom)")
                    .arg(a.text)
                    .arg(a.position)
                    .arg(zoom));
        if (const int code = Await(run, tool.settings.apply(id, w, a.position)); code != Success)
            return code;
        if (!s.connected()) {
            run.ui().sayLinkFailure(QStringLiteral("the link closed"));
            return LinkFailure;
        }
    }
    // The box acknowledges each setting: success only once every reply is in.
    return run.waitUntil([&s] { return s.busy() ? -1 : int(s.connected() ? Success : LinkFailure); });
}

} // namespace

int ShownValue(const char* mnemonic, int position)
{
    const SettingBinding* b = FindBinding(mnemonic);
    return b && Tens(*b) ? position * 10 : position;
}

QString SettingsListText(bool json)
{
    QJsonArray rows;
    QString text = QStringLiteral("%1 %2 %3 %4 %5\n")
                       .arg(QStringLiteral("NAME"), -5)
                       .arg(QStringLiteral("PAGE"), -12)
                       .arg(QStringLiteral("CONTROL"), -18)
                       .arg(QStringLiteral("RANGE"), -24)
                       .arg(QStringLiteral("START"));
    for (const SettingBinding& b : SettingBindings()) {
        const PageInfo* page = FindPage(b.page);
        const QString pageName = page ? QString::fromLatin1(page->caption) : QStringLiteral("-");
        const QString control = *b.control.name ? b.control.qname() : QStringLiteral("-");
        const bool settable = Settable(b);
        const bool readOnly = Settings::readOnly(b.id);
        const QString range = settable ? RangeText(b)
            : readOnly                 ? QStringLiteral("read-only")
                                       : QStringLiteral("-");
        const QString start
            = settable ? QString::number(ShownValue(b.mnemonic, b.start)) : QStringLiteral("-");
        if (json) {
            QJsonObject r{{"name", b.mnemonic}, {"page", pageName}, {"control", control}, {"template", b.tpl},
                {"settable", settable}, {"readOnly", readOnly}};
            if (settable) {
                r.insert("minimum", Tens(b) ? b.minimum * 10 : b.minimum);
                r.insert("maximum", Tens(b) ? b.maximum * 10 : b.maximum);
                r.insert("start", ShownValue(b.mnemonic, b.start));
            }
            rows.append(r);
        } else {
            text += QStringLiteral("%1 %2 %3 %4 %5\n")
                        .arg(QString::fromLatin1(b.mnemonic), -5)
                        .arg(pageName, -12)
                        .arg(control, -18)
                        .arg(range, -24)
                        .arg(start);
        }
    }
    return json ? QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented)) : text;
}

int RunSettingsCommand(const QStringList& args, const BoxEnv& env)
{
    const QString word = CommandWord(args);
    if (word == QLatin1String("settings")) {
        const QStringList rest = args.mid(args.indexOf(word) + 1);
        if (rest.value(0) != QLatin1String("list"))
            return Fail(Usage, "usage: trivelctl settings list [--json]");
        std::fputs(qPrintable(SettingsListText(rest.contains(QStringLiteral("--json")))), stdout);
        return Success;
    }
    if (word != QLatin1String("set") && word != QLatin1String("get"))
        return -1;

    Options o;
    if (const int code = Parse(args, o); code >= 0)
        return code;
    std::vector<Assignment> assignments;
    if (o.command == "set") {
        if (const int code = ParseAssignments(o.operands, assignments); code >= 0)
            return code;
    }
    if (!o.link.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("trivel.*.info=false\ntrivel.*.debug=false"));

    // A command that only touches the window-settings block skips the rest of the read-back.
    bool blockOnly = true;
    if (o.command == "set") {
        for (const Assignment& a : assignments)
            blockOnly = blockOnly && FromWindowBlock(*a.row);
    } else {
        for (const QString& name : o.operands) {
            const SettingBinding* b = FindBinding(name.toUpper().toStdString());
            blockOnly = blockOnly && b && FromWindowBlock(*b);
        }
        blockOnly = blockOnly && !o.operands.isEmpty();
    }
    CliUi ui(o.link.yes);
    BoxRun run(env, o.link, ui);
    int code = run.connect(blockOnly ? ConnectMode::WindowSettings : ConnectMode::Readback);
    if (code == Success && (o.command == "get" || blockOnly)) {
        code = RereadWindowSettings(run);
        if (code == LinkFailure)
            ui.sayLinkFailure(QStringLiteral("no reply to the window-settings request"));
    }
    if (code == Success)
        code = o.command == "set" ? Set(run, o, assignments) : Get(run.box(), o);
    return run.decide(code);
}

} // namespace trivel::cli
