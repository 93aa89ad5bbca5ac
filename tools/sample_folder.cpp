// SPDX-License-Identifier: GPL-3.0-or-later
// Fills a folder with files to try Talvence on: photos, a PCX picture, plain
// text, an RTF letter, names with umlauts. ./run.sh makes it on first start.
//
//   talvence_sample_folder FOLDER

#include <cstdio>
#include <cstring>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

namespace {

bool write(const QByteArray &path, const QByteArray &bytes)
{
    QFile f(QFile::decodeName(path));
    return f.open(QIODevice::WriteOnly | QIODevice::NewOnly) && f.write(bytes) == bytes.size();
}

// A landscape of two colours with a sun: enough to tell the photos apart.
QImage photo(QColor sky, QColor ground, int sun_x)
{
    QImage image(1600, 1200, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient gradient(0, 0, 0, 1200);
    gradient.setColorAt(0, sky);
    gradient.setColorAt(1, sky.lighter(160));
    p.fillRect(image.rect(), gradient);
    p.setBrush(QColor(255, 236, 150));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(sun_x, 260), 110, 110);
    p.setBrush(ground);
    p.drawEllipse(QPoint(800, 1500), 1300, 720);
    return image;
}

// An 8-bit PCX picture with its palette at the end, run-length coded.
QByteArray pcx(int w, int h)
{
    QByteArray out(128, '\0');
    out[0] = 10;
    out[1] = 5;
    out[2] = 1;
    out[3] = 8;
    const auto put16 = [&](int at, int v) {
        out[at] = char(v & 0xff);
        out[at + 1] = char(v >> 8);
    };
    put16(8, w - 1);
    put16(10, h - 1);
    put16(12, 72);
    put16(14, 72);
    out[65] = 1;
    put16(66, w);
    put16(68, 1);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w;) {
            const unsigned char colour = static_cast<unsigned char>((x / 16 + y / 16) % 8);
            int run = 1;
            while (x + run < w && run < 63 &&
                   static_cast<unsigned char>(((x + run) / 16 + y / 16) % 8) == colour)
                ++run;
            out += char(0xC0 | run);
            out += char(colour);
            x += run;
        }
    }
    out += char(12);
    static const unsigned char palette[8][3] = {{230, 57, 70},  {241, 250, 238}, {168, 218, 220},
                                                {69, 123, 157}, {29, 53, 87},    {244, 162, 97},
                                                {42, 157, 143}, {233, 196, 106}};
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c)
            out += char(palette[i % 8][c]);
    return out;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QByteArray folder = argv[1];
    if (!QDir().mkpath(QFile::decodeName(folder)))
        return 1;
    const auto at = [&](const char *name) { return folder + '/' + name; };
    bool ok = true;
    ok &= photo(QColor(40, 110, 190), QColor(230, 200, 120), 1200)
              .save(QFile::decodeName(at("Urlaub am Meer.jpg")), "JPG", 85);
    ok &= photo(QColor(90, 140, 200), QColor(50, 120, 60), 400)
              .save(QFile::decodeName(at("Bergsee.JPG")), "JPG", 85);
    ok &= photo(QColor(230, 140, 90), QColor(120, 90, 70), 800)
              .save(QFile::decodeName(at("Straße in Köln.jpg")), "JPG", 85);
    ok &= photo(QColor(20, 30, 80), QColor(30, 60, 40), 1400)
              .scaled(320, 240)
              .save(QFile::decodeName(at("Skizze.bmp")), "BMP");
    ok &= write(at("Muster.pcx"), pcx(256, 160));
    ok &= write(at("Notizen.txt"), "Urlaub 2026\n\n- Fähre um 9:15 Uhr\n- Größe der Koffer prüfen\n"
                                   "- Grüße an Jürgen\n");
    ok &= write(at("Einkaufsliste.TXT"), "Äpfel\nBrötchen\nKäse\nMüsli\n");
    ok &= write(at("Brief.doc"),
                "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
                "{\\colortbl;\\red0\\green0\\blue128;}"
                "\\f0\\fs24 {\\b\\fs32\\cf1 Lieber J\\'fcrgen,}\\par\\par "
                "die Bilder vom {\\i Urlaub am Meer} sind da. Mit {\\b Talvence} bekommen sie "
                "alle eine Nummer: {\\ul Ferien1.jpg}, {\\ul Ferien2.jpg} und so weiter.\\par\\par "
                "Viele Gr\\'fc\\'dfe\\par}");
    ok &= write(at("Lebenslauf.rtf"), "{\\rtf1\\ansi {\\b Lebenslauf}\\par Noch leer.\\par}");
    ok &= write(at("README"), "Dieser Ordner ist ein Beispiel für Talvence.\n");
    return ok ? 0 : 1;
}
