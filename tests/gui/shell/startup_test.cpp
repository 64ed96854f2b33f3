// Application start-up of both programs: the language from the command line
// or the store, the pack it loads, and the messages when either fails.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/file_registry.h"
#include "shell/recording_message_boxes.h"
#include "shell/shell_app.h"

namespace orvelle {
namespace {

namespace fs = std::filesystem;

struct MainDialogRun {
  bool created = false;
  QString pack;  // the current library's pack while the dialog runs
  bool wasMainWindow = false;
};

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "orvelle-startup-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    registry_ = std::make_unique<FileRegistry>(folder_ / "config");
  }
  void TearDown() override { fs::remove_all(folder_); }

  template <class App>
  std::unique_ptr<App> Start(const QStringList& arguments,
                             QStringList folders = {QCoreApplication::applicationDirPath()}) {
    App* running = nullptr;
    auto app = std::make_unique<App>([this, &running] {
      run_.created = true;
      run_.pack = CurrentLanguageLibrary() ? CurrentLanguageLibrary()->PackName() : QString();
      auto dialog = std::make_unique<QDialog>();
      QDialog* raw = dialog.get();
      QTimer::singleShot(0, raw, [this, raw, &running] {
        run_.wasMainWindow = running->MainWindow() == raw;
        raw->accept();
      });
      return dialog;
    });
    running = app.get();
    app->SetRegistry(registry_.get());
    app->SetArguments(arguments);
    app->SetPackFolders(folders);
    EXPECT_FALSE(app->InitInstance()) << "start-up always ends the program";
    return app;
  }

  void StoreLanguage(uint32_t value) {
    std::unique_ptr<RegKey> key;
    ASSERT_EQ(registry_->CreateKey(RegRoot::LocalMachine, kGlobalSettingsKey, RegAccess::AllAccess,
                                   key, nullptr),
              RegStatus::Success);
    SetDwordValue(*key, kLanguageValue, value);
  }

  uint8_t StoredLanguage() {
    std::unique_ptr<RegKey> key;
    uint8_t value[4] = {0xEE};
    size_t size = sizeof value;
    if (registry_->OpenKey(RegRoot::LocalMachine, kGlobalSettingsKey, RegAccess::Read, key) !=
            RegStatus::Success ||
        key->QueryValue(kLanguageValue, nullptr, value, &size) != RegStatus::Success) {
      return 0xEE;
    }
    return value[0];
  }

  fs::path folder_;
  std::unique_ptr<FileRegistry> registry_;
  RecordingMessageBoxes boxes_;
  MainDialogRun run_;
};

TEST_F(StartupTest, FirstStartCreatesTheSettingAndRunsInEnglish) {
  auto app = Start<COrvelleConsoleApp>({});
  EXPECT_TRUE(run_.created);
  EXPECT_EQ(run_.pack, "KelvraEnglish");
  EXPECT_TRUE(run_.wasMainWindow);
  EXPECT_EQ(app->MainWindow(), nullptr) << "the dialog is gone once it returned";
  EXPECT_EQ(StoredLanguage(), 2);
  EXPECT_EQ(boxes_.Count(), 0u);
  EXPECT_EQ(app->ExitCode(), 0);
  // The pack stays the source of resources until the application ends.
  EXPECT_EQ(CurrentLanguageLibrary(), &app->Library());
  app.reset();
  EXPECT_EQ(CurrentLanguageLibrary(), nullptr);
}

TEST_F(StartupTest, CommandLineOneIsChineseAndLeavesTheStoreAlone) {
  auto app = Start<COrvelleConsoleApp>({"1"});
  EXPECT_EQ(run_.pack, "KelvraChinese");
  EXPECT_FALSE(fs::exists(registry_->StorePath(RegRoot::LocalMachine)));
  EXPECT_TRUE(QFont().families().contains("WenQuanYi Micro Hei"));
}

