#include "cli/MaskBoxCommand.h"
#include "box/Box.h"

#include "cli/Bootstrap.h"
#include "cli/CliLink.h"
#include "cli/CliUi.h"
#include "cli/ProgressLine.h"
#include "mask/MaskImage.h"
#include "mask/Masks.h"
#include "session/Session.h"
#include "settings/Settings.h"

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

Exit codes: 0 done, 1 refused (bad image, empty slot), 2 usage error (also a slot that takes
the other kind of picture), 3 link failure (no box, link lost, no reply), 4 box rejected.
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

// An 8-bit picture makes a colour mask, which only slot 10 takes: decided from the file before
// anything is sent. -1 when the slot may fit (a file that is no picture is the conversion's to
// report; a 1-bit picture for slot 10 is refused by the save, with its message).
int RefuseSlotForPicture(const QByteArray& bmp, const Options& o)
{
    if (o.slot <= 0)
        return -1;
    const MaskBitmap b = LoadMaskBitmap(bmp);
    if (b.status != MaskLoadStatus::Ok)
        return -1;
    if (b.picture.depth != 1 && o.slot != kColourSlot)
        return Fail(2, "an 8-bit picture makes a colour mask: --slot 10");
    return -1;
}

// The verb's whole chain on the box; it ends done only once the chain's last reply is in.
Operation<void> RunVerb(Masks& masks, const Options& o, QByteArray bmp)
{
    if (o.verb != Verb::Upload) {
        masks.selectSlot(o.slot);
        if (o.verb == Verb::Read)
            co_await masks.read();
        else if (o.verb == Verb::Delete)
            co_await masks.deleteSlot();
        else
            co_await masks.assign();
        co_return;
    }
    masks.loadImage(bmp);
    if (masks.state().MaskKind == 0)
        Fail(Failure::Kind::Refused, QStringLiteral("the picture gives no mask"), true);
    if (o.centre) {
        masks.setCentred(true);
    } else if (o.offsetGiven) {
        masks.setOffsetX(std::min(o.offsetX, kMaskOffsetXMax));
        masks.setOffsetY(std::min(o.offsetY, kMaskOffsetYMax));
    }
    co_await masks.preview();
    if (o.slot > 0) {
        masks.selectSlot(o.slot);
        co_await masks.save();
    }
}

// 0 when the chain ended done; 1 refused, 4 a box that answered wrongly, 3 silence or a lost link.
int ExitCodeOf(const Operation<void>& op, cli::CliUi& ui)
{
    if (op.succeeded())
        return 0;
    const Failure& f = *op.failure();
    if (f.kind == Failure::Kind::Refused)
        return f.shown ? 1 : Fail(1, f.reason);
    const QString why = f.reason.isEmpty() ? QStringLiteral("the operation did not finish") : f.reason;
    if (f.kind == Failure::Kind::BoxFault)
        return Fail(4, why);
    // The watchdog or the link may have said it already.
    ui.sayLinkFailure(why);
    return 3;
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
        if (const int code = RefuseSlotForPicture(bmp, o); code >= 0)
            return code;
    }

    cli::CliUi ui(false);
    cli::BoxRun run(env, o.link, ui);
    Box& tool = run.box();
    Session& s = tool.session;

    // The window is selected first; the mask requests follow once its last reply is in.
    bool settling = true;
    Operation<void> chain;
    // The total is known once the chain has opened its wait.
    cli::ProgressLine progress(o.verb == Verb::Upload ? "mask upload" : "mask read", 0, "bytes");
    qsizetype memoSeen = 0;
    Operation<void> selection;

    const int exitCode = RunOnBox(
        run,
        [&] {
            memoSeen = ui.memo().size();
            if (!s.flag(Flag::UserMask))
                return;
            if (o.window >= 0 && o.window < s.ChannelCount)
                selection = s.settingsService().selectWindow(o.window);
        },
        [&] {
            for (; memoSeen < ui.memo().size(); ++memoSeen)
                std::fprintf(stderr, "trivelctl: box: %s\n", qPrintable(ui.memo().at(memoSeen)));
            if (!s.flag(Flag::UserMask))
                return Fail(1, "the box has no user masks");
            if (o.window >= s.ChannelCount)
                return Fail(2, QStringLiteral("the box has %1 windows").arg(s.ChannelCount));
            if (settling) {
                if (!s.connected()) {
                    ui.sayLinkFailure(QStringLiteral("the connection to the box was closed"));
                    return 3;
                }
                // The replies to the window selection go by before the first mask request.
                if (!selection.finished() || s.busy())
                    return -1;
                settling = false;
                chain = RunVerb(tool.masks, o, bmp);
            }
            if ((o.verb == Verb::Upload || o.verb == Verb::Read) && ui.waitMaximum() > 0) {
                progress.setTotal(ui.waitMaximum());
                progress.update(chain.finished() && !chain.failure() ? ui.waitMaximum() : ui.waitProgress());
            }
            if (chain.finished())
                progress.finish();
            return chain.finished() ? ExitCodeOf(chain, ui) : -1;
        });
    int code = exitCode;
    if (code == 0 && o.verb == Verb::Read)
        code = WriteSlotPicture(tool.masks.state(), o);
    return code;
}

} // namespace trivel
