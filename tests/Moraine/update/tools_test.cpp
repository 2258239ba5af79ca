#include "loopbackserver.h"
#include "updatetestsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct ToolRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    [[nodiscard]] QStringList lines() const { return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

} // namespace

// The maker-side tools, run as the publisher would run them.
class PageTools : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        privateKey = write(QStringLiteral("private.pem"), publisherKey().privatePkcs1Pem.toLatin1());
        publicKey = write(QStringLiteral("public.pem"), publisherKey().publicPkcs1Pem.toLatin1());
        page = write(QStringLiteral("page.xhtml"), fixture(QStringLiteral("downloads-page.xhtml")));
    }

    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    // Runs a tool; tools that talk to the network need the event loop of
    // this process running for the loopback server, so wait by polling.
    ToolRun run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForStarted());
        EXPECT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000));
        return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    }

    ToolRun sign(const QString &input, const QString &output)
    {
        return run(QStringLiteral(SIGN_UPDATE_PAGE_TOOL), {input, privateKey, QStringLiteral("-o"), output});
    }

    ToolRun check(const QStringList &arguments)
    {
        return run(QStringLiteral(CHECK_UPDATE_PAGE_TOOL), arguments);
    }

    QTemporaryDir dir;
    QString privateKey;
    QString publicKey;
    QString page;
};

TEST_F(PageTools, SignedPagePassesTheCheckOfAnOlderBuild)
{
    const QString signedPage = dir.filePath(QStringLiteral("signed.xhtml"));
    const ToolRun signing = sign(page, signedPage);
    ASSERT_EQ(signing.exitCode, 0) << signing.err.toStdString();

    const ToolRun result = check({signedPage, QStringLiteral("--key"), publicKey, QStringLiteral("--build"),
                                  QStringLiteral("100"), QStringLiteral("--os"), QStringLiteral("6.1")});
    EXPECT_EQ(result.exitCode, 0) << result.out.toStdString();
    ASSERT_FALSE(result.lines().isEmpty());
    EXPECT_TRUE(result.lines().last().startsWith(QStringLiteral("Scan complete. Status: updateAvailable")));
    EXPECT_TRUE(result.lines().contains(QStringLiteral("build: 100; macOS: 6.1; processor: x86; com.brindlewick.vellory2"))
                || result.lines().contains(QStringLiteral("build: 100; macOS: 6.1; processor: ass; com.brindlewick.vellory2")));

    // The check never writes the application's preferences.
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("config"))).exists());
}

TEST_F(PageTools, TheCheckFailsForTamperedPagesForeignKeysAndTheBuiltInKey)
{
    const QString signedPage = dir.filePath(QStringLiteral("signed.xhtml"));
    ASSERT_EQ(sign(page, signedPage).exitCode, 0);
    QFile file(signedPage);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray tampered = file.readAll();
    tampered.replace("minOS=\"99.0\"", "minOS=\"5.0\"");
    const QString tamperedPage = write(QStringLiteral("tampered.xhtml"), tampered);

    const ToolRun result = check({tamperedPage, QStringLiteral("--key"), publicKey});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.out.contains("Error: Failed to validate SecKeyVerifySignature: ")) << result.out.toStdString();

    const QString foreignKey = write(QStringLiteral("foreign.pem"), otherKey().publicSpkiPem.toLatin1());
    EXPECT_EQ(check({signedPage, QStringLiteral("--key"), foreignKey}).exitCode, 1);
    // Our test key is not the maker's key built into the program.
    EXPECT_EQ(check({signedPage}).exitCode, 1);
}

TEST_F(PageTools, InspectionReportsProblemsOfTheUnsignedPage)
{
    const ToolRun result = check({page, QStringLiteral("--key"), publicKey, QStringLiteral("--inspect")});
    EXPECT_EQ(result.exitCode, 1) << "the placeholder is no signature";
    EXPECT_TRUE(result.lines().contains(QStringLiteral("Title: Vellory 2 \u2014 downloads")));
    EXPECT_TRUE(result.out.contains("\nError: Failed to validate SecKeyVerifySignature: ")) << "the placeholder decodes but is no signature";
    EXPECT_FALSE(result.out.contains("Scan complete"));
    EXPECT_EQ(result.out.count("\nUpdate: "), 5);
}

