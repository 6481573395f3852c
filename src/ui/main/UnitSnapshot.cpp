#include "UnitSnapshot.h"

#include "DateTime.h"
#include "UnitUtilsFiles.h"
#include "WholeFileWriter.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace kp {

QString SnapshotFileName(const QString &kind, double dateTime, int64_t positionMs)
{
  const int64_t ms = std::max<int64_t>(0, positionMs);
  QString name = kind + QLatin1Char(' ') + DateTimeToStr(dateTime) + QLatin1String(" (") +
                 TimeToStr(double(ms) / 86400000.0) + QLatin1Char('.') +
                 QStringLiteral("%1").arg(ms % 1000, 3, 10, QLatin1Char('0')) + QLatin1String(").jpg");
  name.replace(QLatin1Char(':'), QLatin1Char('-'));
  return SanitizeFileName(name);
}

QString JpegFileName(const QString &typed)
{
  for (const QLatin1String ext : {QLatin1String(".jpg"), QLatin1String(".jpeg")})
    if (typed.endsWith(ext, Qt::CaseInsensitive) && typed.size() > ext.size()) return typed;
  return typed + QLatin1String(".jpg");
}

namespace {

struct TJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
};

void OnJpegError(j_common_ptr info)
{
  auto *error = reinterpret_cast<TJpegError *>(info->err);
  std::longjmp(error->Jump, 1);
}

// Compresses into memory, so a failure never leaves a partial file.
bool Compress(const QImage &rgb, int quality, QByteArray &out)
{
  jpeg_compress_struct info{};
  TJpegError error{};
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = OnJpegError;
  unsigned char *buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(error.Jump)) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(rgb.width());
  info.image_height = JDIMENSION(rgb.height());
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  out = QByteArray(reinterpret_cast<const char *>(buffer), qsizetype(size));
  std::free(buffer);
  return true;
}

} // namespace

bool SaveJpeg(const QImage &image, const QString &path, QString &error, int quality)
{
  QByteArray data;
  if (image.isNull() || !Compress(image.convertToFormat(QImage::Format_RGB888), quality, data)) {
    error = QStringLiteral("no picture");
    return false;
  }
  return SaveFileWhole(path, data, true, error);
}

bool SaveJpeg(const QImage &image, const QString &path, int quality)
{
  QString error;
  return SaveJpeg(image, path, error, quality);
}

} // namespace kp
