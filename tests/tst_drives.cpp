// SPDX-License-Identifier: GPL-3.0-or-later
// The drive list's sources: the mount table read as bytes without asking any
// volume, and the bounded question to the one volume the user chooses, also
// when that volume never answers.

#include <future>
#include <sys/types.h>

#include <QtTest>

#include "drives.h"
#include "fatvolume.h"

using namespace talvence;

Q_DECLARE_METATYPE(std::vector<talvence::Drive>)

class tst_drives : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void mount_table_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<std::vector<Drive>>("expected");
        const QByteArray root = "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n";
        QTest::newRow("pseudo file systems left out")
            << root + "22 27 0:21 / /proc rw - proc proc rw\n"
                      "31 23 0:28 / /sys/fs/cgroup rw - tmpfs tmpfs rw\n"
                      "50 27 0:40 / /run/user/1000 rw - tmpfs tmpfs rw\n"
            << std::vector<Drive>{{"/", "Root"}};
        QTest::newRow("blanks and stray bytes in a mount point")
            << root + "60 27 8:17 / /media/USB\\040Stick\xff rw,nosuid shared:5 - vfat "
                      "/dev/sdb1 rw\n"
            << std::vector<Drive>{{"/", "Root"}, {"/media/USB Stick\xff", "STICK"}};
        QTest::newRow("the later mount on a folder covers the earlier")
            << root + "70 27 8:1 / /mnt rw - ext4 /dev/sda1 rw\n"
                      "71 70 8:2 / /mnt rw - ext4 /dev/sda2 rw\n"
            << std::vector<Drive>{{"/", "Root"}, {"/mnt", "Zwei"}};
        QTest::newRow("cut-off and odd lines") << root + "61 27 8:17 / /media/x rw\n"
                                                         "garbage\n62 27"
                                               << std::vector<Drive>{{"/", "Root"}};
    }
    void mount_table()
    {
        QFETCH(QByteArray, table);
        QFETCH(std::vector<Drive>, expected);
        const auto labels = [](const QByteArray &device) {
            static const QHash<QByteArray, QString> known = {
                {"/dev/vda", "Root"}, {"/dev/sdb1", "STICK"}, {"/dev/sda2", "Zwei"}};
            return known.value(device);
        };
        QCOMPARE(drives_from_mount_table(table, labels), expected);
    }

    void probe_of_a_folder_and_of_nothing()
    {
        DriveProbe probe;
        std::optional<bool> answer;
        probe.start("/", [&](bool ready) { answer = ready; });
        QTRY_VERIFY(answer.has_value());
        QVERIFY(*answer);
        answer.reset();
        probe.start("/no/such/mount/point", [&](bool ready) { answer = ready; });
        QTRY_VERIFY(answer.has_value());
        QVERIFY(!*answer);
    }

    // A FUSE volume whose process is stopped answers nothing: the drive list
    // still comes at once, and the probe gives up within its patience.
    void volume_that_does_not_answer()
    {
        FatVolume volume;
        if (const QByteArray why = volume.mount(); !why.isEmpty())
            QSKIP(why.constData());
        const QByteArray raw = volume.path();
        const auto mounted = [&] {
            for (const Drive &d : mounted_drives())
                if (d.mount_point == raw)
                    return true;
            return false;
        };
        QVERIFY(mounted());
        QVERIFY(volume.stop());

        // Asked on a thread of its own, so that a hang fails the test instead of stopping it.
        auto listing = std::async(std::launch::async, [] { return mounted_drives(); });
        QVERIFY2(listing.wait_for(std::chrono::seconds(5)) == std::future_status::ready,
                 "reading the drive list waited on the stopped volume");
        QVERIFY(mounted());

        DriveProbe probe;
        std::optional<bool> answer;
        probe.start(raw, [&](bool ready) { answer = ready; });
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 2 * DriveProbe::patience_ms);
        QVERIFY(!*answer);
    }
};

QTEST_GUILESS_MAIN(tst_drives)
#include "tst_drives.moc"
