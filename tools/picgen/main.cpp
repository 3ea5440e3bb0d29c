// kelvora_picgen: draws every picture of the interface.
//
//   kelvora_picgen --img DIR --pictures DIR [--font FILE]            write all pictures
//   kelvora_picgen --img DIR --pictures DIR --verify                 check they are all there
//
// "img/..." entries of the table go under --img, "pictures/..." entries under --pictures. The
// check reads every file back and fails unless each exists at exactly its size.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <cstdio>

#ifdef KELVORA_PICGEN_LIBJPEG
#include <jpeglib.h>
#endif

#include "tools/picgen/picgen.h"

namespace picgen {

QImage render(const Pic& pic) {
  switch (pic.kind) {
    case Kind::Panel:
      return drawPanel(pic);
    case Kind::PanelBadge:
      return drawPanelBadge(pic);
    case Kind::SearchSide:
      return drawSearchSide(pic);
    case Kind::Strip:
      return drawStrip(pic);
    case Kind::NavTab:
      return drawNavTab(pic);
    case Kind::NavMinimise:
    case Kind::NavExit:
      return drawNavButton(pic);
    case Kind::AppIcon:
      return drawAppIcon(pic);
    case Kind::FaqTab:
      return drawFaqTab(pic);
    case Kind::FaqPage:
      return drawFaqPage(pic);
    case Kind::Background:
    case Kind::Button:
    case Kind::OutlineButton:
    case Kind::TitleButton:
    case Kind::Link:
    case Kind::Close:
    case Kind::Hint:
      return drawDialogPiece(pic);
  }
  return {};
}

}  // namespace picgen

namespace {

struct Options {
  QString imgDir, picturesDir;
  QString font = QStringLiteral("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc");
  bool verify = false;
};

void fail(const QString& message) {
  std::fprintf(stderr, "kelvora_picgen: %s\n", qPrintable(message));
}

bool parse(const QStringList& args, Options& o) {
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == QLatin1String("--img") && hasValue) {
      o.imgDir = args[++i];
    } else if (a == QLatin1String("--pictures") && hasValue) {
      o.picturesDir = args[++i];
    } else if (a == QLatin1String("--font") && hasValue) {
      o.font = args[++i];
    } else if (a == QLatin1String("--verify")) {
      o.verify = true;
    } else {
      fail(QStringLiteral("unknown argument %1").arg(a));
      return false;
    }
  }
  if (o.imgDir.isEmpty() || o.picturesDir.isEmpty()) {
    fail(QStringLiteral("usage: kelvora_picgen --img DIR --pictures DIR [--font FILE] [--verify]"));
    return false;
  }
  return true;
}

// JPEG at quality 92. With libjpeg the colour is kept at full resolution (4:4:4), which keeps
// coloured text sharp; Qt's own writer halves it.
bool writeJpeg(const QImage& image, const QString& path, QString& error) {
#ifdef KELVORA_PICGEN_LIBJPEG
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
  if (!out) {
    error = QStringLiteral("cannot write");
    return false;
  }
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = static_cast<JDIMENSION>(rgb.width());
  info.image_height = static_cast<JDIMENSION>(rgb.height());
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 92, TRUE);
  for (int c = 0; c < info.num_components; ++c) {
    info.comp_info[c].h_samp_factor = 1;
    info.comp_info[c].v_samp_factor = 1;
  }
  info.optimize_coding = TRUE;
  info.density_unit = 1;  // dots per inch
  info.X_density = 96;
  info.Y_density = 96;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  const bool ok = std::fclose(out) == 0;
  if (!ok) error = QStringLiteral("cannot write");
  return ok;
#else
  QImageWriter writer(path, "jpeg");
  writer.setQuality(92);
  if (writer.write(image.convertToFormat(QImage::Format_RGB32))) return true;
  error = writer.errorString();
  return false;
#endif
}

QString outputPath(const Options& o, const QString& file) {
  const int slash = file.indexOf(QLatin1Char('/'));
  const QString root = file.left(slash) == QLatin1String("img") ? o.imgDir : o.picturesDir;
  return QDir(root).filePath(file.mid(slash + 1));
}

bool loadFont(const QString& file) {
  const int id = QFontDatabase::addApplicationFont(file);
  if (id < 0 || !QFontDatabase::applicationFontFamilies(id).contains(
                    QString::fromLatin1(picgen::kFontFamily))) {
    fail(QStringLiteral("cannot load the font \"%1\" from %2")
             .arg(QString::fromLatin1(picgen::kFontFamily), file));
    return false;
  }
  const QFontInfo resolved(picgen::uiFont(13));
  if (resolved.family() != QString::fromLatin1(picgen::kFontFamily)) {
    fail(QStringLiteral("the font resolves to \"%1\"").arg(resolved.family()));
    return false;
  }
  return true;
}

int generate(const Options& o) {
  int failures = 0;
  for (const picgen::Pic& pic : picgen::pictures()) {
    const QString file = QString::fromUtf8(pic.file);
    picgen::setCurrentPicture(file);
    QImage img = picgen::render(pic);
    for (const QString& problem : picgen::takeProblems()) {
      fail(problem);
      ++failures;
    }
    if (img.size() != QSize(pic.w, pic.h)) {
      fail(QStringLiteral("%1: drawn at the wrong size").arg(file));
      ++failures;
      continue;
    }
    const QString path = outputPath(o, file);
    QDir().mkpath(QFileInfo(path).path());
    QString error;
    bool written = false;
    if (file.endsWith(QLatin1String(".png"))) {
      QImageWriter writer(path, "png");
      written = writer.write(img);
      if (!written) error = writer.errorString();
    } else {
      written = writeJpeg(img, path, error);
    }
    if (!written) {
      fail(QStringLiteral("%1: %2").arg(path, error));
      ++failures;
    }
  }
  return failures;
}

int verify(const Options& o) {
  int failures = 0;
  for (const picgen::Pic& pic : picgen::pictures()) {
    const QString path = outputPath(o, QString::fromUtf8(pic.file));
    QImageReader reader(path);
    const QByteArray want = path.endsWith(QLatin1String(".png")) ? "png" : "jpeg";
    if (!reader.canRead() || reader.format() != want) {
      fail(QStringLiteral("%1: missing or not a %2 picture").arg(path, QString::fromLatin1(want)));
      ++failures;
    } else if (reader.size() != QSize(pic.w, pic.h)) {
      fail(QStringLiteral("%1: %2x%3 pixels, expected %4x%5")
               .arg(path)
               .arg(reader.size().width())
               .arg(reader.size().height())
               .arg(pic.w)
               .arg(pic.h));
      ++failures;
    }
  }
  return failures;
}

// Qt's notes about the session (no runtime folder and the like) mean nothing to a build step.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtDebugMsg || message.contains(QLatin1String("XDG_RUNTIME_DIR"))) return;
  std::fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

int main(int argc, char** argv) {
  // The pictures are drawn off screen; no display is wanted, whatever the environment says.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(quietMessages);
  QGuiApplication app(argc, argv);
  Options options;
  if (!parse(QCoreApplication::arguments(), options)) return 2;
  if (options.verify) {
    const int failures = verify(options);
    if (failures == 0)
      std::printf("kelvora_picgen: %zu pictures present at their sizes\n",
                  picgen::pictures().size());
    return failures == 0 ? 0 : 1;
  }
  if (!loadFont(options.font)) return 1;
  return generate(options) == 0 ? 0 : 1;
}