TEST_F(PageTools, SigningRefusesPagesWithoutExactlyOnePlaceholderInTheSignatureMeta)
{
    QByteArray twice = fixture(QStringLiteral("downloads-page.xhtml"));
    twice.replace("<p>Keep", "<p>NIMBSignaturePlaceHolder</p><p>Keep");
    QByteArray none = fixture(QStringLiteral("downloads-page.xhtml"));
    none.replace("NIMBSignaturePlaceHolder", "");
    QByteArray elsewhere = fixture(QStringLiteral("downloads-page.xhtml"));
    elsewhere.replace("content=\"NIMBSignaturePlaceHolder\"", "content=\"\"");
    elsewhere.replace("<p>Keep", "<p>NIMBSignaturePlaceHolder</p><p>Keep");
    QByteArray broken = fixture(QStringLiteral("unclosed-br.xhtml"));
    // A second signature meta after the placeholder's: the program would read that one.
    QByteArray twoMetas = fixture(QStringLiteral("downloads-page.xhtml"));
    twoMetas.replace("</head>", "<meta name=\"NIMBSignature\" content=\"\"/></head>");

    for (const QByteArray &bytes : {twice, none, elsewhere, broken, twoMetas}) {
        const QString input = write(QStringLiteral("refused.xhtml"), bytes);
        const QString output = dir.filePath(QStringLiteral("refused-signed.xhtml"));
        const ToolRun result = sign(input, output);
        EXPECT_EQ(result.exitCode, 1) << result.err.toStdString();
        EXPECT_FALSE(result.err.isEmpty());
        EXPECT_FALSE(QFile::exists(output));
    }
    const QString twoMetasPage = write(QStringLiteral("two-metas.xhtml"), twoMetas);
    EXPECT_TRUE(sign(twoMetasPage, dir.filePath(QStringLiteral("x.xhtml")))
                    .err.contains("the page has 2 NIMBSignature metas; it must have exactly one"));
    // A public key cannot sign; a short key can do neither.
    const ToolRun withPublic = run(QStringLiteral(SIGN_UPDATE_PAGE_TOOL), {page, publicKey});
    EXPECT_EQ(withPublic.exitCode, 1);
    const TestKeyPems weak = makeKeyPems(1024);
    const ToolRun withWeak =
        run(QStringLiteral(SIGN_UPDATE_PAGE_TOOL), {page, write(QStringLiteral("weak.pem"), weak.privatePkcs1Pem.toLatin1())});
    EXPECT_EQ(withWeak.exitCode, 1);
    EXPECT_TRUE(withWeak.err.contains("at least 2048")) << withWeak.err.toStdString();
    const ToolRun checkWeak =
        check({page, QStringLiteral("--key"), write(QStringLiteral("weak-public.pem"), weak.publicPkcs1Pem.toLatin1())});
    EXPECT_EQ(checkWeak.exitCode, 2);
    EXPECT_TRUE(checkWeak.err.contains("at least 2048")) << checkWeak.err.toStdString();
}

TEST_F(PageTools, TheCheckFetchesAnAddressWithTheProgramsRequestCode)
{
    LoopbackServer server;
    ASSERT_TRUE(server.isListening());
    server.page(QStringLiteral("/downloads.html"), signPage(fixture(QStringLiteral("downloads-page.xhtml"))));
    const ToolRun ok = check({server.url(QStringLiteral("/downloads.html")), QStringLiteral("--key"), publicKey,
                              QStringLiteral("--build"), QStringLiteral("120")});
    EXPECT_EQ(ok.exitCode, 0) << ok.out.toStdString();
    EXPECT_EQ(ok.lines().first(), QStringLiteral("--- validateOnlinePage(inURLString:)"));
    EXPECT_TRUE(ok.lines().last().startsWith(QStringLiteral("Scan complete. Status: ")));

    const ToolRun missing = check({server.url(QStringLiteral("/missing.html")), QStringLiteral("--key"), publicKey});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.out.contains("Error: Error: Server said 404 Not Found"));
}
