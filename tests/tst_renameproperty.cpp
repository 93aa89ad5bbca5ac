// SPDX-License-Identifier: GPL-3.0-or-later
// Both renames on many generated folders: whatever the names, afterwards the
// folder holds the same contents, entries that are not ordinary files are
// untouched, and nothing beside the folder changed.

#include <QRandomGenerator>
#include <QtTest>

#include "folder.h"
#include "renamecase.h"
#include "renamestandard.h"
#include "testfolder.h"

using namespace talvence;

namespace {

QByteArray random_name(QRandomGenerator &rng)
{
    static const QByteArrayList pieces = {
        "a", "B", "x", "Z", "1", "2",      "10",   " ",    ".",        ".txt", ".JPG", "ä", "Ü",
        "ß", "i", "I", "ı", "İ", "_zyx_ ", "\xff", "\xc3", "\xe2\x82", "😀",    "-",    "ǅ"};
    QByteArray name;
    const int parts = 1 + int(rng.bounded(6));
    for (int i = 0; i < parts; ++i)
        name += pieces[rng.bounded(pieces.size())];
    if (rng.bounded(10) == 0)
        name += QByteArray(int(200 + rng.bounded(55)), 'L'); // near the length limit
    if (rng.bounded(8) == 0) {                               // a name the renames will aim at
        static const QByteArrayList targets = {"1.txt", "2.JPG", "_zyx_ 1.txt", "A.TXT", "1"};
        name = targets[rng.bounded(targets.size())];
    }
    return name.left(255);
}

// Everything that is not an ordinary file, as it stood.
std::map<QByteArray, QByteArray> not_ordinary(const TestFolder &f)
{
    auto all = f.state();
    const auto files = list_ordinary_files(f.path());
    for (qsizetype i = 0; i < files->size(); ++i)
        all.erase(files->at(i));
    return all;
}

} // namespace

class tst_renameproperty : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nothing_is_ever_lost()
    {
        const quint32 seed = qEnvironmentVariableIsSet("TALVENCE_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("TALVENCE_SEED"))
                                 : QRandomGenerator::global()->generate();
        qInfo("seed %u (set TALVENCE_SEED to repeat)", seed);
        QRandomGenerator rng(seed);
        for (int round = 0; round < 150; ++round) {
            TestFolder f;
            const int entries = int(rng.bounded(14));
            for (int i = 0; i < entries; ++i) {
                const int kind = int(rng.bounded(10));
                QByteArray name = random_name(rng);
                if (kind == 2)
                    name = '.' + name.left(254); // hidden
                struct stat st;
                if (name == "." || name == ".." || ::lstat(f.at(name).constData(), &st) == 0)
                    continue;
                switch (kind) {
                case 0:
                    f.folder(name);
                    break;
                case 1:
                    f.link(name, "nowhere");
                    break;
                default:
                    f.file(name,
                           "content " + QByteArray::number(round) + '/' + QByteArray::number(i));
                }
            }
            const auto before = f.state();
            const auto fixed = not_ordinary(f);
            switch (rng.bounded(3)) {
            case 0: {
                StandardRenameIo io;
                const QString prefix =
                    rng.bounded(3) == 0 ? QString() : QString::fromUtf8(random_name(rng));
                io.prefix = [&] { return prefix; };
                io.prefix_too_long = [] {};
                io.reread = [](const auto &) {};
                rename_standard(f.path(), io);
                break;
            }
            case 1:
                rename_case(f.path(), TargetCase::Lower, [](const auto &) {});
                break;
            default:
                rename_case(f.path(), TargetCase::Upper, [](const auto &) {});
                break;
            }
            QVERIFY2(f.nothing_lost(before), qPrintable(QStringLiteral("round %1").arg(round)));
            for (const auto &[name, content] : fixed)
                QCOMPARE(f.state().at(name), content);
        }
    }
};

QTEST_GUILESS_MAIN(tst_renameproperty)
#include "tst_renameproperty.moc"
