#pragma once
// Application start-up shared by the console and the calibration program:
// settle the language (command line "0" or "1", else the stored "Language"),
// load the program's language pack as the place every resource comes from,
// run the main dialog modally, and free the pack at the end.
//
// A QApplication must exist; its own arguments (-platform, -style, ...) are
// already gone from QCoreApplication::arguments(), which is what is examined.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "platform/registry.h"
#include "shell/core/language_choice.h"
#include "shell/language_library.h"

namespace orvelle {

class ShellApp {
 public:
  using MainDialogFactory = std::function<std::unique_ptr<QDialog>()>;

  ShellApp(ShellProgram program, MainDialogFactory createMainDialog);
  virtual ~ShellApp();  // frees the language pack
  ShellApp(const ShellApp&) = delete;
  ShellApp& operator=(const ShellApp&) = delete;

  // Start-up. Returns false in every case, so the program ends after the
  // main dialog (or after the error message).
  bool InitInstance();

  // For tests and special starts; by default the system's registry, the
  // application's arguments and LanguageLibrary::DefaultFolders().
  void SetRegistry(Registry* registry) { registry_ = registry; }
  void SetArguments(const QStringList& arguments) { arguments_ = arguments; }
  void SetPackFolders(const QStringList& folders) { packFolders_ = folders; }

  int LanguageCode() const { return languageCode_; }
  const LanguageLibrary& Library() const { return library_; }
  // The main dialog while it runs (the application's main window).
  QDialog* MainWindow() const { return mainWindow_; }
  // 0 after a run, 1 when the language pack was missing or unusable.
  int ExitCode() const { return exitCode_; }

 protected:
  // The toolkit's standard initialisation, run once the pack is loaded.
  virtual void InitApplication() {}

 private:
  void ApplyPackToApplication();

  const ShellProgram program_;
  const MainDialogFactory createMainDialog_;
  int languageCode_ = kInitialLanguageCode;
  LanguageLibrary library_;
  Registry* registry_ = nullptr;
  std::unique_ptr<Registry> ownRegistry_;
  std::optional<QStringList> arguments_;
  std::optional<QStringList> packFolders_;
  QDialog* mainWindow_ = nullptr;
  int exitCode_ = 0;
};

class COrvelleConsoleApp : public ShellApp {
 public:
  explicit COrvelleConsoleApp(MainDialogFactory createMainDialog)
      : ShellApp(ShellProgram::Console, std::move(createMainDialog)) {}
};

class CCalibrationApp : public ShellApp {
 public:
  // The toolkit's registry key name that the calibration program sets; it
  // has no use beyond being recorded (as the organisation name).
  static constexpr const char* kRegistryKeyName = "Local AppWizard-Generated Applications";

  explicit CCalibrationApp(MainDialogFactory createMainDialog)
      : ShellApp(ShellProgram::Calibration, std::move(createMainDialog)) {}
  QString RegistryKeyName() const { return registryKeyName_; }

 protected:
  void InitApplication() override;

 private:
  QString registryKeyName_;
};

}  // namespace orvelle
