// SPDX-License-Identifier: GPL-3.0-or-later
#include "wordxmlreader.h"

#include <algorithm>

#include <QTextDocument>
#include <QXmlStreamReader>

#include "documentbuilder.h"

namespace talvence {

namespace {

// An on-off property: on unless its value says off.
bool on(const QXmlStreamReader &xml)
{
    const QStringView v = xml.attributes().value(QStringLiteral("w:val"));
    return v.isEmpty() || (v != u"off" && v != u"false" && v != u"0" && v != u"none");
}

} // namespace

bool is_word_xml(QByteArrayView bytes)
{
    const QByteArrayView head = bytes.first(std::min<qsizetype>(bytes.size(), 4096));
    return head.contains("progid=\"Word.Document\"") || head.contains("<w:wordDocument");
}

std::unique_ptr<QTextDocument> read_word_xml(QByteArrayView bytes)
{
    auto document = std::make_unique<QTextDocument>();
    DocumentBuilder builder(document.get());
    QXmlStreamReader xml(bytes.toByteArray());
    int in_body = 0, cells = 0, skip = 0;
    bool in_run_props = false, cell_paragraph = false;
    QTextCharFormat run, props;
    bool hidden = false;
    const auto text = [&](QStringView t) {
        if (hidden || skip > 0)
            return;
        builder.set_in_table(cells > 0);
        builder.set_char_format(run);
        // Line ends inside a text element are spaces to Word.
        QString shown = t.toString();
        for (QChar &c : shown)
            if (c.unicode() < 0x20 && c != u'\t')
                c = u' ';
        builder.append(shown);
    };
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        const QStringView name = xml.qualifiedName();
        if (token == QXmlStreamReader::StartElement) {
            if (name == u"w:body") {
                ++in_body;
            } else if (in_body == 0) {
                continue;
            } else if (name == u"w:instrText" || name == u"w:pict" || name == u"w:binData" ||
                       name == u"w:delText") {
                ++skip;
            } else if (name == u"w:tc") {
                ++cells;
                cell_paragraph = false;
            } else if (name == u"w:p") {
                if (cell_paragraph && cells > 0)
                    builder.end_paragraph(QTextBlockFormat());
                cell_paragraph = false;
            } else if (name == u"w:r") {
                run = QTextCharFormat();
                hidden = false;
            } else if (name == u"w:rPr") {
                in_run_props = true;
                props = QTextCharFormat();
            } else if (in_run_props) {
                if (name == u"w:b")
                    props.setFontWeight(on(xml) ? QFont::Bold : QFont::Normal);
                else if (name == u"w:i")
                    props.setFontItalic(on(xml));
                else if (name == u"w:u" && on(xml))
                    props.setUnderlineStyle(QTextCharFormat::SingleUnderline);
                else if (name == u"w:strike")
                    props.setFontStrikeOut(on(xml));
                else if (name == u"w:vanish")
                    hidden = on(xml);
                else if (name == u"w:sz")
                    props.setFontPointSize(
                        std::clamp(xml.attributes().value(QStringLiteral("w:val")).toInt(), 2,
                                   3276) /
                        2.0);
            } else if (name == u"w:t") {
                text(xml.readElementText());
            } else if (name == u"w:tab") {
                text(u"\t");
            } else if (name == u"w:br" || name == u"w:cr") {
                text(u"\u2028");
            }
        } else if (token == QXmlStreamReader::EndElement && in_body > 0) {
            if (name == u"w:body") {
                --in_body;
            } else if (name == u"w:instrText" || name == u"w:pict" || name == u"w:binData" ||
                       name == u"w:delText") {
                skip = std::max(0, skip - 1);
            } else if (name == u"w:rPr" && in_run_props) {
                in_run_props = false;
                run = props;
            } else if (name == u"w:p") {
                builder.set_in_table(cells > 0);
                if (cells > 0)
                    cell_paragraph = true; // the cell's end may end it
                else
                    builder.end_paragraph(QTextBlockFormat());
            } else if (name == u"w:tc" && cells > 0) {
                // A table inside a cell comes out as its paragraphs.
                builder.set_in_table(true);
                if (cells == 1)
                    builder.end_cell(QTextBlockFormat());
                else if (cell_paragraph)
                    builder.end_paragraph(QTextBlockFormat());
                cell_paragraph = cells > 1;
                --cells;
            } else if (name == u"w:tr" && cells == 0) {
                builder.set_in_table(true);
                builder.end_row();
            }
        }
    }
    builder.finish(QTextBlockFormat());
    return document;
}

} // namespace talvence
