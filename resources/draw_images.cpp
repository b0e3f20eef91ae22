// Draws the pictures of Quillmere: the window icon, the button images and the
// list images. Each is drawn once on a 16 x 16 grid and rendered at 1x
// (name.png, 16 x 16) and 2x (name@2x.png, 32 x 32), so both are crisp.
// Run: quillmere-draw-images <output directory>; the results are committed.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <cstdio>
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

void radioWaves(QPainter& p, QPointF c, int n) {
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(blue, 1.1));
    for (int i = 1; i <= n; ++i) {
        const qreal r = 1.6 * i + 0.4;
        p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 20 * 16, 140 * 16);
    }
}

void windowIcon(QPainter& p) {
    // A monitor with an antenna sending radio waves.
    monitor(p, QRectF(0.5, 6.5, 11, 7.5));
    p.setPen(pen(ink));
    p.setBrush(grey);
    p.drawRect(QRectF(3.5, 14, 5, 1.5));
    p.setPen(pen(ink, 1.2));
    p.drawLine(QPointF(9.5, 6.5), QPointF(12, 3.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 50, 50));
    p.drawEllipse(QPointF(12, 3.5), 1.3, 1.3);
    radioWaves(p, QPointF(12, 3.5), 2);
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

bool render(const QString& dir, const QString& name, const Draw& draw) {
    for (int scale : {1, 2}) {
        QImage image(16 * scale, 16 * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setRenderHint(QPainter::TextAntialiasing);
            p.scale(scale, scale);
            draw(p);
        }
        const QString file = dir + QLatin1Char('/') + name +
                             (scale == 1 ? QStringLiteral(".png") : QStringLiteral("@2x.png"));
        if (!image.save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
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
        {"quillmere16", windowIcon},
        {"refresh16", refresh},
        {"about16", about},
    };
    for (const auto& image : images)
        if (!render(dir, QLatin1String(image.name), image.draw)) return 1;
    return 0;
}
