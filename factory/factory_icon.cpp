#include "factory/factory_icon.h"

#include <QDir>
#include <QFileInfo>

namespace orvelle::factory {

QIcon AppIcon() {
  // One image per size, each drawn on its own pixel grid.
  QIcon icon;
  const QDir folder(QStringLiteral(":/factory/icons/128"));
  for (const QFileInfo& image : folder.entryInfoList({QStringLiteral("*.png")}, QDir::Files)) {
    icon.addFile(image.filePath());
  }
  return icon;
}

}  // namespace orvelle::factory
