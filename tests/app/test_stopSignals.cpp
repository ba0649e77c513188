#include "stopSignals.h"

#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

// Real signals to this process: without the handler each one would end the suite.
TEST(StopSignals, EachStopSignalClosesOnceNoQuestionIsOpenAndNoTransferRuns)
{
    int closes = 0;
    bool busy = true;
    {
        const TStopSignals stops([&] { return busy; }, [&] { ++closes; });
        ASSERT_TRUE(stops.Installed());

        // A transfer runs: the close waits for its end.
        std::raise(SIGTERM);
        ASSERT_TRUE(QTest::qWaitFor([&] { return stops.Pending(); }, 2000));
        QTest::qWait(300);
        EXPECT_EQ(closes, 0);
        busy = false;
        ASSERT_TRUE(QTest::qWaitFor([&] { return closes == 1; }, 2000));

        // A question is open, in its own nested loop with the retry timer running: the close
        // waits for its answer.
        QMessageBox box(QMessageBox::Question, QStringLiteral("Question"),
                        QStringLiteral("Settings have changed - do you want to save?"),
                        QMessageBox::Yes | QMessageBox::No);
        int closesUnderQuestion = -1;
        QTimer::singleShot(0, [] { std::raise(SIGHUP); });
        QTimer::singleShot(700, [&] {
            closesUnderQuestion = closes;
            box.done(QMessageBox::No);
        });
        box.exec();
        EXPECT_EQ(closesUnderQuestion, 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return closes == 2; }, 2000));

        // Nothing in the way: closed at once, and once for two signals that came together.
        std::raise(SIGINT);
        std::raise(SIGTERM);
        ASSERT_TRUE(QTest::qWaitFor([&] { return closes == 3; }, 2000));
        QTest::qWait(100);
        EXPECT_EQ(closes, 3);
        EXPECT_FALSE(stops.Pending());
    }

    // Gone, it leaves the signals as they were.
    struct sigaction now
    {
    };
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}
