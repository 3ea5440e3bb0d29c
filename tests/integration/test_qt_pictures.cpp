// The Qt picture control reads a picture only from a regular file of picture size: a pipe in a
// picture's place can neither hang the client nor feed it a picture.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <csignal>
#include <thread>

#include "platform/qt/qt_gui.h"
#include "platform/qt/qt_units.h"

namespace {

using kv::qt::twipsPerPixel;

QByteArray jpeg(QSize size = {60, 40}) {
  QImage img(size, QImage::Format_RGB32);
  img.fill(Qt::red);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  img.save(&buffer, "JPG");
  return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

class QtPicturesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    oldCwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QDir().mkdir("img");
    win = gui.createWindow("PicForm");
    pic = win->createPicture("Image6");
    pic->setGeometry(0, 0, 60 * twipsPerPixel(), 40 * twipsPerPixel());
  }
  void TearDown() override {
    pic.reset();
    win.reset();
    QDir::setCurrent(oldCwd);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  QTemporaryDir dir;
  QString oldCwd;
  kv::qt::QtGui gui;
  std::unique_ptr<kv::Window> win;
  std::unique_ptr<kv::Picture> pic;
};

// A pipe named like a picture counts as a missing one. A writer waits at the pipe and hands a
// whole picture to whoever opens it for reading: a reader that took the pipe for a file would
// load it (or, with no writer, wait for ever).
TEST_F(QtPicturesTest, APipeInAPicturesPlaceIsAMissingPicture) {
  const std::string fifo = dir.filePath("img/dl0.jpg").toStdString();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto oldPipe = std::signal(SIGPIPE, SIG_IGN);
  const QByteArray picture = jpeg();
  std::thread writer([&] {
    int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);  // until a reader opens it
    if (fd < 0) return;
    ssize_t ignored = ::write(fd, picture.data(), picture.size());
    (void)ignored;
    ::close(fd);
  });
  EXPECT_FALSE(pic->loadFile("img\\dl0.jpg"));
  EXPECT_EQ(pic->source(), "");
  // Releases the writer whether or not the reader opened the pipe at all.
  int release = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  writer.join();
  if (release >= 0) ::close(release);
  std::signal(SIGPIPE, oldPipe);
}

// A picture is read through a link; one larger than 4 MB, though a whole picture with padding
// after it, is not read at all.
TEST_F(QtPicturesTest, PictureReadThroughALinkAndOnlyUpToItsBound) {
  const QByteArray picture = jpeg();
  ASSERT_TRUE(writeFile("img/real.jpg", picture));
  ASSERT_TRUE(QFile::link(dir.filePath("img/real.jpg"), "img/dl0.jpg"));
  EXPECT_TRUE(pic->loadFile("img\\dl0.jpg"));

  ASSERT_TRUE(
      writeFile("img/at_bound.jpg", picture + QByteArray(4 * 1024 * 1024 - picture.size(), '\0')));
  EXPECT_TRUE(pic->loadFile("img\\at_bound.jpg"));
  ASSERT_TRUE(writeFile("img/big.jpg", picture + QByteArray(4 * 1024 * 1024, '\0')));
  EXPECT_FALSE(pic->loadFile("img\\big.jpg"));
  EXPECT_EQ(pic->source(), "img\\at_bound.jpg");
}

}  // namespace
