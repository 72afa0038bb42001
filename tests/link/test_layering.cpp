// The floors of the code: which folder may include which. Every folder with sources is listed;
// a new folder, or an include across floors that the table does not allow, fails here.
//
// Edges the restructuring still has to remove are listed apart: each must still exist (so the list
// only shrinks) and no other edge may join them.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>

namespace {

using Edges = std::map<std::string, std::set<std::string>>;

// Subsystems sit on the session; pages of a subsystem live in its pages/ folder.
const std::set<std::string> kSubsystems{"registers", "firmware", "mask", "settings", "warp"};

Edges AllowedEdges()
{
    const std::set<std::string> core{"protocol", "link", "session"};
    Edges allowed{
        {"protocol", {}},
        {"link", {"protocol"}},
        {"session", {"protocol", "link"}},
        // The page base class and the small widgets the pages share.
        {"widgets", {}},
        // The composition root and the box-wide operations above every subsystem.
        {"box", {}},
        {"files", {"box"}},
        {"preview", {"box", "mask", "settings", "warp", "widgets"}},
        {"align", {"mask", "settings", "warp"}},
        {"interchange", {"box", "preview", "settings", "warp"}},
        {"sim", {"protocol", "link", "align", "preview", "warp"}},
        {"app",
            {"box", "files", "preview", "interchange", "align", "registers", "firmware", "mask", "settings",
                "warp", "widgets"}},
        {"cli",
            {"box", "files", "preview", "interchange", "align", "registers", "firmware", "mask", "settings",
                "warp"}},
    };
    for (const auto& sub : kSubsystems)
        allowed[sub] = {"widgets"};
    // Window settings are what the warp and mask pages show beside their own.
    allowed["warp"].insert("settings");
    allowed["mask"].insert("settings");
    for (auto& [folder, targets] : allowed) {
        if (folder == "protocol" || folder == "link" || folder == "session" || folder == "sim")
            continue;
        targets.insert(core.begin(), core.end());
        if (folder == "box" || folder == "files")
            targets.insert(kSubsystems.begin(), kSubsystems.end());
        if (folder == "files")
            targets.insert("widgets");
    }
    return allowed;
}

// Includes that run back up or across, left from the time the session held every chain.
const std::set<std::pair<std::string, std::string>> kStillToRemove{
    {"session", "box"},
    {"session", "files"},
    {"session", "firmware"},
    {"session", "mask"},
    {"session", "preview"},
    {"session", "registers"},
    {"session", "settings"},
    {"session", "warp"},
    // The pages of the settings use the box-wide commands; the caches the status poll's frame.
    {"settings", "box"},
};

Edges ActualEdges()
{
    const QRegularExpression include(
        QStringLiteral(R"(^\s*#\s*include\s*"([^/"]+)/)"), QRegularExpression::MultilineOption);
    const QDir root(QStringLiteral(TRIVEL_SOURCE_DIR));
    Edges edges;
    for (const QString& folder : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (folder.startsWith(QStringLiteral("build")) || folder == QStringLiteral("tests")
            || folder == QStringLiteral("bench") || folder == QStringLiteral("scripts")
            || folder == QStringLiteral("docs") || folder == QStringLiteral("packaging"))
            continue;
        QDirIterator it(root.filePath(folder), {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
            QDirIterator::Subdirectories);
        bool hasSources = false;
        while (it.hasNext()) {
            QFile f(it.next());
            if (!f.open(QIODevice::ReadOnly))
                continue;
            hasSources = true;
            const QString text = QString::fromUtf8(f.readAll());
            for (auto m = include.globalMatch(text); m.hasNext();) {
                const QString target = m.next().captured(1);
                if (target != folder && root.exists(target))
                    edges[folder.toStdString()].insert(target.toStdString());
            }
        }
        if (hasSources)
            edges[folder.toStdString()];
    }
    return edges;
}

TEST(Layering, EveryFolderIncludesOnlyTheFloorsBelowIt)
{
    const Edges allowed = AllowedEdges();
    const Edges actual = ActualEdges();
    ASSERT_GT(actual.size(), 12u);
    for (const auto& [folder, targets] : actual) {
        const auto row = allowed.find(folder);
        if (row == allowed.end()) {
            ADD_FAILURE() << folder << "/ has no row in the table of floors";
            continue;
        }
        for (const auto& target : targets)
            EXPECT_TRUE(row->second.count(target) || kStillToRemove.count({folder, target}))
                << folder << "/ includes " << target << "/";
    }
}

TEST(Layering, EdgesStillToRemoveExistSoTheListOnlyShrinks)
{
    const Edges actual = ActualEdges();
    for (const auto& [from, to] : kStillToRemove) {
        const auto row = actual.find(from);
        EXPECT_TRUE(row != actual.end() && row->second.count(to))
            << from << "/ no longer includes " << to << "/: take the edge off the list";
    }
}

TEST(Layering, LinkIncludesNothingAboveItsFloor)
{
    const Edges actual = ActualEdges();
    ASSERT_TRUE(actual.count("link"));
    for (const auto& target : actual.at("link"))
        EXPECT_EQ(target, "protocol") << "link/ includes " << target << "/";
}

} // namespace
