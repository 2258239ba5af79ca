#include "volumes/volumereader.h"

#include <QSignalSpy>
#include <QStringList>
#include <gtest/gtest.h>

#include <future>

using volumes::VolumeReader;

namespace {

// A reading that publishes `name` into `published`, once `gate` is open.
VolumeReader::Reading reading(QStringList &published, const QString &name,
                              std::shared_future<void> gate = std::shared_future<void>())
{
    return [&published, name, gate]() -> VolumeReader::Publish {
        if (gate.valid()) {
            gate.wait();
        }
        return [&published, name] { published.append(name); };
    };
}

} // namespace

// Of the requests made while a reading runs only the latest runs after it, and
// the one overtaken is not published; a question asked beside them is answered.
TEST(VolumeReader, AReadingOvertakenByANewerRequestIsDroppedNeverPublished)
{
    VolumeReader reader;
    QSignalSpy settled(&reader, &VolumeReader::settled);
    QStringList published;
    std::promise<void> open;
    reader.request(reading(published, QStringLiteral("first"), open.get_future().share()));
    reader.request(reading(published, QStringLiteral("second")));
    reader.request(reading(published, QStringLiteral("third")));
    reader.ask(reading(published, QStringLiteral("asked")));
    EXPECT_TRUE(reader.isBusy());
    open.set_value();
    ASSERT_TRUE(settled.wait(5000));
    EXPECT_FALSE(reader.isBusy());
    published.sort(); // the question and the last request run on threads of their own
    EXPECT_EQ(published.join(u' ').toStdString(), "asked third");
}
