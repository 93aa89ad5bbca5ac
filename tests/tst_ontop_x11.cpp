// SPDX-License-Identifier: GPL-3.0-or-later
// "immer im Vordergrund" under a real X server and window manager: the menu
// entry must reach the window manager as _NET_WM_STATE_ABOVE and back, on the
// window that is already on screen, without the frame being hidden,
// re-created, moved or resized. Run through run_x11.sh, which provides the
// display (Xvfb) and the window manager (openbox).
//
// What the window manager made of the window is read from the X server with
// xprop and xwininfo, not from Qt, so the test sees what the user sees.

#include <optional>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

#include "frmmain.h"

using talvence::frmMain;

namespace {

constexpr int kWait = 20000; // ms; generous, the machines are shared

// Output of an X tool run against the test's display; empty when it failed.
QString run_tool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(program, args);
    if (!p.waitForFinished(kWait) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

QString hex_id(WId id)
{
    return QStringLiteral("0x") + QString::number(quint64(id), 16);
}

// The atoms of the window's _NET_WM_STATE; empty when it has none.
QStringList net_wm_state(WId id)
{
    const QString out = run_tool(QStringLiteral("xprop"), {QStringLiteral("-id"), hex_id(id),
                                                           QStringLiteral("_NET_WM_STATE")});
    // "_NET_WM_STATE(ATOM) = _NET_WM_STATE_ABOVE, _NET_WM_STATE_FOCUSED"
    // or "_NET_WM_STATE:  not found."
    const qsizetype eq = out.indexOf(QLatin1Char('='));
    if (eq < 0)
        return {};
    QStringList atoms = out.mid(eq + 1).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString &a : atoms)
        a = a.trimmed();
    return atoms;
}

bool is_above(WId id)
{
    return net_wm_state(id).contains(QStringLiteral("_NET_WM_STATE_ABOVE"));
}

// left, right, top, bottom as the window manager announces them, once it has
// framed the window.
std::optional<QMargins> frame_extents(WId id)
{
    const QString out = run_tool(QStringLiteral("xprop"), {QStringLiteral("-id"), hex_id(id),
                                                           QStringLiteral("_NET_FRAME_EXTENTS")});
    static const QRegularExpression re(
        QStringLiteral(R"(=\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+))"));
    const auto m = re.match(out);
    if (!m.hasMatch())
        return std::nullopt;
    return QMargins(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(2).toInt(),
                    m.captured(4).toInt());
}

struct XGeometry {
    QRect client; // the window's own area, in root coordinates
    QRect frame;  // the same with the window manager's decoration around it
    bool viewable = false;

    bool operator==(const XGeometry &) const = default;
};

char *toString(const XGeometry &g)
{
    const QByteArray s = QStringLiteral("client %1,%2 %3x%4, frame %5,%6 %7x%8, %9")
                             .arg(g.client.x())
                             .arg(g.client.y())
                             .arg(g.client.width())
                             .arg(g.client.height())
                             .arg(g.frame.x())
                             .arg(g.frame.y())
                             .arg(g.frame.width())
                             .arg(g.frame.height())
                             .arg(g.viewable ? "viewable" : "NOT viewable")
                             .toUtf8();
    return qstrdup(s.constData());
}

// The server's view of the window: where it is, how big, whether it is shown.
std::optional<XGeometry> x_geometry(WId id)
{
    const QString out = run_tool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), hex_id(id)});
    auto field = [&out](const char *name) -> std::optional<int> {
        const QRegularExpression re(QLatin1String(name) + QStringLiteral(R"(:\s*(-?\d+))"));
        const auto m = re.match(out);
        if (!m.hasMatch())
            return std::nullopt;
        return m.captured(1).toInt();
    };
    const auto x = field("Absolute upper-left X"), y = field("Absolute upper-left Y"),
               w = field("Width"), h = field("Height");
    const auto extents = frame_extents(id);
    if (!x || !y || !w || !h || !extents)
        return std::nullopt;
    XGeometry g;
    g.client = QRect(*x, *y, *w, *h);
    g.frame = g.client.marginsAdded(*extents);
    g.viewable = out.contains(QStringLiteral("Map State: IsViewable"));
    return g;
}

// Counts what happens to the frame's widget and native window after the
// starting point: any of these means it was hidden, re-created, moved or
// resized behind our back, even if it ended up where it was.
class Watcher : public QObject {
public:
    int hides = 0, shows = 0, moves = 0, resizes = 0, recreations = 0;

