#include "shell/shell_app.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "shell/message_boxes.h"
#include "shell/core/pack_needs.h"

namespace orvelle {

namespace {

int ShowStartupMessage(const std::string& text, const std::string& caption, unsigned style) {
  return MessageBoxes().Show(nullptr, QString::fromStdString(text), QString::fromStdString(caption),
                             style);
}

}  // namespace

ShellApp::ShellApp(ShellProgram program, MainDialogFactory createMainDialog)
    : program_(program), createMainDialog_(std::move(createMainDialog)) {}

ShellApp::~ShellApp() {
  library_.Unload();
}

bool ShellApp::InitInstance() {
  QStringList arguments = arguments_.value_or(QCoreApplication::arguments().mid(1));
  std::vector<std::string> words;
  for (const QString& argument : arguments)
    words.push_back(argument.toStdString());
  if (!registry_) {
    ownRegistry_ = OpenSystemRegistry();
    registry_ = ownRegistry_.get();
  }
  languageCode_ =
      LanguageCodeForStart(JoinCommandLine(words), languageCode_, *registry_, ShowStartupMessage);

  const QString pack = QString::fromStdString(LanguagePackName(program_, languageCode_));
  if (!library_.Load(pack, packFolders_.value_or(LanguageLibrary::DefaultFolders()),
                     &PackNeedsOf(program_))) {
    const std::string file = LanguagePackFileName(program_, languageCode_);
    const std::string text = library_.Fault().isEmpty()
                                 ? MissingPackMessage(program_, file)
                                 : UnusablePackMessage(library_.FaultPath().toStdString(),
                                                       library_.Fault().toStdString());
    ShowStartupMessage(text, "Error", kMbOk | kMbIconError);
    exitCode_ = 1;
    return false;
  }
  SetCurrentLanguageLibrary(&library_);
  ApplyPackToApplication();
  InitApplication();

  std::unique_ptr<QDialog> dialog = createMainDialog_ ? createMainDialog_() : nullptr;
  if (dialog) {
    mainWindow_ = dialog.get();
    dialog->exec();
    mainWindow_ = nullptr;
  }
  return false;
}

void ShellApp::ApplyPackToApplication() {
  const QStringList fonts = library_.FontFamilies();
  if (!fonts.isEmpty()) {
    QFont font = QApplication::font();
    font.setFamilies(fonts);
    QApplication::setFont(font);
    // Faces the programs name themselves get the pack's fonts for what they lack.
    for (const char* face : {"Arial", "MS Shell Dlg", "MS Shell Dlg 2"}) {
      QFont::insertSubstitutions(face, fonts);
    }
  }
  const QString language = library_.Language();
  if (!language.isEmpty()) {
    QLocale::setDefault(QLocale(language));
    // Qt's own texts (the buttons of message boxes) in the pack's language.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(language), "qtbase", "_",
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      QCoreApplication::installTranslator(translator);
    } else {
      delete translator;
    }
  }
}

void CCalibrationApp::InitApplication() {
  registryKeyName_ = QString::fromLatin1(kRegistryKeyName);
  QCoreApplication::setOrganizationName(registryKeyName_);
}

}  // namespace orvelle
