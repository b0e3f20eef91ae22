// Draws the pictures of Quillmere into a resources directory:
// - images/: the button and list images, each drawn once on a 16 x 16 grid and
//   rendered at 1x (name.png) and 2x (name@2x.png), so both are crisp;
// - icons/hicolor/: the application icon for desktop menus, drawn anew for
//   each size of the icon theme (and as SVG when built with Qt SVG). The
//   window icon (images/quillmere16*.png) is the same drawing at 16 and 32.
// Run: quillmere-draw-images <resources directory>; the results are committed.
//      quillmere-draw-images --check <resources directory> says which
//      committed pictures differ from what this program draws now.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#ifdef QUILLMERE_DRAW_SVG
#include <QSvgGenerator>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {

using Draw = std::function<void(QPainter&)>;

const QColor ink(40, 44, 52);
const QColor blue(33, 102, 196);
const QColor blueDark(20, 64, 140);
const QColor screen(120, 190, 240);
const QColor grey(190, 194, 200);
const QColor greyDark(110, 114, 122);
const QColor green(40, 160, 60);

QPen pen(const QColor& c, qreal w = 1.0) {
    QPen p(c, w);
    p.setJoinStyle(Qt::RoundJoin);
    p.setCapStyle(Qt::RoundCap);
    return p;
}

void help(QPainter& p) {
    p.setPen(pen(blueDark));
    p.setBrush(blue);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(12);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 16, 16.5), Qt::AlignCenter, QStringLiteral("?"));
}

void monitor(QPainter& p, const QRectF& r) {
    p.setPen(pen(ink));
    p.setBrush(grey);
    p.drawRoundedRect(r, 1, 1);
    p.setPen(Qt::NoPen);
    p.setBrush(screen);
    p.drawRect(r.adjusted(1.5, 1.5, -1.5, -1.5));
}

void workstation(QPainter& p) {
    monitor(p, QRectF(0.5, 1.5, 11, 9));
    p.setPen(pen(ink));
    p.setBrush(grey);
    p.drawRect(QRectF(4.5, 10.5, 3, 2));
    p.drawRect(QRectF(1.5, 12.5, 9, 2));
    // Tower beside the screen.
    p.drawRect(QRectF(12.5, 3.5, 3, 11));
    p.setPen(pen(green));
    p.drawPoint(QPointF(14, 5.5));
}

void mobilePhone(QPainter& p) {
    p.setPen(pen(ink));
    p.setBrush(QColor(70, 74, 84));
    p.drawRoundedRect(QRectF(4.5, 0.5, 8, 15), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(screen);
    p.drawRect(QRectF(5.5, 2.5, 6, 6));
    p.setBrush(grey);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col) p.drawRect(QRectF(5.5 + col * 2, 10 + row * 2, 1.5, 1.5));
}

void network(QPainter& p) {
    // Two computers linked by a cable.
    monitor(p, QRectF(0.5, 0.5, 8, 6));
    monitor(p, QRectF(7.5, 8.5, 8, 6));
    p.setPen(pen(ink));
    p.drawLine(QPointF(3.5, 6.5), QPointF(3.5, 8));
    p.drawLine(QPointF(12.5, 14.5), QPointF(12.5, 15.5));
    p.setPen(pen(QColor(220, 120, 20), 1.5));
    p.drawPolyline(QPolygonF{QPointF(3.5, 8.5), QPointF(3.5, 11.5), QPointF(7.5, 11.5)});
    p.drawPolyline(QPolygonF{QPointF(12.5, 8.5), QPointF(12.5, 4), QPointF(8.5, 4)});
}

void videoCamera(QPainter& p) {
    p.setPen(pen(ink));
    p.setBrush(QColor(70, 74, 84));
    p.drawRoundedRect(QRectF(0.5, 5.5, 10, 7), 1, 1);
    p.setBrush(QColor(100, 104, 114));
    p.drawPolygon(
        QPolygonF{QPointF(10.5, 7.5), QPointF(15.5, 5), QPointF(15.5, 13), QPointF(10.5, 10.5)});
    // Film reels on top.
    p.setBrush(grey);
    p.drawEllipse(QRectF(1.5, 1, 4, 4));
    p.drawEllipse(QRectF(6, 1, 4, 4));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 50, 50));
    p.drawEllipse(QRectF(2, 7, 2, 2));
}

