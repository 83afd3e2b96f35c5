// Draws Mireth's icons and bitmaps and writes them as PNG files named by resource
// number: "<id>-<size>.png" for icons (one file per size), "<id>.png" for bitmaps.
//
//   generate_icons OUTDIR [--sheet FILE]
//
// The PNG files are kept in the repository; run this again after changing a drawing.
// With --sheet it also writes an overview of every image, at its own size and
// enlarged four times, for review.
//
// Every drawing is made on a 32 x 32 design grid and scaled to the size wanted, so the
// whole set shares one palette and one outline width (1/16 of the icon's size: 1 pixel
// at 16, 2 at 32, 3 at 48). Straight outlines run along odd grid lines and plain fills
// end on even ones, which puts their edges on pixel boundaries at 16, 32 and 48 pixels.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>
#include <QTransform>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

// The palette.
const QColor kInk(0x23, 0x32, 0x4d);     // outlines and dark details
const QColor kBlue(0x3b, 0x7d, 0xdd);    // phone body, gear, plane
const QColor kPale(0xdc, 0xe8, 0xfa);    // screens, trays, paper shade
const QColor kWhite(0xff, 0xff, 0xff);   // paper, symbols on colour
const QColor kGreen(0x2e, 0xaa, 0x6e);   // message bubble, incoming
const QColor kOrange(0xf5, 0xa6, 0x23);  // pen, outgoing
const QColor kRed(0xe0, 0x44, 0x3e);     // warning

constexpr double kStroke = 2.0;  // outline width in grid units

QPen InkPen(double width = kStroke) {
  QPen pen(kInk, width);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  return pen;
}

void Outlined(QPainter& p, const QPainterPath& path, const QColor& fill) {
  p.setPen(InkPen());
  p.setBrush(fill);
  p.drawPath(path);
}

QPainterPath RoundRect(double x, double y, double w, double h, double r) {
  QPainterPath path;
  path.addRoundedRect(QRectF(x, y, w, h), r, r);
  return path;
}

QPainterPath Polygon(std::initializer_list<QPointF> points) {
  QPainterPath path;
  path.addPolygon(QPolygonF(QList<QPointF>(points)));
  path.closeSubpath();
  return path;
}

// A hand-held phone standing upright, outline from (x, y) with the given size.
void DrawPhone(QPainter& p, double x, double y, double w, double h) {
  Outlined(p, RoundRect(x, y, w, h, 3), kBlue);
  p.setPen(Qt::NoPen);
  p.setBrush(kPale);
  p.drawRect(QRectF(x + 3, y + 3, w - 6, h - 8));  // screen
  p.setBrush(kWhite);
  p.drawEllipse(QPointF(x + w / 2, y + h - 3), 1.2, 1.2);  // key
}

// A speech bubble with its tail at the lower left and three dots of text.
void DrawBubble(QPainter& p, double x, double y, double w, double h, const QColor& fill) {
  QPainterPath bubble = RoundRect(x, y, w, h, 3);
  bubble = bubble.united(Polygon({{x + 3, y + h - 2}, {x + 1, y + h + 5}, {x + 9, y + h - 2}}));
  Outlined(p, bubble, fill);
  p.setPen(Qt::NoPen);
  p.setBrush(kWhite);
  const double cy = y + h / 2;
  for (int i = -1; i <= 1; ++i)
    p.drawEllipse(QPointF(x + w / 2 + i * 4, cy), 1.4, 1.4);
}

// An in/out tray: a box whose top has a dip in the middle. Drawn after the arrow, so
// the arrow passes behind its front and shows only through the dip.
void DrawTray(QPainter& p) {
  Outlined(p, Polygon({{3, 17}, {11, 17}, {13, 21}, {19, 21}, {21, 17}, {29, 17}, {29, 29}, {3, 29}}), kPale);
}

