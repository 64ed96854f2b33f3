#include "shell/language_library.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QResource>
#include <QWidget>
#include <QtUiTools/QUiLoader>
#include <atomic>

#include "shell/pack_text.h"

#ifndef ORVELLE_DATA_DIR
#error "ORVELLE_DATA_DIR must name the installed data folder"
#endif

namespace orvelle {

namespace {

std::atomic<LanguageLibrary*> currentLibrary{nullptr};

QByteArray ReadResource(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

LanguageLibrary::~LanguageLibrary() {
  Unload();
}

bool LanguageLibrary::Load(const QString& packName, const QStringList& folders) {
  Unload();
  // Each load gets its own root, so two libraries of one pack never share one.
  static std::atomic<int> loads{0};
  for (const QString& folder : folders) {
    if (folder.isEmpty() || QDir::isRelativePath(folder)) continue;
    const QString file = QDir(folder).filePath(FileName(packName));
    if (!QFileInfo(file).isFile()) continue;
    const QString root = QStringLiteral("/orvelle-pack-%1/%2").arg(++loads).arg(packName);
    if (!QResource::registerResource(file, root)) continue;
    if (!QFileInfo::exists(":" + root + "/strings.txt")) {
      // Some other bundle under the pack's name; the next folder may hold the real one.
      QResource::unregisterResource(file, root);
      continue;
    }
    packName_ = packName;
    filePath_ = file;
    root_ = root;
    ReadTextFiles();
    return true;
  }
  return false;
}

void LanguageLibrary::ReadTextFiles() {
  std::vector<std::string> problems;
  const QByteArray strings = ReadResource(Path("strings.txt"));
  for (auto& [id, text] : ParseStringTable(strings.toStdString(), problems)) {
    strings_[id] = QString::fromStdString(text);
  }
  const QByteArray pack = ReadResource(Path("pack.txt"));
  const PackSettings settings = ParsePackSettings(pack.toStdString(), problems);
  language_ = QString::fromStdString(settings.language);
  for (const std::string& font : settings.fonts)
    fonts_ << QString::fromStdString(font);
  for (const std::string& problem : problems) {
    problems_ << QString::fromStdString(problem);
    qWarning("%s: %s", qPrintable(filePath_), problem.c_str());
  }
}

void LanguageLibrary::Unload() {
  if (CurrentLanguageLibrary() == this) SetCurrentLanguageLibrary(nullptr);
  if (!root_.isEmpty()) QResource::unregisterResource(filePath_, root_);
  root_.clear();
  packName_.clear();
  filePath_.clear();
  strings_.clear();
  fonts_.clear();
  language_.clear();
  problems_.clear();
}

QString LanguageLibrary::String(int id) const {
  auto it = strings_.find(id);
  return it == strings_.end() ? QString() : it->second;
}

bool LanguageLibrary::HasTemplate(int id) const {
  return IsLoaded() && QFileInfo::exists(Path(QStringLiteral("templates/%1.ui").arg(id)));
}

QWidget* LanguageLibrary::Template(int id, QWidget* parent) const {
  if (!HasTemplate(id)) return nullptr;
  QFile file(Path(QStringLiteral("templates/%1.ui").arg(id)));
  if (!file.open(QIODevice::ReadOnly)) return nullptr;
  QUiLoader loader;
  QWidget* widget = loader.load(&file, parent);
  if (!widget) {
    qWarning("%s: template %d: %s", qPrintable(filePath_), id, qPrintable(loader.errorString()));
    return nullptr;
  }
  // A template drawn as a dialog becomes the content of the program's own one.
  if (parent && widget->isWindow()) widget->setWindowFlags(Qt::Widget);
  return widget;
}

QString LanguageLibrary::IconFolder(int id) const {
  return Path(QStringLiteral("icons/%1").arg(id));
}

QIcon LanguageLibrary::Icon(int id) const {
  if (!IsLoaded()) return QIcon();
  QIcon icon;
  const QDir sizes(IconFolder(id));
  for (const QString& name : sizes.entryList({"*.png"}, QDir::Files)) {
    icon.addFile(sizes.filePath(name));
  }
  const QString single = IconFolder(id) + ".png";
  if (icon.isNull() && QFileInfo::exists(single)) icon.addFile(single);
  return icon;
}

QPixmap LanguageLibrary::Bitmap(int id) const {
  if (!IsLoaded()) return QPixmap();
  return QPixmap(Path(QStringLiteral("bitmaps/%1.png").arg(id)));
}

QStringList LanguageLibrary::DefaultFolders() {
  return {QCoreApplication::applicationDirPath(), QStringLiteral(ORVELLE_DATA_DIR)};
}

LanguageLibrary* CurrentLanguageLibrary() {
  return currentLibrary.load();
}

void SetCurrentLanguageLibrary(LanguageLibrary* library) {
  currentLibrary.store(library);
}

QString LoadResourceString(int id) {
  LanguageLibrary* library = CurrentLanguageLibrary();
  return library ? library->String(id) : QString();
}

}  // namespace orvelle