void mouse(QPainter& p) {
    p.setPen(pen(ink));
    p.setBrush(QColor(236, 238, 242));
    p.drawRoundedRect(QRectF(3.5, 4.5, 9, 11), 4.5, 4.5);
    p.drawLine(QPointF(8, 4.5), QPointF(8, 9));
    p.drawLine(QPointF(3.5, 9), QPointF(12.5, 9));
    p.setBrush(Qt::NoBrush);
    QPainterPath cable;
    cable.moveTo(8, 4.5);
    cable.cubicTo(8, 1.5, 12, 2.5, 13, 0.5);
    p.drawPath(cable);
}

void printer(QPainter& p) {
    p.setPen(pen(ink));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 0.5, 9, 6));  // paper in
    p.setBrush(grey);
    p.drawRoundedRect(QRectF(0.5, 5.5, 15, 7), 1, 1);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 10.5, 9, 5));  // paper out
    p.setPen(pen(greyDark));
    p.drawLine(QPointF(5, 12.5), QPointF(11, 12.5));
    p.drawLine(QPointF(5, 14), QPointF(9, 14));
    p.setPen(pen(green));
    p.drawPoint(QPointF(13.5, 7.5));
}

void bars(QPainter& p, bool ascending) {
    // A stack of bars growing downwards (ascending) or upwards (descending).
    p.setPen(Qt::NoPen);
    p.setBrush(greyDark);
    for (int i = 0; i < 4; ++i) {
        const qreal width = ascending ? 2 + i * 2 : 8 - i * 2;
        p.drawRect(QRectF(7.5, 1.5 + i * 3.5, width, 2));
    }
}

void arrow(QPainter& p, bool up) {
    p.setPen(pen(blueDark, 1.6));
    const qreal top = 1.5, bottom = 14.5, x = 3.5;
    p.drawLine(QPointF(x, top), QPointF(x, bottom));
    const qreal tip = up ? top : bottom, dir = up ? 1 : -1;
    p.drawPolyline(QPolygonF{QPointF(x - 3, tip + 3.2 * dir), QPointF(x, tip),
                             QPointF(x + 3, tip + 3.2 * dir)});
}

void sortAscending(QPainter& p) {
    arrow(p, true);
    bars(p, true);
}

void sortDescending(QPainter& p) {
    arrow(p, false);
    bars(p, false);
}

QPainterPath gear(QPointF c, qreal outer, qreal inner, int teeth) {
    QPainterPath path;
    const int points = teeth * 4;
    for (int i = 0; i < points; ++i) {
        const qreal a = 2 * M_PI * (i - 0.5) / points;
        const qreal r = (i % 4 < 2) ? outer : inner;
        const QPointF pt(c.x() + r * qCos(a), c.y() + r * qSin(a));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    path.closeSubpath();
    return path;
}

void generator(QPainter& p) {
    p.setPen(pen(QColor(90, 60, 10)));
    p.setBrush(QColor(230, 170, 40));
    p.drawPath(gear(QPointF(6, 6.5), 5.8, 4.2, 8));
    p.setBrush(QColor(180, 186, 196));
    p.setPen(pen(greyDark));
    p.drawPath(gear(QPointF(11.5, 11.5), 4.2, 3.0, 6));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(6, 6.5), 1.6, 1.6);
    p.drawEllipse(QPointF(11.5, 11.5), 1.1, 1.1);
}

