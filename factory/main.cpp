// OrvelleFactoryConfig2: the factory touch-count tool.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "factory/factory_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("OrvelleFactoryConfig2"));
  // Every text of the tool is Chinese; Qt's own (the buttons of message boxes)
  // should be too.
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                   QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTexts);
  }
  orvelle::COrvelleFactoryConfig2App app;
  app.InitInstance();
  return 0;
}
