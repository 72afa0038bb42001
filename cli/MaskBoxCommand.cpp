#include "cli/MaskBoxCommand.h"
#include "box/Box.h"

#include "cli/Bootstrap.h"
#include "cli/CliLink.h"
#include "cli/CliUi.h"
#include "mask/MaskImage.h"
#include "mask/MaskOperations.h"
#include "mask/MaskPageLogic.h"
#include "box/Connection.h"
#include "session/PendingOps.h"
#include "session/Session.h"
#include "settings/WindowSelect.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QSaveFile>

#include <cstdio>

namespace trivel {

namespace {

const char* const kHelp
    = R"(Usage: trivelctl [--tcp HOST[:PORT] | --usb] mask upload --window N IN.bmp [--slot S] [--offset X,Y | --centre]
       trivelctl [--tcp HOST[:PORT] | --usb] mask read --slot S OUT.png
       trivelctl [--tcp HOST[:PORT] | --usb] mask delete --slot S
       trivelctl [--tcp HOST[:PORT] | --usb] mask assign --window N --slot S|off

upload  converts IN.bmp (1-bit or 8-bit) as the Digi Mapping page does, previews it on window N
        (1..4, as on the window buttons) at the offset given (default 0,0) or centred, then
        with --slot stores it in slot S (1-9 mono, 10 colour) and assigns the slot to the window
read    reads slot S back from the box and draws it into a PNG as 'mask decode' does
delete  deletes slot S on the box
assign  shows slot S (or no mask) on window N
Offline conversion: 'trivelctl mask encode|decode', see 'trivelctl mask --help'.

Exit codes: 0 done, 1 refused (bad image, empty slot, wrong slot), 2 usage error, 3 link failure,
4 box rejected.
)";

enum class Verb { Upload, Read, Delete, Assign };

struct Options {
    CliLinkOptions link;
    Verb verb = Verb::Upload;
    int window = -1; // 0-based
    int slot = -1; // 0 off, 1..10
    QString file;
    bool centre = false;
    bool offsetGiven = false;
    int offsetX = 0;
    int offsetY = 0;
};

int Fail(int code, const QString& why)
{
    std::fprintf(stderr, "trivelctl: %s\n", qPrintable(why));
    return code;
}

// Fills o from the arguments; -1 when they are good, else the exit code.
int Parse(const QStringList& args, Options& o)
{
    QStringList words;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        QString error;
        if (a == "-h" || a == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (TakeLinkOption(args, i, o.link, error)) {
            if (!error.isEmpty())
                return Fail(2, error);
        } else if (a == "--window" || a == "--slot" || a == "--offset") {
            if (i + 1 >= args.size())
                return Fail(2, a + " needs a value");
            const QString v = args[++i];
            bool ok = false;
            if (a == "--window") {
                o.window = v.toInt(&ok) - 1;
                if (!ok || o.window < 0 || o.window > 3)
                    return Fail(2, "--window needs a window number 1..4");
            } else if (a == "--slot") {
                o.slot = v == "off" ? 0 : v.toInt(&ok);
                if (v != "off" && (!ok || o.slot < 1 || o.slot > 10))
                    return Fail(2, "--slot needs a slot number 1..10 (or off with assign)");
            } else {
                const QStringList xy = v.split(',');
                bool okY = false;
                o.offsetX = xy.value(0).toInt(&ok);
                o.offsetY = xy.value(1).toInt(&okY);
                if (xy.size() != 2 || !ok || !okY || o.offsetX < 0 || o.offsetY < 0)
                    return Fail(2, "--offset needs X,Y (pixels, not negative)");
                o.offsetGiven = true;
            }
        } else if (a == "--centre" || a == "--center") {
            o.centre = true;
        } else if (a.startsWith('-')) {
            return Fail(2, "unknown option " + a);
        } else {
            words << a;
        }
    }
    const QString verb = words.value(1);
    if (verb == "upload")
        o.verb = Verb::Upload;
    else if (verb == "read")
        o.verb = Verb::Read;
    else if (verb == "delete")
        o.verb = Verb::Delete;
    else if (verb == "assign")
        o.verb = Verb::Assign;
    const int files = o.verb == Verb::Upload || o.verb == Verb::Read ? 1 : 0;
    if (words.size() != 2 + files)
        return Fail(2, "wrong number of arguments; try 'trivelctl mask upload --help'");
    if (files)
        o.file = words[2];
    if (o.centre && o.offsetGiven)
        return Fail(2, "give --offset or --centre, not both");
    if ((o.verb == Verb::Upload || o.verb == Verb::Assign) && o.window < 0)
        return Fail(2, "--window N is needed");
    if (o.verb == Verb::Assign ? o.slot < 0 : (o.slot == 0 || (o.slot < 0 && o.verb != Verb::Upload)))
        return Fail(2, "--slot S (1..10) is needed");
    return -1;
}

// The stream as 'mask decode' draws it: mono in the header's colours, colour with its palette.
bool StreamImage(const MaskBytes& stream, QImage& image)
{
    MaskHeader header;
    ReadMaskHeader(stream.data(), stream.size(), header);
    if (header.isColour()) {
        const MaskDecodeResult r = RenderColourMask(stream);
        image = MaskPictureImage(r.picture);
        return r.ok;
    }
    const MaskDecodeResult r = DecodeMonoMask(stream);
    image = MaskPictureImage(r.picture, MonoPreviewPalette(header));
    return r.ok;
}

// "mask upload: 4800 / 105600" at each tenth of the way, on stderr.
class Progress {
public:
    explicit Progress(const char* what)
        : m_what(what)
    {
    }
    void show(int position, int maximum)
    {
        if (maximum <= 0)
            return;
        const int tenth = int(std::int64_t(std::min(position, maximum)) * 10 / maximum);
        if (tenth == m_tenth)
            return;
        m_tenth = tenth;
        std::fprintf(stderr, "%s: %d / %d\n", m_what, position, maximum);
    }

private:
    const char* m_what;
    int m_tenth = -1;
};

int WriteSlotPicture(const MaskState& m, const Options& o)
{
    QImage image;
    if (!StreamImage(m.Stream.bytes, image))
        return Fail(1, "the slot's stream gives no picture");
    QSaveFile file(o.file);
    QImageWriter writer(&file, "png");
    if (!file.open(QIODevice::WriteOnly) || !writer.write(image) || !file.commit())
        return Fail(1, "cannot write " + o.file);
    std::printf("wrote %s (slot %d, %s mask, %d x %d, %zu bytes)\n", qPrintable(o.file), o.slot,
        m.MaskKind == 2 ? "colour" : "mono", image.width(), image.height(), m.Stream.size());
    return 0;
}

} // namespace

