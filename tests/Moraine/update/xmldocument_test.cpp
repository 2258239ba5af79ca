#include "updatetestsupport.h"

#include "Moraine/update/updategroup.h"
#include "Moraine/update/xmldocument.h"

#include <gtest/gtest.h>

using moraine::XmlDocument;
using moraine::XmlNode;

namespace {

std::optional<XmlDocument> parse(const QByteArray &bytes, QString *error = nullptr,
                                 const moraine::XmlLimits &limits = {})
{
    const auto document = XmlDocument::parse(bytes, limits);
    if (!document.ok() && error) {
        *error = document.error().domain;
    }
    return document.toOptional();
}

QByteArray nested(int depth)
{
    return "<html>" + QByteArray("<div>").repeated(depth) + QByteArray("</div>").repeated(depth) + "</html>";
}

} // namespace

// Attributes are counted before the reader (which compares each with every
// earlier one) sees them; quoted '=' and '>' do not count. Size: UpdatePage.
TEST(XmlHardening, RefusesInternalSubsetsAndBoundsDepthNodesAndAttributes)
{
    QByteArray many = "<a";
    for (int i = 0; i < 60000; ++i) {
        many += " a" + QByteArray::number(i) + "=\"\"";
    }
    QByteArray fine = "<a><!-- x=1 y=2 --><b";
    for (int i = 0; i < 126; ++i) {
        fine += " b" + QByteArray::number(i) + "=\"\"";
    }
    moraine::XmlLimits fewNodes;
    fewNodes.maxNodes = 50;
    const std::tuple<const char *, QByteArray, moraine::XmlLimits, const char *> rows[] = {
        {"entities", fixture(QStringLiteral("billion-laughs.xml")), {}, "internal subset"},
        {"external entity", fixture(QStringLiteral("external-entity.xml")), {}, "internal subset"},
        {"empty internal subset", "<!DOCTYPE html []><html/>", {}, "internal subset"},
        {"256 levels with the root", nested(255), {}, nullptr},
        {"257 levels", nested(256), {}, "nested deeper"},
        {"60 nodes", "<a>" + QByteArray("<b/>").repeated(60) + "</a>", fewNodes, "nodes"},
        {"60000 attributes", many + "/>", {}, "more than 128 attributes"},
        {"128 attributes", fine + " u='e=f' t='a=b>c=d'/></a>", {}, nullptr},
    };
    for (const auto &[what, bytes, limits, error] : rows) {
        QString found;
        EXPECT_EQ(parse(bytes, &found, limits).has_value(), !error) << what << ": " << found.toStdString();
        EXPECT_TRUE(!error || found.contains(QLatin1String(error))) << what << ": " << found.toStdString();
    }
}

TEST(XmlHardening, TruncatedOrMalformedInputIsAnErrorNeverACrash)
{
    const QByteArray page = fixture(QStringLiteral("downloads-page.xhtml"));
    const qsizetype rootEnd = page.lastIndexOf("</html>");
    for (qsizetype length = 0; length < rootEnd; length += 7) {
        EXPECT_FALSE(parse(page.left(length)).has_value()) << length;
    }
    EXPECT_FALSE(parse(fixture(QStringLiteral("unclosed-br.xhtml"))).has_value());
}

TEST(XmlTree, KeepsTextAttributesInOrderAndClassTokensMatchOnlyWholeWords)
{
    const auto document = parse("<html xmlns=\"http://www.w3.org/1999/xhtml\"><p z=\"1\" a=\"2\">a &amp; "
                                "<![CDATA[b]]>&#x263A;<i>c</i></p></html>");
    ASSERT_TRUE(document.has_value());
    const XmlNode &p = document->root()->children().at(0);
    EXPECT_EQ(p.textContent(), QStringLiteral("a & b\u263Ac"));
    ASSERT_EQ(p.attributes().size(), 2);
    EXPECT_EQ(p.attributes().at(0).name, QStringLiteral("z"));
    EXPECT_EQ(p.attributes().at(1).name, QStringLiteral("a"));
    // Adjacent text pieces form one node before the element.
    EXPECT_EQ(p.children().size(), 2u);

    XmlNode element = XmlNode::element(QStringLiteral("div"));
    element.setAttribute(QStringLiteral("class"), QStringLiteral("  row NIMBGroup  hidden "));
    EXPECT_TRUE(moraine::isUpdateGroup(element));
    element.setAttribute(QStringLiteral("class"), QStringLiteral("NIMBGroup\thidden"));
    EXPECT_FALSE(moraine::isUpdateGroup(element)) << "only the space character separates tokens";
}

TEST(UpdateGroupReading, ReadsAttributesVersionAndArchives)
{
    const auto document = parse(
        "<div class=\"NIMBGroup hidden\" id=\"g\" build=\"12x\" minOS=\"10.15\" maxOS=\"abc\">"
        "<nimbgroupversion>1.0</nimbgroupversion><p><nimbgroupversion>1.1</nimbgroupversion></p>"
        "<a class=\"NIMBArchive x86 ub\" href=\"   \"><span class=\"NIMBArchive ass\" href=\"inner\"/></a>"
        "<a class=\"NIMBArchive ass\" href=\"\t https://x/y \t\"/><a class=\"NIMBArchive\"/></div>");
    ASSERT_TRUE(document.has_value());
    const moraine::UpdateGroup group = moraine::readUpdateGroup(*document->root());
    EXPECT_EQ(group.date, QStringLiteral("?"));
    EXPECT_EQ(group.build, -1);
    EXPECT_FALSE(group.maxOS.has_value());
    EXPECT_EQ(group.displayVersion, QStringLiteral("1.1")) << "the last version element counts";
    ASSERT_EQ(group.archives.size(), 3) << "an archive's descendants are not archives";
    EXPECT_EQ(group.archives[1].url, QStringLiteral("https://x/y"));
}

// Numbers and dates have one strict form (system versions compared: UpdatePage's rows).
TEST(UpdatePageNumbers, FollowTheirStrictFormsAndSystemVersionsCompareAsVersions)
{
    EXPECT_EQ(moraine::parseDecimalInteger(QStringLiteral("+7")), 7);
    for (const char *bad : {"", "10.0", " 10", "1e3", "99999999999", "0x10", "10\n", "120\n"}) {
        EXPECT_FALSE(moraine::parseDecimalInteger(QString::fromLatin1(bad)).has_value()) << bad;
    }
    EXPECT_TRUE(moraine::isValidBasicDate(QStringLiteral("20240229")));
    for (const char *bad : {"20230229", "2024-02-01", "2024021", "?", "20241301", "20240229\n"}) {
        EXPECT_FALSE(moraine::isValidBasicDate(QString::fromLatin1(bad))) << bad;
    }
    using moraine::OsVersion;
    EXPECT_EQ(*OsVersion::parse(QStringLiteral("13")), (OsVersion{13, 0}));
    EXPECT_EQ(moraine::fullKernelVersion(QStringLiteral("6.5")), QStringLiteral("6.5.0"));
    for (const char *bad : {"", "-1", "-1.0", "1e1", "13.0.1", "13.", ".5", "abc", "13\n", "5.0\n"}) {
        EXPECT_FALSE(OsVersion::parse(QString::fromLatin1(bad)).has_value()) << bad;
    }
    EXPECT_FALSE(OsVersion::fromKernelRelease(QStringLiteral("unknown")).has_value());
}
