// SPDX-License-Identifier: GPL-3.0-or-later
// Which way a click on a file goes, by the last four characters of its name.

#include <QtTest>

#include "classify.h"

using namespace talvence;

Q_DECLARE_METATYPE(talvence::FileAction)

class tst_classify : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void classify_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<FileAction>("action");
        const auto image = FileAction::image_viewer, text = FileAction::text_viewer,
                   start = FileAction::start_program, ask = FileAction::ask_viewer;
        QTest::newRow("Photo.jpg") << QByteArray("Photo.jpg") << image;
        QTest::newRow("PHOTO.JPG") << QByteArray("PHOTO.JPG") << image;
        QTest::newRow("photo.Jpg") << QByteArray("photo.Jpg") << image;
        QTest::newRow("bmp, gif, pcx") << QByteArray("a.bmp") << image;
        QTest::newRow("gif") << QByteArray("anim.GIF") << image;
        QTest::newRow("pcx") << QByteArray("scan.pcx") << image;
        QTest::newRow("picture.jpeg: key JPEG") << QByteArray("picture.jpeg") << ask;
        QTest::newRow("page.html") << QByteArray("page.html") << ask;
        QTest::newRow("image.png") << QByteArray("image.png") << ask;
        QTest::newRow("readme: key ADME") << QByteArray("readme") << ask;
        QTest::newRow("a.b: shorter than four") << QByteArray("a.b") << ask;
        QTest::newRow("Makefile") << QByteArray("Makefile") << ask;
        QTest::newRow("empty") << QByteArray() << ask;
        QTest::newRow(".ini alone") << QByteArray(".ini") << text;
        QTest::newRow("letter.doc") << QByteArray("letter.doc") << text;
        QTest::newRow("driver.sys") << QByteArray("driver.sys") << text;
        QTest::newRow("setup.exe.txt") << QByteArray("setup.exe.txt") << text;
        QTest::newRow("every text key") << QByteArray("x.bat") << text;
        QTest::newRow("bak") << QByteArray("x.BAK") << text;
        QTest::newRow("log") << QByteArray("server.log") << text;
        QTest::newRow("setup.exe") << QByteArray("setup.exe") << start;
        QTest::newRow("edit.com") << QByteArray("edit.com") << start;
        QTest::newRow("name not UTF-8, listed tail") << QByteArray("Bild\xff\xfe.jpg") << image;
        QTest::newRow("stray byte inside the tail") << QByteArray("a\xff"
                                                                  "jpg")
                                                    << ask;
        QTest::newRow("umlaut counts as one character") << QByteArray("ä.txt") << text;
        QTest::newRow("blank before the key") << QByteArray("x .txt ") << ask;
    }
    void classify()
    {
        QFETCH(QByteArray, name);
        QFETCH(FileAction, action);
        QCOMPARE(classify_file_name(name), action);
    }

    // Upper-cased the same way in every language: Turkish rules would make
    // ".ini" into ".İNİ" and miss the text viewer.
    void turkish_locale()
    {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        const FileAction ini = classify_file_name("ayarlar.ini");
        const FileAction exe = classify_file_name("kurulum.exe");
        QLocale::setDefault(before);
        QCOMPARE(ini, FileAction::text_viewer);
        QCOMPARE(exe, FileAction::start_program);
    }
};

QTEST_GUILESS_MAIN(tst_classify)
#include "tst_classify.moc"
