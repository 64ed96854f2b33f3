// Every identifier that a pack family's manifest lists must be in every pack
// of that family, and the loader must find packs only where it should.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QWidget>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "shell/language_library.h"

namespace orvelle {
namespace {

struct Manifest {
  std::string family;
  std::vector<std::string> packs;
  std::map<std::string, std::vector<int>> ids;  // kind -> identifiers
};

// "string 101 1054-1066": a kind and its identifiers, ranges inclusive.
Manifest ReadManifest(const std::string& family) {
  Manifest manifest{family, {}, {}};
  std::ifstream in(std::string(ORVELLE_RESOURCES_DIR) + "/" + family + ".manifest");
  EXPECT_TRUE(in.good()) << family;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind, word;
    if (!(words >> kind) || kind.starts_with('#')) continue;
    while (words >> word) {
      if (kind == "pack") {
        manifest.packs.push_back(word);
        continue;
      }
      const size_t dash = word.find('-');
      const int first = std::stoi(word.substr(0, dash));
      const int last = dash == std::string::npos ? first : std::stoi(word.substr(dash + 1));
      for (int id = first; id <= last; ++id)
        manifest.ids[kind].push_back(id);
    }
  }
  return manifest;
}

QStringList BinFolder() {
  return {QCoreApplication::applicationDirPath()};
}

class PackFamily : public ::testing::TestWithParam<const char*> {};

TEST_P(PackFamily, EveryPackHoldsEveryListedIdentifier) {
  const Manifest manifest = ReadManifest(GetParam());
  ASSERT_EQ(manifest.packs.size(), 2u);
  const std::vector<std::string> known = {"string", "template", "icon", "bitmap"};
  for (const auto& [kind, ids] : manifest.ids) {
    EXPECT_NE(std::find(known.begin(), known.end(), kind), known.end()) << "kind " << kind;
  }
  auto ids = [&](const char* kind) {
    auto it = manifest.ids.find(kind);
    return it == manifest.ids.end() ? std::vector<int>() : it->second;
  };
  for (const std::string& pack : manifest.packs) {
    SCOPED_TRACE(pack);
    LanguageLibrary library;
    ASSERT_TRUE(library.Load(QString::fromStdString(pack), BinFolder()));
    EXPECT_TRUE(library.Problems().isEmpty()) << library.Problems().join("\n").toStdString();
    for (int id : ids("string")) {
      EXPECT_TRUE(library.HasString(id)) << "string " << id;
      EXPECT_FALSE(library.String(id).trimmed().isEmpty()) << "string " << id;
    }
    for (int id : ids("template")) {
      QWidget parent;
      EXPECT_NE(library.Template(id, &parent), nullptr) << "template " << id;
    }
    for (int id : ids("icon")) {
      const QIcon icon = library.Icon(id);
      EXPECT_FALSE(icon.isNull()) << "icon " << id;
      if (id == 128) {
        // The window and taskbar ask for 16 to 256 pixels; each is drawn, not scaled.
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
          EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
        }
      }
    }
    for (int id : ids("bitmap"))
      EXPECT_FALSE(library.Bitmap(id).isNull()) << "bitmap " << id;
  }
}

TEST_P(PackFamily, ChinesePackNamesACjkFontAndEnglishPackNone) {
  const Manifest manifest = ReadManifest(GetParam());
  for (const std::string& pack : manifest.packs) {
    LanguageLibrary library;
    ASSERT_TRUE(library.Load(QString::fromStdString(pack), BinFolder()));
    if (pack.ends_with("Chinese")) {
      EXPECT_EQ(library.Language(), "zh_CN");
      ASSERT_FALSE(library.FontFamilies().isEmpty());
      EXPECT_EQ(library.FontFamilies().front(), "WenQuanYi Micro Hei");
    } else {
      EXPECT_EQ(library.Language(), "en");
      EXPECT_TRUE(library.FontFamilies().isEmpty());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Packs, PackFamily, ::testing::Values("Kelvra", "Tessaly"));

TEST(LanguageLibrary, MissingStringsAreEmptyAndUnloadForgetsEverything) {
  LanguageLibrary library;
  ASSERT_TRUE(library.Load("TessalyEnglish", BinFolder()));
  EXPECT_EQ(library.String(1050), "Error");
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

TEST(LanguageLibrary, SearchesOnlyTheGivenAbsoluteFoldersInOrder) {
  const QString bin = QCoreApplication::applicationDirPath();
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(bin));
  LanguageLibrary library;
  // The current directory holds the packs, yet it is not searched.
  EXPECT_FALSE(library.Load("KelvraEnglish", {}));
  EXPECT_FALSE(library.Load("KelvraEnglish", {".", "", "bin"}));
  EXPECT_TRUE(library.Load("KelvraEnglish", {"/nonexistent", "", bin}));
  EXPECT_EQ(library.FilePath(), QDir(bin).filePath("KelvraEnglish.rcc"));
  QDir::setCurrent(previous);
}

TEST(LanguageLibrary, ABundleThatIsNoPackIsPassedOver) {
  const QString folder = QDir::tempPath() + "/orvelle-notapack-" + QString::number(::getpid());
  ASSERT_TRUE(QDir().mkpath(folder));
  QFile junk(folder + "/KelvraEnglish.rcc");
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("not a resource bundle");
  junk.close();
  LanguageLibrary library;
  EXPECT_TRUE(library.Load("KelvraEnglish", {folder, QCoreApplication::applicationDirPath()}));
  EXPECT_EQ(library.FilePath(),
            QDir(QCoreApplication::applicationDirPath()).filePath("KelvraEnglish.rcc"));
  EXPECT_FALSE(library.Load("KelvraEnglish", {folder}));
  QDir(folder).removeRecursively();
}

}  // namespace
}  // namespace orvelle
