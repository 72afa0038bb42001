// A setting file as the user picks it. The first byte chooses the name's layout and the box the
// file is loaded on (mask feature, model 116, connected); the rest is the file.
//
// Besides never crashing, a file that loads must save and load again to the same bytes.

#include "files/SettingFile.h"
#include "link/Clock.h"
#include "session/Session.h"
#include "support/RecordingUi.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace trivel;

struct Box {
    VirtualClock clock;
    test::RecordingUi ui;
    Session s{clock, ui};

    explicit Box(std::uint8_t kind)
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
    const bool wholeBox = kind & 1;
    const QByteArray file(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    Box first(kind);
    if (!LoadSettingBytes(first.s, file, wholeBox).ok)
        return 0;
    const QByteArray saved = SettingFileBytes(first.s, wholeBox);
    Box second(kind);
    if (!LoadSettingBytes(second.s, saved, wholeBox).ok || SettingFileBytes(second.s, wholeBox) != saved)
        std::abort();
    return 0;
}