void refresh(QPainter& p) {
    // A page with two green circling arrows.
    p.setPen(pen(greyDark));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF{QPointF(1.5, 0.5), QPointF(9.5, 0.5), QPointF(12.5, 3.5),
                            QPointF(12.5, 15.5), QPointF(1.5, 15.5)});
    p.setBrush(Qt::NoBrush);
    const QPointF c(9.5, 10);
    const qreal r = 4.2;
    const QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
    p.setPen(pen(green, 1.8));
    p.drawArc(box, 30 * 16, 130 * 16);
    p.drawArc(box, 210 * 16, 130 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(green);
    auto head = [&](qreal degrees, qreal turn) {
        const qreal a = qDegreesToRadians(degrees);
        const QPointF at(c.x() + r * qCos(a), c.y() - r * qSin(a));
        // Tangent in the drawing direction (counter-clockwise on screen).
        const QPointF t(-qSin(a) * turn, -qCos(a) * turn);
        const QPointF n(qCos(a), -qSin(a));
        p.drawPolygon(QPolygonF{at + t * 2.6, at + n * 2.2, at - n * 2.2});
    };
    head(160, 1);
    head(340, 1);
}

void about(QPainter& p) {
    // An information sign: a white letter i in a blue diamond.
    p.setPen(pen(blueDark));
    p.setBrush(blue);
    p.drawPolygon(QPolygonF{QPointF(8, 0.3), QPointF(15.7, 8), QPointF(8, 15.7), QPointF(0.3, 8)});
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.6), 1.3, 1.3);
    p.drawRoundedRect(QRectF(6.8, 6.6, 2.4, 6.2), 0.6, 0.6);
}

