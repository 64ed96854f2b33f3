// OrvelleFactoryConfig2: the factory touch-count tool.
#include <QApplication>

#include "factory/factory_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("OrvelleFactoryConfig2"));
  orvelle::COrvelleFactoryConfig2App app;
  app.InitInstance();
  return 0;
}
