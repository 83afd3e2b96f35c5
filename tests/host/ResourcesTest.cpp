// Icons and bitmaps by resource number.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QSize>

#include <algorithm>
#include <cstdlib>

#include "res/Resources.h"

namespace {

// The outline colour every image is drawn with.
const QRgb kInk = qRgb(0x23, 0x32, 0x4d);

// Pixels that are (nearly) opaque, and whether the outline colour is among them.
struct Coverage {
  int opaque = 0;
  bool hasInk = false;
};

Coverage Measure(const QImage& source) {
  const QImage img = source.convertToFormat(QImage::Format_ARGB32);
  Coverage c;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb px = img.pixel(x, y);
      if (qAlpha(px) < 250) continue;
      ++c.opaque;
      // Near enough: small sizes blend the outline with what lies beside it.
      if (std::abs(qRed(px) - qRed(kInk)) <= 40 && std::abs(qGreen(px) - qGreen(kInk)) <= 40 &&
          std::abs(qBlue(px) - qBlue(kInk)) <= 40)
        c.hasInk = true;
    }
  return c;
}

QList<QSize> Sorted(QList<QSize> sizes) {
  std::sort(sizes.begin(), sizes.end(), [](const QSize& a, const QSize& b) { return a.width() < b.width(); });
  return sizes;
}

TEST(Resources, EveryIconComesInItsSizes) {
  struct Expected {
    int nId;
    QList<QSize> sizes;
  };
  const QList<Expected> icons = {
      {IDI_MIRETH, {{48, 48}}},
      {IDI_SMS_MESSAGE, {{16, 16}, {32, 32}, {48, 48}}},
      {IDI_COMPOSE, {{16, 16}, {32, 32}}},
      {IDI_OUTBOX, {{16, 16}, {32, 32}}},
      {IDI_INBOX, {{16, 16}, {32, 32}}},
      {IDI_OPTIONS, {{16, 16}, {32, 32}}},
      {IDI_SEND, {{16, 16}, {32, 32}}},
  };
  for (const Expected& e : icons) {
    SCOPED_TRACE(e.nId);
    const QIcon icon = LoadIconResource(e.nId);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(Sorted(icon.availableSizes()), e.sizes);
    for (const QSize& s : e.sizes) {
      const QPixmap pm = icon.pixmap(s);
      ASSERT_EQ(pm.size(), s);
      // A real drawing: a fair part of it covered, outlined in the common colour.
      const Coverage c = Measure(pm.toImage());
      EXPECT_GT(c.opaque, s.width() * s.height() / 8);
      EXPECT_TRUE(c.hasInk);
    }
  }
  // Each tab has its own picture.
  const QImage inbox = LoadIconResource(IDI_INBOX).pixmap(32, 32).toImage();
  const QImage outbox = LoadIconResource(IDI_OUTBOX).pixmap(32, 32).toImage();
  EXPECT_NE(inbox, outbox);

  for (int nId : {0, -1, 1, 150, IDB_ERROR_PICTURE, 154, 31235, 99999}) {
    SCOPED_TRACE(nId);
    EXPECT_TRUE(LoadIconResource(nId).isNull());
  }
}

TEST(Resources, ErrorBitmap) {
  const QPixmap pm = LoadBitmapResource(IDB_ERROR_PICTURE);
  ASSERT_FALSE(pm.isNull());
  EXPECT_EQ(pm.size(), QSize(32, 32));
  const Coverage c = Measure(pm.toImage());
  EXPECT_GT(c.opaque, 32 * 32 / 8);
  EXPECT_TRUE(c.hasInk);

  // Icons are not bitmaps, and unknown numbers give nothing.
  for (int nId : {0, -1, IDI_MIRETH, IDI_SEND, 151, 99999}) {
    SCOPED_TRACE(nId);
    EXPECT_TRUE(LoadBitmapResource(nId).isNull());
  }
}

}  // namespace
