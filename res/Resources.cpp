#include "res/Resources.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <mutex>

// The registration of the compiled image data lives in an object file of the static
// library that nothing else refers to; naming it here keeps the linker from dropping
// it. The macro must be used outside any namespace.
static void InitImageResources() {
  static std::once_flag once;
  std::call_once(once, [] { Q_INIT_RESOURCE(mireth_icons); });
}

namespace {

const char kImageFolder[] = ":/mireth/icons";

}  // namespace

QIcon LoadIconResource(int nId) {
  InitImageResources();
  if (nId <= 0)
    return QIcon();
  // Every size of icon nId: files "<nId>-<size>.png".
  const QDir dir(QString::fromLatin1(kImageFolder));
  const QString prefix = QString::number(nId) + QLatin1Char('-');
  static const QRegularExpression sizePart(QStringLiteral("^[0-9]+\\.png$"));
  QIcon icon;
  for (const QString& name : dir.entryList({prefix + QStringLiteral("*.png")}, QDir::Files, QDir::Name)) {
    if (!sizePart.match(name.mid(prefix.size())).hasMatch())
      continue;
    QPixmap pixmap(dir.filePath(name), "PNG");
    if (!pixmap.isNull())
      icon.addPixmap(pixmap);
  }
  return icon;
}

QPixmap LoadBitmapResource(int nId) {
  InitImageResources();
  if (nId <= 0)
    return QPixmap();
  const QString path =
      QDir(QString::fromLatin1(kImageFolder)).filePath(QString::number(nId) + QStringLiteral(".png"));
  if (!QFileInfo::exists(path))
    return QPixmap();
  return QPixmap(path, "PNG");
}
