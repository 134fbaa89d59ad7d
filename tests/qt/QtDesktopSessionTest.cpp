#include "QtDesktopSession.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTimer>

#include <memory>
#include <vector>

#include "QtTestSupport.h"

namespace tarnleaf {
namespace {

using namespace tarnleaf::testing;

TEST(QtDesktopSessionTest, OneLiveCopyHoldsTheLockUntilItEnds) {
    TestApplication();
    QTemporaryDir folder;
    const QString lock = folder.filePath(QStringLiteral("tarnleaf.lock"));
    auto first = std::make_unique<QtDesktopSession>(lock);
    EXPECT_FALSE(first->AnotherInstanceRunning());
    EXPECT_FALSE(first->AnotherInstanceRunning()) << "asking again is not a second copy";
    EXPECT_TRUE(QtDesktopSession(lock).AnotherInstanceRunning());
    first.reset();
    EXPECT_FALSE(QtDesktopSession(lock).AnotherInstanceRunning());
}

TEST(QtDesktopSessionTest, QuitEndsTheLoopWithTheFirstCodeEvenBeforeItRuns) {
    TestApplication();
    std::vector<QUrl> opened;
    QtDesktopSession early({}, [&](const QUrl& url) { opened.push_back(url); });
    early.OpenDocument("/etc/tarnleaf/Tarnleaf.ini");
    EXPECT_EQ(opened, (std::vector{QUrl(QStringLiteral("file:///etc/tarnleaf/Tarnleaf.ini"))}));
    early.Quit(3);
    early.Quit(4);
    EXPECT_EQ(early.Run(), 3);
    ClearPendingQuit();

    QtDesktopSession running;
    QObject guard;
    QTimer::singleShot(0, &guard, [&] { running.Quit(5); });
    QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(99); });  // never hang
    EXPECT_EQ(running.Run(), 5);
}

}  // namespace
}  // namespace tarnleaf