TEST_F(StartupTest, OverlongStoredValueShowsTheMessageAndRunsInEnglish) {
  StoreLanguage(1);
  std::unique_ptr<RegKey> key;
  registry_->OpenKey(RegRoot::LocalMachine, kGlobalSettingsKey, RegAccess::AllAccess, key);
  SetStringValue(*key, kLanguageValue, "Chinese");

  auto app = Start<CCalibrationApp>({});
  ASSERT_EQ(boxes_.Count(), 1u);
  const RecordedMessageBox box = boxes_.Boxes()[0];
  EXPECT_EQ(box.text, "Failed to get register key: Language");
  EXPECT_EQ(box.caption, "Error");
  EXPECT_EQ(box.style, unsigned(kMbOk));
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_TRUE(box.onWindowThread);
  EXPECT_EQ(run_.pack, "TessalyEnglish");
  EXPECT_EQ(app->RegistryKeyName(), "Local AppWizard-Generated Applications");
  EXPECT_EQ(QCoreApplication::organizationName(), "Local AppWizard-Generated Applications");
}

TEST_F(StartupTest, MissingPackShowsTheMessageAndEnds) {
  const QString empty = QString::fromStdString(folder_.string());
  auto console = Start<COrvelleConsoleApp>({}, {empty});
  auto calibration = Start<CCalibrationApp>({"1"}, {empty});
  EXPECT_FALSE(run_.created);
  EXPECT_EQ(console->ExitCode(), 1);
  ASSERT_EQ(boxes_.Count(), 2u);
  const auto shown = boxes_.Boxes();
  EXPECT_EQ(shown[0].text, "Cannot find language file: KelvraEnglish.rcc!");
  EXPECT_EQ(shown[1].text, "Cannot find language file: TessalyChinese.rcc");
  for (const RecordedMessageBox& box : shown) {
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.style, unsigned(kMbOk | kMbIconError));
    EXPECT_EQ(box.owner, nullptr);
  }
  EXPECT_EQ(CurrentLanguageLibrary(), nullptr);
}

// A pack that is there but unusable gets its own message, never the missing
// one and never a silent end.
TEST_F(StartupTest, UnusablePackShowsWhatIsWrongAndEnds) {
  const fs::path bin = QCoreApplication::applicationDirPath().toStdString();
  const struct {
    const char* source;
    const char* why;
  } cases[] = {{"TessalyEnglish.rcc", "checksum"}, {"KelvraEnglish.rcc", "lacks"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    const fs::path pack = folder_ / "TessalyEnglish.rcc";
    fs::copy_file(bin / c.source, pack, fs::copy_options::overwrite_existing);
    if (std::string(c.why) == "checksum") {
      std::fstream file(pack, std::ios::in | std::ios::out | std::ios::binary);
      file.seekp(100);
      file.put('\x5A');
    }
    boxes_.Clear();
    auto app = Start<CCalibrationApp>({"0"}, {QString::fromStdString(folder_.string())});
    EXPECT_FALSE(run_.created);
    EXPECT_EQ(app->ExitCode(), 1);
    ASSERT_EQ(boxes_.Count(), 1u);
    const RecordedMessageBox box = boxes_.Boxes()[0];
    EXPECT_TRUE(box.text.startsWith("Cannot use language file: " + QString::fromStdString(pack)))
        << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(c.why)) << box.text.toStdString();
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.style, unsigned(kMbOk | kMbIconError));
  }
}

// Run as a child process with every default: the real arguments (Qt's and
// the test framework's own removed), the store named by ORVELLE_CONFIG_DIR and
// the packs beside the program.
TEST(StartupDefaults, QtsOwnArgumentsAreGoneBeforeTheCommandLineIsRead) {
  if (qEnvironmentVariableIsSet("ORVELLE_STARTUP_CHILD")) {
    COrvelleConsoleApp app([] {
      std::printf("pack=%s\n", qPrintable(CurrentLanguageLibrary()->PackName()));
      auto dialog = std::make_unique<QDialog>();
      QTimer::singleShot(0, dialog.get(), &QDialog::accept);
      return dialog;
    });
    app.InitInstance();
    return;
  }
  const QString config = QDir::tempPath() + "/orvelle-startup-child-" +
                         QString::number(QCoreApplication::applicationPid());
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("ORVELLE_STARTUP_CHILD", "1");
  env.insert("ORVELLE_CONFIG_DIR", config);
  env.remove("QT_QPA_PLATFORM");
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_filter=StartupDefaults.*", "-platform", "offscreen", "1"});
  ASSERT_TRUE(child.waitForFinished(60000));
  const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
  EXPECT_TRUE(output.contains("pack=KelvraChinese")) << output.toStdString();
  EXPECT_FALSE(QDir(config).exists()) << "a command line of exactly 1 leaves the store alone";
  QDir(config).removeRecursively();
}

}  // namespace
}  // namespace orvelle
