// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the fuzz targets of the document readers hold every document to, and
// the Gui application that a document's fonts need (no screen is needed).

#include <cstdlib>

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

namespace fuzzing {

inline void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// No control characters but tab (the line separator and Qt's own marks are
// how the builder writes line breaks), and at most `most` characters shown.
inline void check_document(const QTextDocument &doc, qsizetype most)
{
    qsizetype shown = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QString text = it.fragment().text();
            for (qsizetype i = 0; i < text.size(); ++i) {
                const char16_t c = text.at(i).unicode();
                check(c >= 0x20 || c == '\t');
            }
        }
        shown += b.length();
    }
    check(shown <= most);
}

// For LLVMFuzzerInitialize: Qt's warnings silenced, the fuzzer's own output
// is what counts.
inline void start_gui(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    static QGuiApplication app(*argc, *argv);
}

} // namespace fuzzing
