// A setting file as the user picks it. The first byte chooses the box the file is loaded on (mask
// feature, model 116, connected); the rest is the file, whose own first bytes say its layout.
//
// Besides never crashing, a file that loads must save and load again to the same bytes. A file
// older than version 4 has no input sizes, so the first save records 0 and the next load clears
// the overscans it kept: from such a file the bytes must be stable one save later.

#include "files/SettingFile.h"
#include "box/Box.h"
#include "link/Clock.h"
#include "session/Session.h"
#include "support/RecordingUi.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace trivel;

struct Fixture {
    VirtualClock clock;
    test::RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;

    explicit Fixture(std::uint8_t kind)
    {
        s.setFlag(Flag::UserMask, kind & 2);
        s.BoardModel = (kind & 4) ? 116 : 115;
        s.setFlag(Flag::Connected, kind & 8);
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t kind = data[0];
    const QByteArray file(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    Fixture first(kind);
    const SettingFileOutcome loaded = LoadSettingBytes(first.s, file);
    if (!loaded.ok)
        return 0;
    QByteArray saved = SettingFileBytes(first.s, loaded.wholeBox);
    const bool withInputSizes = std::uint8_t(file[5]) >= 4;
    for (int generation = withInputSizes ? 1 : 2; generation > 0; --generation) {
        Fixture next(kind);
        if (!LoadSettingBytes(next.s, saved).ok)
            std::abort();
        const QByteArray again = SettingFileBytes(next.s, loaded.wholeBox);
        if (generation == 1 && again != saved)
            std::abort();
        saved = again;
    }
    return 0;
}
