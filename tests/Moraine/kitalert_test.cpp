#include "Moraine/kitalert.h"
#include "Moraine/systemreport.h"
#include "recordingalertpresenter.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

using moraine::makeKitAlert;
using moraine::versionString;

// The informative text names the version from its parts and the system as
// the feedback report does; alerts from any thread queue on the main thread.
TEST(KitAlert, InformativeTextNamesVersionAndSystemAndAlertsQueueOnTheMainThreadInOrder)
{
    EXPECT_EQ(versionString(QStringLiteral("2.0.1"), QStringLiteral("57")), QStringLiteral("2.0.1 (57)"));
    EXPECT_EQ(versionString(QStringLiteral("2.0.1"), QString()), QStringLiteral("2.0.1"));
    EXPECT_FALSE(versionString(QString(), QString()).has_value());
    const auto withBuildOnly = makeKitAlert(QStringLiteral("T"), QStringLiteral("m"), QStringLiteral("d"), true,
                                            versionString(QString(), QStringLiteral("57")), QStringLiteral("X"));
    EXPECT_EQ(withBuildOnly.informativeText, QStringLiteral("m\nd\n\nVersion: 57\nX"));
    EXPECT_TRUE(withBuildOnly.beep);

    RecordingAlertPresenter recorder;
    moraine::KitAlerts kitAlerts(recorder);
    QThread *worker = QThread::create([&kitAlerts] {
        kitAlerts.showAlert(QStringLiteral("first"), QStringLiteral("a"), QString(), false);
        kitAlerts.showAlert(QStringLiteral("second"), QStringLiteral("b"), QString(), false);
    });
    worker->start();
    worker->wait();
    delete worker;
    EXPECT_TRUE(recorder.alerts.isEmpty()) << "alert shown synchronously on the caller's thread";
    QCoreApplication::processEvents();
    ASSERT_EQ(recorder.alerts.size(), 2);
    EXPECT_EQ(recorder.alerts[0].title, QStringLiteral("first"));
    EXPECT_EQ(recorder.alerts[1].title, QStringLiteral("second"));
    EXPECT_TRUE(recorder.alerts[1].informativeText.contains(QStringLiteral("\n\nVersion: ")));
    // The system is named as in the feedback report's second line.
    const moraine::SystemReport report =
        moraine::buildSystemReport(moraine::KMSystemInfo(platform::systemFacts()), std::nullopt);
    const QString systemItem = report.line2.section(QStringLiteral(", "), 0, 0);
    EXPECT_TRUE(recorder.alerts[1].informativeText.endsWith(QLatin1Char('\n') + systemItem))
        << recorder.alerts[1].informativeText.toStdString();
}