bool IsMaskBoxCommand(const QStringList& args)
{
    QStringList words;
    for (int i = 0; i < args.size() && words.size() < 2; ++i) {
        if (args[i] == "--tcp" || args[i] == "--window" || args[i] == "--slot" || args[i] == "--offset") {
            ++i;
            continue;
        }
        if (!args[i].startsWith('-'))
            words << args[i];
    }
    static const QStringList kVerbs{"upload", "read", "delete", "assign"};
    return words.size() == 2 && words[0] == "mask" && kVerbs.contains(words[1]);
}

int RunMaskBoxCommand(const QStringList& args, const cli::BoxEnv& env)
{
    Options o;
    if (const int code = Parse(args, o); code >= 0)
        return code;
    QByteArray bmp;
    if (o.verb == Verb::Upload) {
        QFile f(o.file);
        if (!f.open(QIODevice::ReadOnly))
            return Fail(1, "cannot read " + o.file + ": " + f.errorString());
        bmp = f.readAll();
    }

    cli::CliUi ui(false);
    cli::BoxRun run(env, o.link, ui);
    Session& s = run.session();
    MaskState& m = s.mask;

    // Stages: select the window and let its replies pass, run the operation, (upload) store.
    enum class Stage { Settle, Running, Storing, Done };
    Stage stage = Stage::Settle;
    int result = 0;
    Progress progress(o.verb == Verb::Upload ? "mask upload" : "mask read");
    qsizetype memoSeen = 0;

    const auto start = [&] {
        switch (o.verb) {
        case Verb::Upload:
            LoadMaskImageFile(s, bmp);
            if (m.MaskKind == 0) {
                result = 1;
                return;
            }
            if (o.centre) {
                CBCenterMaskClick(s, true);
            } else if (o.offsetGiven) {
                SBMaskOffsetXChange(s, std::min(o.offsetX, kMaskOffsetXMax));
                SBMaskOffsetYChange(s, std::min(o.offsetY, kMaskOffsetYMax));
            }
            BtnUploadMaskClick(s);
            break;
        case Verb::Read:
            CBMaskIdxChange(s, o.slot);
            BtnMaskReadClick(s);
            break;
        case Verb::Delete:
            CBMaskIdxChange(s, o.slot);
            BtnMaskDeleteClick(s);
            break;
        case Verb::Assign:
            CBMaskIdxChange(s, o.slot);
            BtnMaskLoadClick(s);
            break;
        }
    };

    const int exitCode = RunOnBox(
        run,
        [&] {
            memoSeen = ui.memo().size();
            if (!s.flag(Flag::UserMask)) {
                result = 1;
                stage = Stage::Done;
                Fail(1, "the box has no user masks");
                return;
            }
            if (o.window >= s.ChannelCount) {
                result = 2;
                stage = Stage::Done;
                Fail(2, QStringLiteral("the box has %1 windows").arg(s.ChannelCount));
                return;
            }
            if (o.window >= 0)
                SelectWindow(s, o.window);
        },
        [&] {
            for (; memoSeen < ui.memo().size(); ++memoSeen)
                std::fprintf(stderr, "trivelctl: box: %s\n", qPrintable(ui.memo().at(memoSeen)));
            if (!s.connected())
                return 3;
            if (stage == Stage::Settle) {
                // The replies to the window selection go by before the first mask request.
                if (s.busy())
                    return -1;
                stage = Stage::Running;
                start();
                if (result != 0)
                    return result;
            }
            if (stage == Stage::Done)
                return result;
            if (o.verb == Verb::Upload || o.verb == Verb::Read)
                progress.show(ui.waitProgress(), ui.waitMaximum());
            if (s.busy())
                return -1;
            if (stage == Stage::Running && o.verb == Verb::Upload && o.slot > 0) {
                stage = Stage::Storing;
                CBMaskIdxChange(s, o.slot);
                BtnMaskSaveClick(s);
                // A refused slot (a mono mask in slot 10, a colour one below) sends nothing.
                return !s.busy() ? 1 : -1;
            }
            if (o.verb == Verb::Read && m.MaskKind == 0)
                return 1;
            return 0;
        });
    int code = exitCode;
    if (code == 0 && o.verb == Verb::Read)
        code = WriteSlotPicture(m, o);
    return code;
}

} // namespace trivel
