// The link is the ground floor: nothing in link/ may include a folder above it.

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

TEST(Layering, LinkIncludesNothingAboveIt)
{
    const QDir link(QStringLiteral(TRIVEL_SOURCE_DIR "/link"));
    const QStringList files = link.entryList({QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files);
    ASSERT_GT(files.size(), 10);
    const QRegularExpression include(
        QStringLiteral(R"(^\s*#\s*include\s*[<"]([^/>"]+)/)"), QRegularExpression::MultilineOption);
    const QStringList above{QStringLiteral("session"), QStringLiteral("settings"), QStringLiteral("warp"),
        QStringLiteral("mask"), QStringLiteral("firmware"), QStringLiteral("files"),
        QStringLiteral("registers"), QStringLiteral("app"), QStringLiteral("cli"), QStringLiteral("sim")};
    for (const QString& name : files) {
        QFile f(link.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(name);
        const QString text = QString::fromUtf8(f.readAll());
        for (auto it = include.globalMatch(text); it.hasNext();) {
            const QString folder = it.next().captured(1);
            EXPECT_FALSE(above.contains(folder))
                << qPrintable(name) << " includes " << qPrintable(folder) << "/";
        }
    }
}
