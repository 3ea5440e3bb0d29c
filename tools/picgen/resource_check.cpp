// Links the compiled-in pictures exactly as the client does (no init call) and checks that every
// one of them opens from ":/pictures/<name>" and decodes as a picture.
#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QString>
#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList names = QString::fromLatin1(KELVORA_PICTURES).split(QLatin1Char(','));
  int failures = 0;
  for (const QString& name : names) {
    const QString path = QStringLiteral(":/pictures/") + name;
    QImageReader reader(path);
    if (!QFile(path).exists() || !reader.canRead() || !reader.size().isValid()) {
      std::fprintf(stderr, "kelvora_picgen_resources: %s does not open\n", qPrintable(path));
      ++failures;
    }
  }
  if (failures == 0)
    std::printf("kelvora_picgen_resources: %lld pictures open from the resources\n",
                static_cast<long long>(names.size()));
  return failures == 0 ? 0 : 1;
}