// A thick arrow along the vertical line x = 16 from yTail to yTip.
void DrawArrow(QPainter& p, double yTail, double yTip, const QColor& fill) {
  const double dir = yTip < yTail ? -1.0 : 1.0;
  const double yBase = yTip - dir * 8;  // where the head meets the shaft
  Outlined(p,
           Polygon({{13, yTail}, {13, yBase}, {8, yBase}, {16, yTip}, {24, yBase}, {19, yBase}, {19, yTail}}),
           fill);
}

// --- the images ---------------------------------------------------------------

// 149 and 31234: the plug-in: a phone with a message bubble.
void DrawPluginIcon(QPainter& p) {
  DrawPhone(p, 3, 9, 14, 20);
  DrawBubble(p, 13, 3, 16, 10, kGreen);
}

// 145: Compose: a sheet of paper and a pen writing on it.
void DrawCompose(QPainter& p) {
  Outlined(p, RoundRect(5, 3, 16, 26, 2), kWhite);
  p.setPen(QPen(kPale, kStroke, Qt::SolidLine, Qt::RoundCap));
  for (double y : {9.0, 13.0, 17.0})
    p.drawLine(QPointF(9, y), QPointF(18, y));
  p.drawLine(QPointF(9, 21), QPointF(13, 21));
  // The pen, drawn lying along the x axis and turned so its tip points down-left.
  p.save();
  p.translate(20, 17);
  p.rotate(-45);
  Outlined(p, Polygon({{-5, -3}, {11, -3}, {11, 3}, {-5, 3}, {-11, 0}}), kOrange);
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawPath(Polygon({{-8.6, -1.2}, {-11, 0}, {-8.6, 1.2}}));  // the point
  p.setPen(InkPen());
  p.drawLine(QPointF(7, -3), QPointF(7, 3));  // the cap's rim
  p.restore();
}

// 146: Outbox: a tray and an arrow going up out of it.
void DrawOutbox(QPainter& p) {
  DrawArrow(p, 22, 4, kOrange);
  DrawTray(p);
}

// 147: Inbox: a tray and an arrow coming down into it.
void DrawInbox(QPainter& p) {
  DrawArrow(p, 4, 22, kGreen);
  DrawTray(p);
}

// 148: Options: a gear wheel: a disc with eight teeth. The teeth are bars through the
// centre, so the upright and level ones have edges on the grid lines.
void DrawOptions(QPainter& p) {
  QPainterPath gear;
  gear.addEllipse(QPointF(16, 16), 9, 9);
  for (int angle = 0; angle < 180; angle += 45) {
    QPainterPath bar;
    bar.addRect(QRectF(3, 13, 26, 6));
    gear = gear.united(QTransform().translate(16, 16).rotate(angle).translate(-16, -16).map(bar));
  }
  QPainterPath hole;
  hole.addEllipse(QPointF(16, 16), 4, 4);
  Outlined(p, gear.subtracted(hole), kBlue);
}

// 153: Send: a paper plane.
void DrawSend(QPainter& p) {
  const QPointF tail(3, 15), nose(29, 3), keel(19, 29), fold(14, 19);
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawPath(Polygon({fold, nose, keel}));
  p.setBrush(kWhite);
  p.drawPath(Polygon({tail, nose, fold}));
  p.setPen(InkPen());
  p.setBrush(Qt::NoBrush);
  p.drawPath(Polygon({tail, nose, keel, fold}));
  p.drawLine(fold, nose);
}

// 152: the error picture: a phone with a red warning sign.
void DrawErrorPicture(QPainter& p) {
  DrawPhone(p, 3, 3, 14, 24);
  Outlined(p, Polygon({{22, 11}, {31, 29}, {13, 29}}), kRed);
  p.setPen(QPen(kWhite, kStroke, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(22, 17), QPointF(22, 22));
  p.setPen(Qt::NoPen);
  p.setBrush(kWhite);
  p.drawEllipse(QPointF(22, 26), 1.2, 1.2);
}

struct Image {
  int nId;
  bool bBitmap;  // a bitmap: one size, "<id>.png"
  std::vector<int> sizes;
  std::function<void(QPainter&)> draw;
};

QImage Render(const Image& image, int size) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  image.draw(p);
  p.end();
  return img;
}

