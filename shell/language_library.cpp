#include "shell/language_library.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QResource>
#include <QWidget>
#include <QtUiTools/QUiLoader>
#include <atomic>

#include "shell/core/pack_check.h"
#include "shell/core/pack_needs.h"
#include "shell/core/pack_text.h"

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

bool LanguageLibrary::Load(const QString& packName, const QStringList& folders,
                           const PackNeeds* needs) {
  Unload();
  fault_.clear();
  faultPath_.clear();
  for (const QString& folder : folders) {
    if (folder.isEmpty() || QDir::isRelativePath(folder)) continue;
    const QString file = QDir(folder).filePath(FileName(packName));
    if (!QFileInfo::exists(file)) continue;
    QString why;
    if (TryLoad(packName, file, needs, why)) {
      fault_.clear();
      faultPath_.clear();
      return true;
    }
    // The next folder may hold a sound copy; the first fault is the one reported.
    qWarning("%s: %s", qPrintable(file), qPrintable(why));
    if (fault_.isEmpty()) {
      fault_ = why;
      faultPath_ = file;
    }
  }
  return false;
}

bool LanguageLibrary::TryLoad(const QString& packName, const QString& file, const PackNeeds* needs,
                              QString& why) {
  // Checked for its kind before it is opened: a FIFO would block the open.
  if (!QFileInfo(file).isFile()) {
    why = QStringLiteral("it is not a regular file");
    return false;
  }
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) {
    why = QStringLiteral("it cannot be read (%1)").arg(in.errorString());
    return false;
  }
  const QByteArray content = in.read(static_cast<qint64>(kMaxPackBytes) + 1);
  size_t bundleSize = 0;
  std::string problem;
  if (!CheckPackFile({reinterpret_cast<const uint8_t*>(content.constData()),
                      static_cast<size_t>(content.size())},
                     bundleSize, problem)) {
    why = QString::fromStdString(problem);
    return false;
  }
  // Each load gets its own root, so two libraries of one pack never share one.
  static std::atomic<int> loads{0};
  const QString root = QStringLiteral("/orvelle-pack-%1/%2").arg(++loads).arg(packName);
  // Registered from the bytes that were checked, which no later change of the
  // file can reach.
  if (!QResource::registerResource(reinterpret_cast<const uchar*>(content.constData()), root)) {
    why = QStringLiteral("it is not a resource bundle");
    return false;
  }
  packName_ = packName;
  filePath_ = file;
  root_ = root;
  bundle_ = content;
  if (!QFileInfo::exists(Path("strings.txt"))) {
    why = QStringLiteral("it holds no string table");
    Unload();
    return false;
  }
  ReadTextFiles();
  if (needs) {
    why = MissingNeeds(*needs);
    if (!why.isEmpty()) {
      Unload();
      return false;
    }
  }
  return true;
}

QString LanguageLibrary::MissingNeeds(const PackNeeds& needs) const {
  QStringList missing;
  auto look = [&](const char* kind, const std::vector<int>& ids, auto has) {
    for (int id : ids) {
      if (!has(id)) missing << QStringLiteral("%1 %2").arg(QLatin1String(kind)).arg(id);
    }
  };
  look("string", needs.strings, [this](int id) { return HasString(id); });
  look("template", needs.templates, [this](int id) { return HasTemplate(id); });
  look("icon", needs.icons, [this](int id) { return !Icon(id).isNull(); });
  look("bitmap", needs.bitmaps, [this](int id) {
    return QFileInfo::exists(Path(QStringLiteral("bitmaps/%1.png").arg(id)));
  });
  if (missing.isEmpty()) return QString();
  constexpr int kNamed = 6;
  QString list = QStringList(missing.mid(0, kNamed)).join(", ");
  if (missing.size() > kNamed) list += QStringLiteral(" and %1 more").arg(missing.size() - kNamed);
  return QStringLiteral("it lacks what the program needs: ") + list;
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
  if (!root_.isEmpty()) {
    QResource::unregisterResource(reinterpret_cast<const uchar*>(bundle_.constData()), root_);
  }
  root_.clear();
  bundle_.clear();
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
  // Templates use Qt's own widgets only. The loader would load Designer's
  // widget plugins as it is made (one of them drags in Qt Quick), costing every
  // start time and memory for nothing, so it is made while no library path is
  // set, and the paths go back at once.
  const QStringList libraryPaths = QCoreApplication::libraryPaths();
  QCoreApplication::setLibraryPaths({});
  QUiLoader loader;
  QCoreApplication::setLibraryPaths(libraryPaths);
  loader.clearPluginPaths();
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
