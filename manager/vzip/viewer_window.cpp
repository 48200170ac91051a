// The internal viewer: one window per file shown, modeless, deleted when it
// is closed.
//
// How a file is shown, decided in this order:
//   1. picture extensions (.JPG .JIF .GIF .BMP .DIB .RLE .TGA .PCX, and the
//      other formats Qt's image readers know, .PNG .TIF ...), or bytes that
//      an image reader recognises by their signature: the picture at its
//      own size in a scroll area;
//   2. .RTF, and .DOC files that are rich text inside: formatted text
//      (paragraphs, bold, italic, underline) from manager/app/rtf_text.h;
//   3. anything else, other .DOC files included: plain text in a
//      fixed-width font, no wrapping, bytes that are not UTF-8 read as
//      Latin-1, NUL bytes shown as blanks.
// Files are read up to a bound (pictures 64 MB, text 4 MB); a text cut
// there says so in a notice line under it.
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "manager/app/rtf_text.h"
#include "manager/vzip/tool_windows.h"

namespace vz::vzip {

namespace {

// Most bytes read of a picture, and of a text.
constexpr qint64 kPictureBound = 64 * 1024 * 1024;
constexpr qint64 kTextBound = 4 * 1024 * 1024;

bool pictureExtension(const QString& suffix) {
  static const QStringList kOwn = {QStringLiteral("jpg"), QStringLiteral("jif"), QStringLiteral("gif"),
                                   QStringLiteral("bmp"), QStringLiteral("dib"), QStringLiteral("rle"),
                                   QStringLiteral("tga"), QStringLiteral("pcx")};
  if (kOwn.contains(suffix)) return true;
  const QList<QByteArray> formats = QImageReader::supportedImageFormats();
  return formats.contains(suffix.toLatin1());
}

// Formats recognised from the bytes alone (they have signatures).
bool pictureSignature(const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  const QByteArray format = QImageReader::imageFormat(&buffer);
  static const QList<QByteArray> kSigned = {"png", "jpeg", "gif", "bmp", "webp", "tiff"};
  return kSigned.contains(format);
}

QString textOf(const QByteArray& bytes) {
  QByteArray clean = bytes;
  clean.replace('\0', ' ');
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8(clean);
  if (utf8.hasError()) text = QString::fromLatin1(clean);
  return text;
}

QWidget* pictureView(const QByteArray& bytes, const QString& suffix, QString& error) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, suffix == QLatin1String("jif") ? QByteArray("jpeg") : QByteArray());
  reader.setDecideFormatFromContent(true);
  QImage image = reader.read();
  if (image.isNull()) {
    error = QStringLiteral("Error: The picture could not be read (%1).").arg(reader.errorString());
    return nullptr;
  }
  auto* label = new QLabel;
  label->setObjectName(QStringLiteral("viewerPicture"));
  label->setPixmap(QPixmap::fromImage(image));
  label->resize(image.size());
  auto* scroll = new QScrollArea;
  scroll->setWidget(label);
  scroll->setAlignment(Qt::AlignCenter);
  return scroll;
}

QWidget* richTextView(const std::vector<manager::RtfParagraph>& paragraphs) {
  auto* edit = new QTextEdit;
  edit->setObjectName(QStringLiteral("viewerRichText"));
  edit->setReadOnly(true);
  QTextCursor cursor(edit->document());
  bool first = true;
  for (const manager::RtfParagraph& p : paragraphs) {
    if (!first) cursor.insertBlock();
    first = false;
    for (const manager::RtfRun& run : p.runs) {
      QTextCharFormat format;
      format.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
      format.setFontItalic(run.italic);
      format.setFontUnderline(run.underline);
      cursor.insertText(QString::fromStdString(run.text), format);
    }
  }
  edit->moveCursor(QTextCursor::Start);
  return edit;
}