QString FileName(const Image& image, int size) {
  return image.bBitmap ? QStringLiteral("%1.png").arg(image.nId)
                       : QStringLiteral("%1-%2.png").arg(image.nId).arg(size);
}

// One row per image: each size at 1:1, then each size enlarged four times without
// smoothing, so single pixels can be judged.
QImage Sheet(const std::vector<Image>& images) {
  const int zoom = 4, pad = 12, label = 70;
  int width = 0, height = pad;
  for (const Image& image : images) {
    int w = label, h = 0;
    for (int s : image.sizes)
      w += s + pad, h = std::max(h, s * zoom);
    for (int s : image.sizes)
      w += s * zoom + pad;
    width = std::max(width, w + pad);
    height += h + pad;
  }
  QImage sheet(width, height, QImage::Format_ARGB32_Premultiplied);
  sheet.fill(QColor(0xf4, 0xf5, 0xf7));
  QPainter p(&sheet);
  QFont font = p.font();
  font.setPixelSize(14);
  p.setFont(font);
  int y = pad;
  for (const Image& image : images) {
    int h = 0;
    for (int s : image.sizes)
      h = std::max(h, s * zoom);
    p.setPen(kInk);
    p.drawText(QRect(pad, y, label - pad, h), Qt::AlignVCenter | Qt::AlignLeft, QString::number(image.nId));
    int x = label;
    for (int s : image.sizes) {
      p.drawImage(x, y + (h - s) / 2, Render(image, s));
      x += s + pad;
    }
    for (int s : image.sizes) {
      QImage big = Render(image, s).scaled(s * zoom, s * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
      p.drawImage(x, y + (h - s * zoom) / 2, big);
      x += s * zoom + pad;
    }
    y += h + pad;
  }
  p.end();
  return sheet;
}

}  // namespace

int main(int argc, char** argv) {
  // Drawing needs no screen; the sheet's labels need fonts, which need the GUI side.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  QString outDir, sheetFile;
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--sheet") && i + 1 < args.size())
      sheetFile = args[++i];
    else if (outDir.isEmpty() && !args[i].startsWith(QLatin1Char('-')))
      outDir = args[i];
    else {
      std::fprintf(stderr, "usage: generate_icons OUTDIR [--sheet FILE]\n");
      return 2;
    }
  }
  if (outDir.isEmpty()) {
    std::fprintf(stderr, "usage: generate_icons OUTDIR [--sheet FILE]\n");
    return 2;
  }

  const std::vector<Image> images = {
      {149, false, {48}, DrawPluginIcon},  {31234, false, {16, 32, 48}, DrawPluginIcon},
      {145, false, {16, 32}, DrawCompose}, {146, false, {16, 32}, DrawOutbox},
      {147, false, {16, 32}, DrawInbox},   {148, false, {16, 32}, DrawOptions},
      {153, false, {16, 32}, DrawSend},    {152, true, {32}, DrawErrorPicture},
  };

  if (!QDir().mkpath(outDir)) {
    std::fprintf(stderr, "generate_icons: cannot create %s\n", qPrintable(outDir));
    return 1;
  }
  int written = 0;
  for (const Image& image : images) {
    for (int size : image.sizes) {
      const QString path = QDir(outDir).filePath(FileName(image, size));
      if (!Render(image, size).save(path, "PNG")) {
        std::fprintf(stderr, "generate_icons: cannot write %s\n", qPrintable(path));
        return 1;
      }
      ++written;
    }
  }
  if (!sheetFile.isEmpty() && !Sheet(images).save(sheetFile, "PNG")) {
    std::fprintf(stderr, "generate_icons: cannot write %s\n", qPrintable(sheetFile));
    return 1;
  }
  std::printf("%d images written to %s\n", written, qPrintable(outDir));
  return 0;
}
