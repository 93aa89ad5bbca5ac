// SPDX-License-Identifier: GPL-3.0-or-later
// Plain text of any size: lines found forward, backward, from any place and
// by the index alike, also where they straddle a read or a break; the
// encoding decided from the first bytes; the view on a multi-gigabyte file,
// on a file that shrinks while shown, and selection with the mouse.

#include <fcntl.h>
#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include "linefile.h"
#include "plaintext.h"
#include "plaintextview.h"

using namespace talvence;

namespace {

constexpr qint64 B = LineFile::break_bytes;
constexpr qint64 MiB = qint64(1) << 20;

bool write_file(const QByteArray &path, const QByteArray &bytes)
{
    QFile f(QFile::decodeName(path));
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The lines as the rules say, found the plain way: split at the line ends,
// then break each line at every multiple of B at least B into it.
std::vector<LineFile::Line> expected_lines(const QByteArray &bytes, int first, int u, bool be)
{
    auto unit = [&](qint64 i) {
        return u == 1 ? uchar(bytes[i])
               : be   ? uchar(bytes[i]) << 8 | uchar(bytes[i + 1])
                      : uchar(bytes[i + 1]) << 8 | uchar(bytes[i]);
    };
    std::vector<LineFile::Line> lines;
    const qint64 n = bytes.size();
    qint64 start = first;
    while (start < n) {
        qint64 end = start;
        while (end + u <= n && unit(end) != '\n' && unit(end) != '\r')
            end += u;
        qint64 next = end + u > n ? n : end + u;
        if (end + u <= n && unit(end) == '\r' && end + 2 * u <= n && unit(end + u) == '\n')
            next += u;
        if (end + u > n)
            end = next = n;
        qint64 piece = start;
        for (qint64 b = (start + B + B - 1) / B * B; b < end; b += B) {
            lines.push_back({piece, b, b, true});
            piece = b;
        }
        lines.push_back({piece, end, next, false});
        start = next;
    }
    return lines;
}

} // namespace

class tst_linefile : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QByteArray path(const char *name) { return QFile::encodeName(dir_.path()) + '/' + name; }

private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("lines");
        QTest::newRow("LF, CR LF and a lone CR") << QByteArray("a\nbb\r\nccc\rd") << 4;
        QTest::newRow("a line end at the end") << QByteArray("a\n\n") << 2;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("long lines broken, a shorter one across a boundary")
            << QByteArray(4000, 'w') + '\n' + QByteArray(10000, 'x') + "\r\n" +
                   QByteArray(4095, 'y') + '\r' + QByteArray(20000, 'z')
            << 1 + 3 + 1 + 5;
        QTest::newRow("CR LF split by the indexer's read")
            << QByteArray(MiB - 1, 'a').replace(1000, 1, "\n") + "\r\nb\n"
            << 1 + 255 + 1;
        QTest::newRow("a line across the indexer's read")
            << QByteArray(MiB - 10, '.') + "\n" + QByteArray(100, 'c') + "\n"
            << 256 + 1;
        QTest::newRow("a line end on a break's place")
            << QByteArray(B * 2, 'q') + '\n' + QByteArray(B - 1, 'r') + "\n"
            << 2 + 1;
        // Umlauts of two bytes from an odd place: every break cuts one.
        QTest::newRow("UTF-8 cut by breaks") << "x" + QByteArray("\xc3\xa4").repeated(5000) + "\n"
                                             << 3;
        QByteArray utf16("\xff\xfe", 2);
        for (int i = 0; i < 3000; ++i)
            utf16 += QByteArray(i % 700 == 699 ? "\r\0\n\0" : "\x3d\xd8\x00\xde", 4);
        QTest::newRow("UTF-16 LE, surrogates cut by breaks") << utf16 << -1;
    }
    void lines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, lines);
        QVERIFY(write_file(path("t"), bytes));
        const std::unique_ptr<LineFile> file = LineFile::open(path("t"));
        QVERIFY(file);
        const int u = file->format().encoding == PlainEncoding::utf16le ? 2 : 1;
        const auto want = expected_lines(bytes, file->first_line(), u, false);
        if (lines >= 0)
            QCOMPARE(qsizetype(want.size()), lines);

        // forward, with the text of all pieces making the whole
        QString whole;
        qint64 at = file->first_line();
        for (const LineFile::Line &w : want) {
            const LineFile::Line l = file->line_at(at);
            QCOMPARE(l.start, w.start);
            QCOMPARE(l.end, w.end);
            QCOMPARE(l.next, w.next);
            QCOMPARE(l.broken, w.broken);
            whole += file->text_of(l);
            if (!l.broken && l.next > l.end)
                whole += '\n';
            at = l.next;
        }
        QCOMPARE(file->line_at(at).next, at);
        QCOMPARE(whole, decode_plain_text(bytes));

        // backward, and from any place near a line's start or end
        at = file->last_line();
        for (auto w = want.rbegin(); w != want.rend(); ++w) {
            QCOMPARE(at, w->start);
            at = file->previous_line(at);
        }
        for (const LineFile::Line &w : want)
            for (qint64 x : {w.start, w.start + 1, w.end - 1, w.end, w.next - 1})
                if (x >= w.start && x < w.next)
                    QCOMPARE(file->line_containing(x), w.start);

        // the index
        file->start_index();
        QTRY_VERIFY(file->index_done());
        QCOMPARE(file->line_count(), qint64(want.size()));
        for (qsizetype n = 0; n < qsizetype(want.size()); ++n) {
            QCOMPARE(file->line_start(n), want[std::size_t(n)].start);
            QCOMPARE(file->line_number(want[std::size_t(n)].next - 1), n);
        }
    }

    // Decided from the first MiB and kept for the rest.
    void encoding_from_the_sample_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("encoding");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        const QByteArray filler = QByteArray(MiB, 'a') + '\n';
        QTest::newRow("UTF-8, a stray byte later")
            << "Grüße\n" + filler + "\xff Ende" << int(PlainEncoding::utf8) << u"Grüße"_qs
            << u"\ufffd Ende"_qs;
        QTest::newRow("Windows-1252, UTF-8 later")
            << "Gr\xfc\xdf\n" + filler + "Grüße" << int(PlainEncoding::windows_1252) << u"Grüß"_qs
            << u"GrÃ¼ÃŸe"_qs;
        QTest::newRow("a character cut by the sample's end")
            << QByteArray(MiB - 1, 'a') + "ä\n€" << int(PlainEncoding::utf8)
            << QString(MiB - 1, QLatin1Char('a')) + QChar(0xE4) << u"€"_qs;
        QTest::newRow("a byte not UTF-8 at the sample's end")
            << QByteArray(MiB - 1, 'a') + "\xe4\nb" << int(PlainEncoding::windows_1252)
            << QString(MiB - 1, QLatin1Char('a')) + QChar(0xE4) << u"b"_qs;
        QTest::newRow("UTF-16 BE by its mark, controls as dots")
            << QByteArray("\xfe\xff\0a\0\x1b\0\r\0\n\0\0", 12) << int(PlainEncoding::utf16be)
            << u"a·"_qs << u"·"_qs;
    }
    void encoding_from_the_sample()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, encoding);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QVERIFY(write_file(path("e"), bytes));
        const std::unique_ptr<LineFile> file = LineFile::open(path("e"));
        QCOMPARE(int(file->format().encoding), encoding);
        QString shown;
        for (qint64 at = file->first_line();;) {
            const LineFile::Line l = file->line_at(at);
            shown += file->text_of(l);
            if (!l.broken)
                break;
            at = l.next;
        }
        QCOMPARE(shown, first);
        QCOMPARE(file->text_of(file->line_at(file->last_line())), last);
    }

    // Three gigabytes, sparse: the first screen and, at once, the last.
    void view_of_a_huge_file()
    {
        const QByteArray huge = path("huge.log");
        QVERIFY(write_file(huge, "erste Zeile\n"));
        const qint64 size = qint64(3) << 30;
        const QByteArray tail = "\nvorletzte Zeile\nletzte Zeile\n";
        {
            const int fd = ::open(huge.constData(), O_WRONLY);
            QVERIFY(fd >= 0);
            QCOMPARE(::pwrite(fd, tail.constData(), tail.size(), size - tail.size()), tail.size());
            ::close(fd);
        }
        PlainTextView view;
        view.resize(400, 300);
        view.show();
        view.set_file(LineFile::open(huge));
        QCOMPARE(view.visible_lines().value(0), u"erste Zeile"_qs);
        QVERIFY(view.visible_lines().value(1).startsWith(u"···"_qs));
        QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(view.visible_lines().last(), u"letzte Zeile"_qs);
        QCOMPARE(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 2);
        QVERIFY(std::abs(view.top() - size / 2) < 2 * B);
        view.verticalScrollBar()->setValue(0);
        QCOMPARE(view.visible_lines().value(0), u"erste Zeile"_qs);
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
        QCOMPARE(view.visible_lines().mid(view.visible_lines().size() - 2),
                 (QStringList{u"vorletzte Zeile"_qs, u"letzte Zeile"_qs}));
    }

    // Shrunk while shown, and again while its lines are being counted.
    void file_truncated_while_shown()
    {
        QByteArray log;
        for (int i = 0; log.size() < 8 * MiB; ++i)
            log += "Zeile " + QByteArray::number(i) + '\n';
        QVERIFY(write_file(path("kurz.log"), log));
        PlainTextView view;
        view.resize(400, 300);
        view.show();
        view.set_file(LineFile::open(path("kurz.log")));
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 2);
        QCOMPARE(::truncate(path("kurz.log").constData(), 4 * MiB), 0);
        QTRY_VERIFY(!view.counting());
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
        QVERIFY(view.visible_lines().isEmpty()); // past the end now: nothing there
        QCOMPARE(::truncate(path("kurz.log").constData(), 20), 0);
        QTest::keyClick(&view, Qt::Key_PageUp);
        QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
        view.select_all();
        QVERIFY(view.selected_text().size() <= 20);
        view.scroll_to(0);
        QCOMPARE(view.visible_lines(), (QStringList{u"Zeile 0"_qs, u"Zeile 1"_qs, u"Zeil"_qs}));
    }

    // A long line is laid out as far as it shows; End brings its end.
    void long_line_scrolled_into_sight()
    {
        QVERIFY(write_file(path("lang.txt"), QByteArray(3000, 'x') + "ENDE\n"));
        PlainTextView view;
        view.resize(400, 300);
        view.show();
        view.set_file(LineFile::open(path("lang.txt")));
        QVERIFY(view.visible_lines().value(0).size() < 3000);
        QTest::keyClick(&view, Qt::Key_End);
        QVERIFY(view.visible_lines().value(0).endsWith(u"ENDE"_qs));
        view.select_all();
        QCOMPARE(view.selected_text().size(), 3004);
    }

    void select_with_the_mouse_and_copy()
    {
        QVERIFY(write_file(path("s.txt"), "erste Zeile\nzweite Zeile\ndritte\n"));
        PlainTextView view;
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.set_file(LineFile::open(path("s.txt")));
        // Assistive tools read the page in sight, read-only.
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(a && a->textInterface() && a->state().readOnly);
        QCOMPARE(a->textInterface()->text(0, a->textInterface()->characterCount()),
                 u"erste Zeile\nzweite Zeile\ndritte"_qs);
        QWidget *port = view.viewport();
        const int h = view.fontMetrics().lineSpacing();
        QTest::mousePress(port, Qt::LeftButton, {}, QPoint(2, 4 + h / 2));
        QMouseEvent move(QEvent::MouseMove, QPointF(390, 4 + h + h / 2),
                         port->mapToGlobal(QPointF(390, 4 + h + h / 2)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(port, &move);
        QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(390, 4 + h + h / 2));
        QCOMPARE(view.selected_text(), u"erste Zeile\nzweite Zeile"_qs);
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), u"erste Zeile\nzweite Zeile"_qs);
        QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(view.selected_text(), u"erste Zeile\nzweite Zeile\ndritte"_qs);
    }
};

QTEST_MAIN(tst_linefile)
#include "tst_linefile.moc"
