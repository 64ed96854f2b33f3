#pragma once
// A language pack: a Qt binary resource bundle (<Pack>.rcc) holding one
// program's every text, dialog template, icon and bitmap in one language,
// looked up by numeric identifier.
//
// Inside the bundle:
//   strings.txt             the string table (pack_text.h)
//   pack.txt                language and font families
//   templates/<id>.ui       dialog templates; controls are named id<number>
//   icons/<id>/<size>.png   one image per size, or icons/<id>.png
//   bitmaps/<id>.png
//
// A pack file is checked (shell/core/pack_check.h) before Qt sees it: Qt trusts the
// offsets inside a bundle and would read outside a damaged one.

#include <QByteArray>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <map>
#include <string>

class QWidget;

namespace orvelle {

struct PackNeeds;

class LanguageLibrary {
 public:
  LanguageLibrary() = default;
  ~LanguageLibrary();
  LanguageLibrary(const LanguageLibrary&) = delete;
  LanguageLibrary& operator=(const LanguageLibrary&) = delete;

  // Registers "<packName>.rcc" from the first folder that has a sound one
  // holding a string table and everything in `needs`. Empty and relative
  // folders are skipped, so the current directory is never searched.
  bool Load(const QString& packName, const QStringList& folders, const PackNeeds* needs = nullptr);
  void Unload();
  bool IsLoaded() const { return !root_.isEmpty(); }
  QString PackName() const { return packName_; }
  QString FilePath() const { return filePath_; }

  // Empty when the pack has no such string.
  QString String(int id) const;
  bool HasString(int id) const { return strings_.count(id) != 0; }
  // The template's top-level widget, created as a plain child of `parent`;
  // nullptr when the pack has no such template. Needs a QApplication.
  QWidget* Template(int id, QWidget* parent) const;
  bool HasTemplate(int id) const;
  // Null when missing.
  QIcon Icon(int id) const;
  QPixmap Bitmap(int id) const;
  QStringList FontFamilies() const { return fonts_; }
  QString Language() const { return language_; }
  // Problems found in the pack's text files while loading.
  QStringList Problems() const { return problems_; }
  // After a failed Load: why the first pack file found could not be used, and
  // where it is; empty when there was none (the pack is missing).
  QString Fault() const { return fault_; }
  QString FaultPath() const { return faultPath_; }

  // The program's own folder, then the installed data folder.
  static QStringList DefaultFolders();
  static QString FileName(const QString& packName) { return packName + ".rcc"; }

 private:
  QString Path(const QString& inside) const { return ":" + root_ + "/" + inside; }
  QString IconFolder(int id) const;
  bool TryLoad(const QString& packName, const QString& file, const PackNeeds* needs, QString& why);
  void ReadTextFiles();
  QString MissingNeeds(const PackNeeds& needs) const;

  QString packName_;
  QString filePath_;
  QString root_;       // where the bundle is registered; empty when not loaded
  QByteArray bundle_;  // the checked file, registered from memory
  std::map<int, QString> strings_;
  QStringList fonts_;
  QString language_;
  QStringList problems_;
  QString fault_;
  QString faultPath_;
};

// The library every lookup goes to once start-up loaded one (the toolkit's
// current resource handle); nullptr before.
LanguageLibrary* CurrentLanguageLibrary();
void SetCurrentLanguageLibrary(LanguageLibrary* library);

// String `id` of the current library; empty without one.
QString LoadResourceString(int id);

}  // namespace orvelle
