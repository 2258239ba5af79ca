#pragma once

#include "Moraine/update/hostfacts.h"
#include "Moraine/update/nimblite.h"
#include "Moraine/update/nimbprogresswindow.h"
#include "Moraine/update/rsakey.h"
#include "platform/preferences.h"
#include "recordingkit.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

// An RSA key made for this test process (nothing private is ever in the repository),
// in every PEM form; the imported halves are empty when the key is too short to import.
struct TestKey
{
    QString privatePkcs8Pem; // "PRIVATE KEY"
    QString privatePkcs1Pem; // "RSA PRIVATE KEY"
    QString publicPkcs1Pem;  // "RSA PUBLIC KEY"
    QString publicSpkiPem;   // "PUBLIC KEY"
    std::optional<moraine::RsaKey> privateKey;
    std::optional<moraine::RsaKey> publicKey;
};
TestKey makeKey(unsigned bits);

/// The publisher's key (3072 bits, like the shipped one).
const TestKey &publisherKey();
const TestKey &otherKey();

/// A self-signed certificate for 127.0.0.1 (DER) made with otherKey().
QByteArray loopbackCertificateDer();

QByteArray fixture(const QString &name);

/// Signs a page whose signature meta (and any other place) holds the
/// placeholder: every placeholder becomes the signature.
QByteArray signPage(const QByteArray &pageWithPlaceholder, const TestKey &key = publisherKey());

/// The unsigned general page fixture with `groups` in its body.
QByteArray pageTemplate(const QByteArray &groups, const QByteArray &format = "10",
                        const QByteArray &extraHead = QByteArray());

QByteArray groupElement(const QByteArray &id, const QByteArray &build, const QByteArray &minOS,
                        const QByteArray &version, const QByteArray &archives, const QByteArray &extraAttributes = {});

moraine::HostFacts facts(const QString &build = QStringLiteral("100"), const QString &kernel = QStringLiteral("6.1.0-18-amd64"));

void clearUpdatePreferences();

/// The number of completions of `check` so far, counted from now on.
std::shared_ptr<int> countCompletions(moraine::NIMBLite &check);

// Each update test starts and ends without update preferences; its services trust the
// publisher's key, have a progress window and a recording desktop, and no page address.
class UpdateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        clearUpdatePreferences();
        services.setPublicKey(publisherKey().publicKey);
        services.setProgressWindow(progress.progressWindow());
    }
    void TearDown() override { clearUpdatePreferences(); }

    /// A fresh check of this build on this kernel, started by `start` and run to its completion.
    std::unique_ptr<moraine::NIMBLite> ran(const std::function<void(moraine::NIMBLite &)> &start,
                                           const QString &build = QStringLiteral("100"),
                                           const QString &kernel = QStringLiteral("6.1.0-18-amd64"))
    {
        auto check = std::make_unique<moraine::NIMBLite>(services, facts(build, kernel));
        const auto completions = countCompletions(*check);
        start(*check);
        EXPECT_TRUE(QTest::qWaitFor([&] { return *completions > 0; }, 20000)) << check->log().join('\n').toStdString();
        QTest::qWait(100); // a second completion, which must not come, would arrive meanwhile
        EXPECT_EQ(*completions, 1) << "a check ends with exactly one completion";
        return check;
    }

    static QVariant pref(const QString &key) { return platform::preferences()->value(key); }
    static void setPref(const QString &key, const QVariant &value) { platform::preferences()->setValue(key, value); }

    RecordingKit kit;
    moraine::NIMBProgressPresenter progress;
    moraine::UpdateServices services{&kit.services};
};

/// Whether some log line equals `line` (or, with `prefix`, starts with it).
::testing::AssertionResult logHas(const moraine::NIMBLite &check, const QString &line, bool prefix = false);
