// Checks that two packs' dialog templates are the same but for their texts:
// every control, id, geometry, layout and property, in the same order. The
// first difference fails the build, named with both files' lines.
//
//   orvelle-compare-templates <templates folder> <other templates folder> <stamp file>
//
// Texts are the contents of <string> elements; comments are not compared.

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QXmlStreamReader>
#include <cstdio>
#include <vector>

namespace {

struct Token {
  QString text;     // the start or end of an element, or its value
  qint64 line = 0;  // where it is in its file
  QString where;    // the elements it lies in, by name where they have one
};

// The template as a list of what must match; an empty list and `error`
// when it cannot be read.
std::vector<Token> Structure(const QString& path, QString& error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = path + ": " + file.errorString();
    return {};
  }
  QXmlStreamReader xml(&file);
  std::vector<Token> tokens;
  QStringList elements, where;
  while (!xml.atEnd()) {
    const qint64 line = xml.lineNumber();
    switch (xml.readNext()) {
      case QXmlStreamReader::StartElement: {
        QString text = "<" + xml.name().toString();
        for (const QXmlStreamAttribute& a : xml.attributes())
          text += " " + a.name().toString() + "=\"" + a.value().toString() + "\"";
        const QString element = xml.name().toString();
        const QString name = xml.attributes().value("name").toString();
        elements.append(element);
        where.append(name.isEmpty() ? element : element + " " + name);
        tokens.push_back({text + ">", line, where.join(" > ")});
        break;
      }
      case QXmlStreamReader::EndElement:
        tokens.push_back({"</" + xml.name().toString() + ">", line, where.join(" > ")});
        elements.removeLast();
        where.removeLast();
        break;
      case QXmlStreamReader::Characters:
        if (!xml.isWhitespace()) {
          const bool text = !elements.isEmpty() && elements.last() == "string";
          tokens.push_back({text ? "(text)" : xml.text().toString(), line, where.join(" > ")});
        }
        break;
      default:
        break;
    }
  }
  if (xml.hasError())
    error = path + ":" + QString::number(xml.lineNumber()) + ": " + xml.errorString();
  return tokens;
}

// The first difference of the two templates, or "".
QString FirstDifference(const QString& a, const QString& b) {
  QString error;
  const std::vector<Token> left = Structure(a, error), right = Structure(b, error);
  if (!error.isEmpty()) return error;
  for (size_t i = 0; i < left.size() || i < right.size(); ++i) {
    const Token end{"(the end)"};
    const Token& l = i < left.size() ? left[i] : end;
    const Token& r = i < right.size() ? right[i] : end;
    if (l.text == r.text) continue;
    return QString("%1:%2: %3\n%4:%5: %6\n  (in %7)")
        .arg(a)
        .arg(l.line)
        .arg(l.text, b)
        .arg(r.line)
        .arg(r.text, l.where.isEmpty() ? r.where : l.where);
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <templates> <other templates> <stamp file>\n", argv[0]);
    return 2;
  }
  const QDir one(QString::fromLocal8Bit(argv[1])), other(QString::fromLocal8Bit(argv[2]));
  const QStringList names = one.entryList({"*.ui"}, QDir::Files, QDir::Name);
  if (names != other.entryList({"*.ui"}, QDir::Files, QDir::Name)) {
    std::fprintf(stderr, "%s and %s hold different templates\n", argv[1], argv[2]);
    return 1;
  }
  for (const QString& name : names) {
    const QString difference = FirstDifference(one.filePath(name), other.filePath(name));
    if (!difference.isEmpty()) {
      std::fprintf(stderr, "The templates differ other than in their texts:\n%s\n",
                   qPrintable(difference));
      return 1;
    }
  }
  QFile stamp(QString::fromLocal8Bit(argv[3]));
  return stamp.open(QIODevice::WriteOnly | QIODevice::Truncate) ? 0 : 1;
}
