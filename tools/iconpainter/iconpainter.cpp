// Draws the program's icons. Run once after changing a glyph and put the PNGs into
// resources/ (and the program icon into packaging/icons/):
//   iconpainter <output directory> [<program icon directory>]
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cstdio>
#include <functional>

namespace {

constexpr int IconSize = 64;

const QColor Ink(0x37, 0x47, 0x4f);
const QColor Green(0x2e, 0x9d, 0x4f);
const QColor Purple(128, 89, 207); // the sliders' colour
const QColor Blue(0x1e, 0x88, 0xe5);
const QColor Red(0xd3, 0x2f, 0x2f);

QPen roundPen(const QColor& color, qreal width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawSpeaker(QPainter& p, const QColor& color)
{
    QPolygonF body;
    body << QPointF(8, 25) << QPointF(19, 25) << QPointF(33, 12) << QPointF(33, 52) << QPointF(19, 39)
         << QPointF(8, 39);
    p.setPen(roundPen(color, 4));
    p.setBrush(color);
    p.drawPolygon(body);
}

void drawWaves(QPainter& p, const QColor& color, int count)
{
    p.setPen(roundPen(color, 5));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < count; ++i) {
        const qreal r = 10 + 9 * i;
        // Qt angles are in 1/16 degree, counter-clockwise from three o'clock.
        p.drawArc(QRectF(33 - r, 32 - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
    }
}

void play(QPainter& p)
{
    QPolygonF triangle;
    triangle << QPointF(18, 10) << QPointF(54, 32) << QPointF(18, 54);
    p.setPen(roundPen(Green, 8));
    p.setBrush(Green);
    p.drawPolygon(triangle);
}

void add(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Purple);
    p.drawEllipse(QRectF(4, 4, 56, 56));
    p.setPen(roundPen(Qt::white, 7));
    p.drawLine(QPointF(32, 18), QPointF(32, 46));
    p.drawLine(QPointF(18, 32), QPointF(46, 32));
}

void audio(QPainter& p)
{
    drawSpeaker(p, Blue);
    drawWaves(p, Blue, 3);
}

void volume(QPainter& p)
{
    drawSpeaker(p, Ink);
    drawWaves(p, Ink, 2);
}

void volumeMute(QPainter& p)
{
    drawSpeaker(p, Ink);
    p.setPen(roundPen(Red, 5));
    p.drawLine(QPointF(42, 23), QPointF(58, 41));
    p.drawLine(QPointF(58, 23), QPointF(42, 41));
}

void microphone(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRoundedRect(QRectF(23, 4, 18, 34), 9, 9);
    p.setPen(roundPen(Ink, 4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(14, 12, 36, 34), 180 * 16, 180 * 16);
    p.drawLine(QPointF(32, 46), QPointF(32, 56));
    p.drawLine(QPointF(22, 57), QPointF(42, 57));
}

void unavailable(QPainter& p)
{
    p.setPen(roundPen(Red, 6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(32, 32), 25, 25);
    p.drawLine(QPointF(14.5, 14.5), QPointF(49.5, 49.5));
}

// The program's own icon, a wall terminal sending: drawn on a 256 grid and
// scaled, one PNG per size the icon theme asks for (packaging/icons/).
void program(QPainter& p)
{
    const QColor paper(0xec, 0xef, 0xf1);
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawRoundedRect(QRectF(16, 16, 224, 224), 40, 40);
    p.setBrush(paper);
    p.drawRoundedRect(QRectF(52, 48, 84, 148), 14, 14);
    p.setBrush(Blue);
    p.drawRoundedRect(QRectF(66, 64, 56, 38), 5, 5);
    p.setBrush(Ink);
    p.drawEllipse(QPointF(94, 150), 27, 27);
    p.setBrush(paper);
    p.drawEllipse(QPointF(94, 150), 11, 11);
    p.setPen(roundPen(Green, 16));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 2; ++i) {
        const qreal r = 40 + 36 * i;
        p.drawArc(QRectF(128 - r, 122 - r, 2 * r, 2 * r), -40 * 16, 80 * 16);
    }
}

bool paintProgramIcon(const QDir& dir, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 256.0, size / 256.0);
        program(p);
    }
    const QString path = dir.filePath(QStringLiteral("orvane-%1.png").arg(size));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool paint(const QDir& dir, const char* name, const std::function<void(QPainter&)>& glyph)
{
    QImage image(IconSize, IconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        glyph(p);
    }
    const QString path = dir.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <output directory> [<program icon directory>]\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (argc == 3) {
        const QDir iconDir(QString::fromLocal8Bit(argv[2]));
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            if (!paintProgramIcon(iconDir, size))
                return 1;
        }
    }
    bool ok = true;
    ok &= paint(dir, "play", play);
    ok &= paint(dir, "add", add);
    ok &= paint(dir, "audio", audio);
    ok &= paint(dir, "microphone", microphone);
    ok &= paint(dir, "unavailable", unavailable);
    ok &= paint(dir, "volume", volume);
    ok &= paint(dir, "volume_mute", volumeMute);
    return ok ? 0 : 1;
}
