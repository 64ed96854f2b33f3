// The floor of the console's start-up: a bare Qt Widgets program that loads
// the console's templates from its language pack, as the console does, puts
// the pages into the main template's tabs and shows its window, titled
// "Floor". No link, no settings, no pages' code.
//   floor_console_window PACK.rcc
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QResource>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QtUiTools/QUiLoader>

namespace {

constexpr int kMainTemplate = 102;
constexpr int kPageTemplates[] = {129, 131, 132, 133, 134};

QWidget* LoadTemplate(QUiLoader& loader, int id, QWidget* parent) {
  QFile file(QStringLiteral(":/floor/templates/%1.ui").arg(id));
  if (!file.open(QIODevice::ReadOnly)) return nullptr;
  QWidget* widget = loader.load(&file, parent);
  if (widget && widget->isWindow()) widget->setWindowFlags(Qt::Widget);
  return widget;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QFile pack(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
  if (!pack.open(QIODevice::ReadOnly)) return 2;
  const QByteArray bundle = pack.readAll();
  if (!QResource::registerResource(reinterpret_cast<const uchar*>(bundle.constData()), "/floor"))
    return 2;
  // As the console makes its loader: without Designer's widget plugins.
  const QStringList libraryPaths = QCoreApplication::libraryPaths();
  QCoreApplication::setLibraryPaths({});
  QUiLoader loader;
  QCoreApplication::setLibraryPaths(libraryPaths);
  loader.clearPluginPaths();

  QDialog window;
  window.setWindowTitle(QStringLiteral("Floor"));
  QWidget* main = LoadTemplate(loader, kMainTemplate, &window);
  if (!main) return 2;
  (new QVBoxLayout(&window))->addWidget(main);
  QTabWidget* tabs = main->findChild<QTabWidget*>();
  if (!tabs) tabs = new QTabWidget(main);
  for (const int id : kPageTemplates) {
    QWidget* page = LoadTemplate(loader, id, nullptr);
    if (!page) return 2;
    tabs->addTab(page, QString::number(id));
  }
  window.show();
  return application.exec();
}