// The application icon: a monitor with an antenna sending radio waves, drawn
// for one pixel size at a time. Edges fall on whole pixels and outlines are
// whole pixels wide at every size, so no size is a blurred copy of another;
// from 48 px up they get a third wave and shading, and from 64 px a list on the
// screen.
void applicationIcon(QPainter& p, int size) {
    const qreal s = size;
    const auto px = [s](qreal fraction) { return std::round(fraction * s); };
    const qreal line = std::max<qreal>(1, std::round(s / 32));
    const bool shaded = size >= 48;

    const QRectF body(px(0.02), px(0.42), px(0.74) - px(0.02), px(0.86) - px(0.42));
    const qreal bezel = std::max<qreal>(1, std::round(s / 20));
    const QRectF glass = body.adjusted(line + bezel, line + bezel, -line - bezel, -line - bezel);
    // A box outlined in ink: the outline is filled, not stroked, so on whole
    // pixel edges it stays crisp at every size, corners included.
    const auto box = [&p, line](const QRectF& r, qreal radius, const QBrush& fill) {
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRoundedRect(r, radius, radius);
        const QRectF inner = r.adjusted(line, line, -line, -line);
        if (inner.isEmpty()) return;
        p.setBrush(fill);
        const qreal innerRadius = std::max<qreal>(0, radius - line);
        p.drawRoundedRect(inner, innerRadius, innerRadius);
    };

    // The antenna first: the monitor covers its foot.
    const QPointF tip(px(0.76) + 0.5, px(0.30) + 0.5);
    const qreal ball = std::max<qreal>(1.3, s * 0.07);
    p.setPen(pen(ink, std::max<qreal>(1.2, s / 20)));
    p.drawLine(QPointF(px(0.56), body.top() + line), tip);

    // Stand: a neck and a foot below the middle of the monitor.
    const qreal middle = std::round(body.center().x());
    const qreal neckHalf = std::max<qreal>(1, px(0.08));
    const QRectF neck(middle - neckHalf, body.bottom(), 2 * neckHalf, px(0.93) - body.bottom());
    // Shaded, the foot shares its top outline with the neck's bottom one; at
    // the smallest sizes each is one line of pixels.
    const qreal footTop = shaded ? neck.bottom() - line : neck.bottom();
    const QRectF foot(middle - px(0.20), footTop, 2 * px(0.20),
                      std::max(px(shaded ? 0.99 : 1.0) - footTop, line));
    box(neck, 0, shaded ? QBrush(QColor(150, 154, 162)) : QBrush(grey));
    box(foot, shaded ? line * 2 : 0, grey);

    // The monitor: body, bezel, screen.
    if (shaded) {
        QLinearGradient metal(body.topLeft(), body.bottomLeft());
        metal.setColorAt(0, QColor(222, 225, 230));
        metal.setColorAt(1, QColor(165, 170, 178));
        box(body, bezel, metal);
    } else {
        box(body, 0, grey);
    }
    p.setPen(Qt::NoPen);
    if (shaded) {
        QLinearGradient sky(glass.topLeft(), glass.bottomRight());
        sky.setColorAt(0, QColor(170, 220, 250));
        sky.setColorAt(1, QColor(70, 150, 225));
        p.setBrush(sky);
    } else {
        p.setBrush(screen);
    }
    p.drawRect(glass);
    if (shaded) {
        // A light band across the glass, and a power light on the bezel.
        p.setBrush(QColor(255, 255, 255, 60));
        p.drawPolygon(QPolygonF{glass.topLeft(), glass.topLeft() + QPointF(glass.width() * 0.55, 0),
                                glass.topLeft() + QPointF(glass.width() * 0.25, glass.height()),
                                glass.bottomLeft()});
        p.setBrush(green);
        const qreal led = std::max<qreal>(1, std::round(bezel / 2));
        p.drawEllipse(QPointF(glass.right() - led, (glass.bottom() + body.bottom() - line) / 2),
                      led / 1.5, led / 1.5);
    }
    if (size >= 64) {
        // Three rows of a device list: an image and a name.
        const qreal row = std::round(glass.height() / 4);
        const qreal mark = std::round(row * 0.6);
        const QColor marks[] = {blue, green, QColor(220, 120, 20)};
        for (int i = 0; i < 3; ++i) {
            const qreal top = glass.top() + std::round(row * (i + 0.7) - mark / 2);
            const qreal left = glass.left() + std::round(row * 0.5);
            p.setBrush(marks[i]);
            p.drawRect(QRectF(left, top, mark, mark));
            p.setBrush(QColor(255, 255, 255, 210));
            const qreal text = std::round(mark * 0.5);
            const qreal width = std::round((glass.width() - 3 * row) * (i == 1 ? 0.6 : 0.85));
            p.drawRect(QRectF(left + mark + std::round(row * 0.4),
                              top + std::round((mark - text) / 2), width, text));
        }
    }

    // The antenna's tip and its waves, opening upwards.
    if (shaded) {
        QRadialGradient shine(tip - QPointF(ball / 3, ball / 3), ball * 1.2);
        shine.setColorAt(0, QColor(255, 170, 160));
        shine.setColorAt(1, QColor(200, 30, 30));
        p.setBrush(shine);
    } else {
        p.setBrush(QColor(230, 50, 50));
    }
    p.setPen(Qt::NoPen);
    p.drawEllipse(tip, ball, ball);
    // Waves as wide as the gaps between them, the outermost touching the top.
    // Up to 32 px a wave is one or two pixels wide and antialiasing would
    // smear it into its neighbours: there they are whole pixels on whole radii.
    const int waves = size >= 48 ? 3 : 2;
    const qreal step = (tip.y() - ball) / (waves + 0.25);
    const bool pixelWaves = size <= 32;
    p.setRenderHint(QPainter::Antialiasing, !pixelWaves);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(blue, pixelWaves ? std::round(step / 2) : step / 2));
    for (int i = 1; i <= waves; ++i) {
        const qreal r = pixelWaves ? std::round(ball + step * i) : ball + step * i;
        p.drawArc(QRectF(tip.x() - r, tip.y() - r, 2 * r, 2 * r), 25 * 16, 130 * 16);
    }
    p.setRenderHint(QPainter::Antialiasing);
}

// The sizes of the icon theme's application icons that desktops look for.
constexpr int iconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
const QLatin1String iconName("example.ostrand.Quillmere");

QImage draw(int size, const std::function<void(QPainter&)>& paint) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paint(p);
    return image;
}

// One picture: where it goes under the resources directory and what it holds.
struct Picture {
    QString path;
    QImage image;  // null for the SVG
    QByteArray svg;
};

