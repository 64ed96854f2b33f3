// Start-up of both programs: the language, the pack it loads, and failures.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "platform/file_registry.h"
#include "shell/recording_message_boxes.h"
#include "shell/shell_app.h"
#include "tests/support/temp_folder.h"

namespace orvelle {
namespace {

namespace fs = std::filesystem;

class StartupTest : public ::testing::Test {
 protected:
  template <class App>
  std::unique_ptr<App> Start(const QStringList& arguments,
                             QStringList folders = {QCoreApplication::applicationDirPath()}) {
    std::unique_ptr<App> app = std::make_unique<App>([this, &app] {
      created_ = true;
      pack_ = CurrentLanguageLibrary() ? CurrentLanguageLibrary()->PackName() : QString();
      auto dialog = std::make_unique<QDialog>();
      QDialog* raw = dialog.get();
      QTimer::singleShot(0, raw, [this, raw, &app] {
        wasMainWindow_ = app->MainWindow() == raw;
        raw->accept();
      });
      return dialog;
    });
    app->SetRegistry(registry_.get());
    app->SetArguments(arguments);
    app->SetPackFolders(folders);
    EXPECT_FALSE(app->InitInstance()) << "start-up always ends the program";
    return app;
  }

  std::vector<std::string> Shown() const {
    std::vector<std::string> shown;
    for (const RecordedMessageBox& b : boxes_.Boxes())
      shown.push_back((b.caption + "|" + b.text + "|").toStdString() + std::to_string(b.style));
    return shown;
  }

  orvelle::testing::TempFolder temp_;
  const fs::path folder_ = temp_.Path();
  std::unique_ptr<FileRegistry> registry_ = std::make_unique<FileRegistry>(folder_ / "config");
  RecordingMessageBoxes boxes_;
  bool created_ = false, wasMainWindow_ = false;
  QString pack_;  // the current library's pack while the dialog runs
};

TEST_F(StartupTest, FirstStartCreatesTheSettingAndAnUnreadableOneRunsInEnglish) {
  std::unique_ptr<ShellApp> app = Start<COrvelleConsoleApp>({});
  EXPECT_EQ(pack_, "KelvraEnglish");
  EXPECT_TRUE(wasMainWindow_);
  EXPECT_EQ(app->MainWindow(), nullptr) << "the dialog is gone once it returned";
  EXPECT_EQ(boxes_.Count(), 0u);
  EXPECT_EQ(app->ExitCode(), 0);
  // The pack stays the source of resources until the application ends.
  EXPECT_EQ(CurrentLanguageLibrary(), &app->Library());
  app.reset();
  EXPECT_EQ(CurrentLanguageLibrary(), nullptr);

  // A stored value too long for the number shows the message and runs in English.
  std::unique_ptr<RegKey> key;
  ASSERT_EQ(registry_->CreateKey(RegRoot::LocalMachine, kGlobalSettingsKey, RegAccess::AllAccess,
                                 key, nullptr),
            RegStatus::Success);
  SetStringValue(*key, kLanguageValue, "Chinese");
  app = Start<CCalibrationApp>({});
  EXPECT_EQ(Shown(), std::vector<std::string>{"Error|Failed to get register key: Language|0"});
  EXPECT_TRUE(boxes_.Boxes()[0].onWindowThread);
  EXPECT_EQ(pack_, "TessalyEnglish");
  EXPECT_EQ(static_cast<CCalibrationApp&>(*app).RegistryKeyName(),
            "Local AppWizard-Generated Applications");
  EXPECT_EQ(QCoreApplication::organizationName(), "Local AppWizard-Generated Applications");
}

// A pack that is missing or unusable gets its own message, never a silent end.
TEST_F(StartupTest, WithoutAUsablePackTheMessageSaysWhyAndTheProgramEnds) {
  const fs::path bin = QCoreApplication::applicationDirPath().toStdString();
  const fs::path pack = folder_ / "TessalyEnglish.rcc";
  const std::string unusable = "Error|Cannot use language file: " + pack.string();
  // calibration, arguments, the pack copied in as TessalyEnglish.rcc, the box's start, why
  const std::tuple<bool, QStringList, const char*, std::string, const char*> cases[] = {
      {false, {}, nullptr, "Error|Cannot find language file: KelvraEnglish.rcc!|", ""},
      {true, {"1"}, nullptr, "Error|Cannot find language file: TessalyChinese.rcc|", ""},
      {true, {"0"}, "KelvraEnglish.rcc", unusable, "lacks"},
  };
  for (const auto& [calibration, arguments, copied, start, why] : cases) {
    SCOPED_TRACE(start + why);
    if (copied) fs::copy_file(bin / copied, pack);
    boxes_.Clear();
    created_ = false;
    const QStringList folders = {QString::fromStdString(folder_.string())};
    const std::unique_ptr<ShellApp> app =
        calibration ? std::unique_ptr<ShellApp>(Start<CCalibrationApp>(arguments, folders))
                    : Start<COrvelleConsoleApp>(arguments, folders);
    EXPECT_FALSE(created_);
    EXPECT_EQ(app->ExitCode(), 1);
    const std::vector<std::string> shown = Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].starts_with(start) && shown[0].find(why) != std::string::npos &&
                shown[0].ends_with("|" + std::to_string(kMbOk | kMbIconError)))
        << shown[0];
    EXPECT_EQ(boxes_.Boxes()[0].owner, nullptr);
  }
  EXPECT_EQ(CurrentLanguageLibrary(), nullptr);
}

// A child process with every default: real arguments less Qt's and the test framework's.
TEST_F(StartupTest, QtsOwnArgumentsAreGoneBeforeTheCommandLineIsRead) {
  if (qEnvironmentVariableIsSet("ORVELLE_STARTUP_CHILD")) {
    COrvelleConsoleApp app([] {
      std::printf("pack=%s font=%d\n", qPrintable(CurrentLanguageLibrary()->PackName()),
                  QFont().families().contains("WenQuanYi Micro Hei"));
      auto dialog = std::make_unique<QDialog>();
      QTimer::singleShot(0, dialog.get(), &QDialog::accept);
      return dialog;
    });
    app.InitInstance();
    return;
  }
  const QString config = QString::fromStdString((folder_ / "child").string());
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("ORVELLE_STARTUP_CHILD", "1");
  env.insert("ORVELLE_CONFIG_DIR", config);
  env.remove("QT_QPA_PLATFORM");
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_filter=StartupTest.QtsOwn*", "-platform", "offscreen", "1"});
  ASSERT_TRUE(child.waitForFinished(60000));
  const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
  EXPECT_TRUE(output.contains("pack=KelvraChinese font=1")) << output.toStdString();
  EXPECT_FALSE(QDir(config).exists()) << "a command line of exactly 1 leaves the store alone";
}

}  // namespace
}  // namespace orvelle