    QString summary() const
    {
        return QStringLiteral("%1 hidden, %2 shown, %3 re-created, %4 moved, %5 resized")
            .arg(hides)
            .arg(shows)
            .arg(recreations)
            .arg(moves)
            .arg(resizes);
    }

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        switch (e->type()) {
        case QEvent::Hide:
            ++hides;
            break;
        case QEvent::Show:
            ++shows;
            break;
        case QEvent::Move:
            ++moves;
            break;
        case QEvent::Resize:
            ++resizes;
            break;
        case QEvent::WinIdChange:
        case QEvent::PlatformSurface:
            ++recreations;
            break;
        default:
            break;
        }
        return false;
    }
};

} // namespace

class TstOntopX11 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void toggles_above_in_place();

private:
    QTemporaryDir home_;
};

void TstOntopX11::initTestCase()
{
    QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
             "needs a real X server: run it through tests/run_x11.sh");
    QVERIFY(home_.isValid());
    // The frame records its placement on close; keep that out of any real
    // settings and out of the build folder.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.filePath(QStringLiteral("config"))));
    qputenv("HOME", QFile::encodeName(home_.path()));
    QVERIFY(QDir::setCurrent(home_.path()));
    const QString wm =
        run_tool(QStringLiteral("xprop"),
                 {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
    QVERIFY2(wm.contains(QStringLiteral("window id")), "no window manager on this display");
}

void TstOntopX11::toggles_above_in_place()
{
    frmMain frame;
    frame.place_on_screen();
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QWindow *const native = frame.windowHandle();
    QVERIFY(native);
    // The X window as the native window knows it: QWidget::winId() keeps
    // answering the old id after Qt has replaced the X window, so it cannot
    // tell us whether that happened.
    const WId id = native->winId();
    QCOMPARE(frame.winId(), id);

    // Managed: the window manager has put its frame around the window ...
    QVERIFY2(QTest::qWaitFor([&] { return frame_extents(id).has_value(); }, kWait),
             "the window manager never framed the window");
    // ... and Qt has caught up with where that left the window, so Qt's and
    // the server's figures can both be held against the starting point.
    std::optional<XGeometry> start;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     start = x_geometry(id);
                     return start && start->frame == frame.frameGeometry() &&
                            start->client == frame.geometry();
                 },
                 kWait),
             "Qt and the X server never agreed on where the frame is");
    QVERIFY(start->viewable);
    const QRect start_frame = frame.frameGeometry();
    const QRect start_geometry = frame.geometry();

    QVERIFY2(!is_above(id), "a fresh frame must not start on top");
    QCOMPARE(frame.vordergrund_status(), 0);

    auto *action = frame.findChild<QAction *>(QStringLiteral("vordergrund"));
    QVERIFY(action);

    Watcher watcher;
    frame.installEventFilter(&watcher);
    native->installEventFilter(&watcher);
    const QString undisturbed = Watcher().summary();

    struct Step {
        bool above;
        const char *text;
    };
    const Step steps[] = {
        {true, "immer im Vordergrund: an"},
        {false, "immer im Vordergrund: aus"},
        {true, "immer im Vordergrund: an"},
    };
    for (const Step &step : steps) {
        const QByteArray where = QByteArray("after switching ") + (step.above ? "on" : "off");
        action->trigger();

        // Hiding or re-creating the window would already have happened here.
        QCOMPARE(frame.windowHandle(), native);
        QCOMPARE(native->winId(), id);
        QVERIFY(frame.isVisible());
        QVERIFY(native->isVisible());
        QCOMPARE(watcher.hides, 0);
        QCOMPARE(watcher.recreations, 0);
        QCOMPARE(action->text(), QString::fromUtf8(step.text));
        QCOMPARE(frame.vordergrund_status(), step.above ? 1 : 0);

        QVERIFY2(QTest::qWaitFor([&] { return is_above(id) == step.above; }, kWait),
                 QByteArray(where + ": the window manager never saw the change").constData());

        // The window manager acts on the state change in one go, so by the
        // time the new state is visible any move or resize it made is too.
        const auto now = x_geometry(id);
        QVERIFY2(now.has_value(), where.constData());
        QCOMPARE(*now, *start);

        QCoreApplication::processEvents();
        QCOMPARE(frame.frameGeometry(), start_frame);
        QCOMPARE(frame.geometry(), start_geometry);
        // Not even briefly: a move and a move back end where they began.
        QCOMPARE(watcher.summary(), undisturbed);
    }

    frame.removeEventFilter(&watcher);
    native->removeEventFilter(&watcher);
}

QTEST_MAIN(TstOntopX11)
#include "tst_ontop_x11.moc"