QList<Picture> drawAll() {
    const struct {
        const char* name;
        Draw draw;
    } images[] = {
        {"help16", help},
        {"workstation16", workstation},
        {"mobile_phone16", mobilePhone},
        {"network16b", network},
        {"video_camera16", videoCamera},
        {"mouse16", mouse},
        {"print16", printer},
        {"sort_ascending16", sortAscending},
        {"sort_descending16", sortDescending},
        {"generator16", generator},
        {"refresh16", refresh},
        {"about16", about},
    };
    QList<Picture> pictures;
    for (const auto& image : images) {
        for (int scale : {1, 2}) {
            pictures.append({QStringLiteral("images/") + QLatin1String(image.name) +
                                 (scale == 1 ? QStringLiteral(".png") : QStringLiteral("@2x.png")),
                             draw(16 * scale,
                                  [&](QPainter& p) {
                                      p.scale(scale, scale);
                                      image.draw(p);
                                  }),
                             {}});
        }
    }
    // The window icon is the application icon at 16 and 32 pixels.
    for (int size : {16, 32}) {
        pictures.append({size == 16 ? QStringLiteral("images/quillmere16.png")
                                    : QStringLiteral("images/quillmere16@2x.png"),
                         draw(size, [size](QPainter& p) { applicationIcon(p, size); }),
                         {}});
    }
    for (int size : iconSizes) {
        pictures.append({QStringLiteral("icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(iconName),
                         draw(size, [size](QPainter& p) { applicationIcon(p, size); }),
                         {}});
    }
#ifdef QUILLMERE_DRAW_SVG
    // The largest drawing, as vectors, for the theme's scalable size.
    QBuffer svg;
    {
        QSvgGenerator generator;
        generator.setOutputDevice(&svg);
        generator.setSize(QSize(256, 256));
        generator.setViewBox(QRect(0, 0, 256, 256));
        generator.setTitle(QStringLiteral("Quillmere"));
        generator.setDescription(QStringLiteral("A monitor with an antenna sending radio waves"));
        QPainter p(&generator);
        p.setRenderHint(QPainter::Antialiasing);
        applicationIcon(p, 256);
    }
    pictures.append(
        {QStringLiteral("icons/hicolor/scalable/apps/%1.svg").arg(iconName), {}, svg.data()});
#endif
    return pictures;
}

bool write(const QString& dir, const Picture& picture) {
    const QString file = dir + QLatin1Char('/') + picture.path;
    QDir().mkpath(QFileInfo(file).path());
    bool ok = false;
    if (picture.image.isNull()) {
        QFile out(file);
        ok = out.open(QIODevice::WriteOnly) && out.write(picture.svg) == picture.svg.size();
    } else {
        ok = picture.image.save(file);
    }
    if (!ok) std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    return ok;
}

// Whether the committed file holds what was drawn: the same pixels (not the
// same bytes: PNG compression may differ between library versions) or the
// same SVG text.
bool matches(const QString& dir, const Picture& picture) {
    const QString file = dir + QLatin1Char('/') + picture.path;
    if (picture.image.isNull()) {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) && in.readAll() == picture.svg;
    }
    const QImage committed(file);
    return !committed.isNull() &&
           committed.convertToFormat(QImage::Format_ARGB32_Premultiplied) == picture.image;
}

}  // namespace

int main(int argc, char** argv) {
    // The pictures are drawn into images, never onto a screen: no desktop
    // session is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
    if (argc != 2 && !check) {
        std::fprintf(stderr, "usage: %s [--check] <resources directory>\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[argc - 1]);
    int differ = 0;
    for (const Picture& picture : drawAll()) {
        if (!check) {
            if (!write(dir, picture)) return 1;
        } else if (!matches(dir, picture)) {
            std::fprintf(stderr, "%s differs from its drawing\n", qPrintable(picture.path));
            ++differ;
        }
    }
    if (differ) {
        std::fprintf(stderr,
                     "%d pictures differ: redraw them with %s %s, look at them and commit them\n",
                     differ, argv[0], argv[argc - 1]);
        return 1;
    }
    return 0;
}
