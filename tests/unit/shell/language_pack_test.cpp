#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include "shell/core/pack_check.h"
#include "shell/core/pack_needs.h"
#include "shell/language_library.h"
#include "tests/support/damage.h"
#include "tests/support/temp_folder.h"

namespace orvelle {
namespace {

QString Bin() {
  return QCoreApplication::applicationDirPath();
}

// Each pack holds what its program looks up, as the program's manifest lists it, with text in
// every string and its language's font.
TEST(LanguagePacks, EachHoldsWhatItsProgramNeedsAndItsLanguagesFont) {
  for (const ShellProgram program : {ShellProgram::Console, ShellProgram::Calibration}) {
    const PackNeeds& needs = PackNeedsOf(program);
    ASSERT_FALSE(needs.strings.empty() || needs.templates.empty() || needs.icons.empty());
    for (const int code : {kLanguageEnglish, kLanguageChinese}) {
      const std::string pack = LanguagePackName(program, code);
      SCOPED_TRACE(pack);
      LanguageLibrary library;
      ASSERT_TRUE(library.Load(QString::fromStdString(pack), {Bin()}, &needs))
          << library.Fault().toStdString();
      EXPECT_TRUE(library.Problems().isEmpty()) << library.Problems().join("\n").toStdString();
      const bool chinese = code == kLanguageChinese;
      EXPECT_EQ(library.Language(), chinese ? "zh_CN" : "en");
      EXPECT_EQ(library.FontFamilies().value(0), chinese ? "WenQuanYi Micro Hei" : "");
      EXPECT_EQ(library.FontFamilies().isEmpty(), !chinese);
      for (int id : needs.strings)
        EXPECT_FALSE(library.String(id).trimmed().isEmpty()) << "string " << id;
      QWidget parent;
      for (int id : needs.templates)
        EXPECT_NE(library.Template(id, &parent), nullptr) << "template " << id;
      for (int id : needs.bitmaps)
        EXPECT_FALSE(library.Bitmap(id).isNull()) << "bitmap " << id;
      // The window and taskbar ask for 16 to 256 pixels; each is drawn, not scaled.
      for (int size : {16, 24, 32, 48, 64, 128, 256})
        EXPECT_TRUE(library.Icon(128).availableSizes().contains(QSize(size, size))) << size;
    }
  }
}

// Only the given absolute folders are searched, in order: the current
// directory holds the packs, yet it is not searched.
TEST(LanguageLibrary, SearchesOnlyTheGivenFoldersAndUnloadForgetsEverything) {
  const QString bin = Bin(), previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(bin));
  LanguageLibrary library;
  EXPECT_FALSE(library.Load("TessalyEnglish", {}));
  EXPECT_FALSE(library.Load("TessalyEnglish", {".", "", "bin"}));
  ASSERT_TRUE(library.Load("TessalyEnglish", {"/nonexistent", "", bin}));
  QDir::setCurrent(previous);
  EXPECT_EQ(library.FilePath(), QDir(bin).filePath("TessalyEnglish.rcc"));
  EXPECT_TRUE(library.String(4242).isNull());
  EXPECT_TRUE(library.Icon(4242).isNull());
  EXPECT_TRUE(library.Bitmap(4242).isNull());
  EXPECT_EQ(library.Template(4242, nullptr), nullptr);
  SetCurrentLanguageLibrary(&library);
  EXPECT_EQ(LoadResourceString(1050), "Error");
  library.Unload();
  EXPECT_EQ(CurrentLanguageLibrary(), nullptr);
  EXPECT_TRUE(LoadResourceString(1050).isEmpty());
  EXPECT_TRUE(library.String(1050).isEmpty());
  EXPECT_TRUE(library.Icon(128).isNull());
}

using Bytes = std::vector<uint8_t>;

Bytes BinPack(const char* pack) {
  std::ifstream in(Bin().toStdString() + "/" + pack + ".rcc", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

using Put = std::function<void(const std::string& path)>;

// The calibration program's English pack, changed, and sealed again when asked.
Put Changed(std::function<void(Bytes&)> change, bool reseal = false) {
  return [=](const std::string& path) {
    Bytes bytes = BinPack("TessalyEnglish");
    if (reseal) bytes.resize(bytes.size() - kPackSealSize);
    change(bytes);
    Write(path, reseal ? SealPack(bytes) : bytes);
  };
}

TEST(LanguageLibrary, AnUnusablePackIsPassedOverAndNamedAsTheFault) {
  // What lies where the calibration program's English pack belongs, and part of Fault().
  const std::tuple<const char*, Put, const char*> cases[] = {
      {"no bundle", [](auto& p) { std::ofstream(p) << "not a resource bundle"; }, "cut short"},
      {"empty", Changed([](Bytes& b) { b.clear(); }), "cut short"},
      {"last byte cut", Changed([](Bytes& b) { b.pop_back(); }), "cut short"},
      {"a bit flipped", Changed([](Bytes& b) { b[b.size() - kPackSealSize - 30] ^= 0x10; }),
       "checksum"},
      {"tree outside, resealed", Changed([](Bytes& b) { b[8] = 0x7F; }, true), "points outside"},
      {"file data outside, resealed",
       Changed(
           [](Bytes& b) {
             // The first file's node (22 bytes each; flags at 4, data offset at 10).
             size_t node = (size_t{b[10]} << 8 | b[11]) + 22;
             while (b[node + 5] & 0x02)
               node += 22;
             b[node + 10] = 0x7F;
           },
           true),
       "lies outside"},
      {"folder", [](auto& p) { std::filesystem::create_directory(p); }, "not a regular file"},
      {"fifo", [](auto& p) { ::mkfifo(p.c_str(), 0600); }, "not a regular file"},
      {"the console's pack", [](auto& p) { Write(p, BinPack("KelvraEnglish")); },
       "lacks what the program needs: string 1050"},
  };
  const PackNeeds& needs = PackNeedsOf(ShellProgram::Calibration);
  for (const auto& [name, put, why] : cases) {
    SCOPED_TRACE(name);
    testing::TempFolder folder;
    const std::string path = folder.File("TessalyEnglish.rcc");
    put(path);
    const QString bad = QString::fromStdString(folder.Path());
    LanguageLibrary library;
    EXPECT_FALSE(library.Load("TessalyEnglish", {bad}, &needs));
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_TRUE(library.Fault().contains(why)) << library.Fault().toStdString();
    EXPECT_EQ(library.FaultPath().toStdString(), path);
    // A sound copy further on is used.
    EXPECT_TRUE(library.Load("TessalyEnglish", {bad, Bin()}, &needs));
    EXPECT_TRUE(library.Fault().isEmpty());
    EXPECT_EQ(library.String(1050), "Error");
  }
}

// What the program would read over a run, and every file of the registered
// tree: what Qt's resource loader must survive.
void UseEverything(const LanguageLibrary& library) {
  const PackNeeds& needs = PackNeedsOf(ShellProgram::Calibration);
  for (int id : needs.strings)
    library.String(id);
  for (QDirIterator it(QStringLiteral(":/"), QDir::Files, QDirIterator::Subdirectories);
       it.hasNext();) {
    QFile file(it.next());
    if (file.open(QIODevice::ReadOnly)) file.readAll();
  }
  for (int id : needs.icons)
    library.Icon(id).pixmap(32);
}

// Damage behind a matching seal: the structure check alone must keep Qt's loader
// within the bundle (most strays show only in the sanitizer builds). Both
// outcomes must occur, or the run proves nothing of the check or of the loader.
TEST(LanguageLibrary, DamagedBundlesWithAMatchingSealNeverLeadQtAstray) {
  testing::TempFolder folder;
  auto bundle = BinPack("TessalyEnglish");
  bundle.resize(bundle.size() - kPackSealSize);
  int loaded = 0, refused = 0;
  for (int n = 0; n < 300; ++n) {
    Write(folder.File("TessalyEnglish.rcc"), SealPack(testing::DamagedCopy(bundle, n)));
    LanguageLibrary library;
    if (!library.Load("TessalyEnglish", {QString::fromStdString(folder.Path())})) {
      ++refused;
      continue;
    }
    ++loaded;
    UseEverything(library);
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(loaded, 0);
}

}  // namespace
}  // namespace orvelle
