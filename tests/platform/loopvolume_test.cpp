#include "loopvolume.h"

#include <QFile>
#include <gtest/gtest.h>

// The real-volume fixtures that the engine and volume tests stand on.
TEST(LoopVolume, MountsEachKindWritableAndUnmountsCleanly)
{
    for (auto kind : {LoopVolume::Kind::Ext4, LoopVolume::Kind::ExFat, LoopVolume::Kind::Fat}) {
        LoopVolume volume(kind, QStringLiteral("TESTVOL"));
        if (!volume.isMounted()) {
            GTEST_SKIP() << volume.skipReason().toStdString();
        }
        QFile file(volume.mountPath() + QStringLiteral("/probe.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write("hello"), 5);
        file.close();
        EXPECT_TRUE(volume.unmount());
        EXPECT_FALSE(QFile::exists(file.fileName())) << "file still visible after unmount";
        ASSERT_TRUE(volume.mount());
        EXPECT_TRUE(QFile::exists(file.fileName())) << "file lost across remount";
    }
}