QWidget* plainTextView(const QByteArray& bytes) {
  auto* edit = new QPlainTextEdit;
  edit->setObjectName(QStringLiteral("viewerPlainText"));
  edit->setReadOnly(true);
  edit->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  edit->setPlainText(textOf(bytes));
  return edit;
}

}  // namespace

QWidget* createViewer(QWidget* parent, const QString& name, const QByteArray& bytes, qint64 fullSize) {
  auto* window = new QWidget(parent, Qt::Window);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setObjectName(QStringLiteral("viewerWindow"));
  window->setWindowTitle(QStringLiteral("Vemora.Zip Viewer - %1").arg(QFileInfo(name).fileName()));
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);

  const QString suffix = QFileInfo(name).suffix().toLower();
  QString notice;
  QWidget* view = nullptr;
  const bool richName = suffix == QLatin1String("rtf") || suffix == QLatin1String("doc");
  if (!richName && (pictureExtension(suffix) || pictureSignature(bytes))) {
    view = pictureView(bytes, suffix, notice);
  } else if (richName &&
             manager::looksLikeRtf(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))) {
    view = richTextView(manager::readRtf(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))));
  }
  if (!view) view = plainTextView(notice.isEmpty() ? bytes : QByteArray());
  if (notice.isEmpty() && fullSize > bytes.size())
    notice = QStringLiteral("Only the first %1 of %2 bytes are shown.").arg(bytes.size()).arg(fullSize);
  layout->addWidget(view, 1);
  if (!notice.isEmpty()) {
    auto* label = new QLabel(notice);
    label->setObjectName(QStringLiteral("viewerNote"));
    label->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(label);
  }
  window->resize(720, 520);
  return window;
}

void showViewer(QWidget* parent, const std::string& filePath) {
  const QString path = QString::fromStdString(filePath);
  QFile file(path);
  QByteArray bytes;
  qint64 size = 0;
  QString suffix = QFileInfo(path).suffix().toLower();
  if (file.open(QIODevice::ReadOnly)) {
    size = file.size();
    bytes = file.read(pictureExtension(suffix) ? kPictureBound : kTextBound);
  }
  QWidget* w = createViewer(parent, path, bytes, size);
  if (!file.isOpen()) {
    auto* label = new QLabel(QStringLiteral("Error: The file %1 could not be read.").arg(path));
    label->setObjectName(QStringLiteral("viewerNote"));
    w->layout()->addWidget(label);
  }
  w->show();
}

std::vector<ScreenshotWindow> viewerScreenshots() {
  auto rtf = [](QWidget* parent) -> QWidget* {
    const QByteArray doc =
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24 {\\b Release notes}\\par\\par "
        "This version reads {\\i every} archive of the list and keeps {\\b\\i bold italic} text.\\par "
        "\\ul Underlined\\ulnone  words stay underlined.\\par}";
    return createViewer(parent, QStringLiteral("README.RTF"), doc, doc.size());
  };
  auto picture = [](QWidget* parent) -> QWidget* {
    QImage image(320, 200, QImage::Format_RGB32);
    image.fill(QColor(40, 90, 160));
    QPainter p(&image);
    p.setPen(Qt::white);
    p.drawEllipse(QPoint(160, 100), 70, 70);
    p.drawText(QRect(0, 0, 320, 200), Qt::AlignCenter, QStringLiteral("PICTURE.PNG"));
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return createViewer(parent, QStringLiteral("PICTURE.PNG"), bytes, bytes.size());
  };
  auto text = [](QWidget* parent) -> QWidget* {
    const QByteArray t = "FILE_ID.DIZ\n\n  Vemora.Zip sample text file\n  shown in a fixed-width font.\n";
    return createViewer(parent, QStringLiteral("FILE_ID.DIZ"), t, t.size());
  };
  return {{QStringLiteral("viewer_rtf"), rtf},
          {QStringLiteral("viewer_picture"), picture},
          {QStringLiteral("viewer_text"), text}};
}

}  // namespace vz::vzip
