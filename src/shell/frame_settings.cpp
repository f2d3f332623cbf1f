#include "shell/frame_settings.h"

#include <cmath>
#include <limits>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include "files/image_export.h"

namespace {

constexpr int kTitleStripHeight = 24;  // the part of a window the user drags it by
constexpr int kMinGrabWidth = 48;      // how much of that strip must be on a screen
constexpr int kMinGrabHeight = 8;

QString OptionKey(const char* name) { return settings_key::kOptionsGroup + QLatin1Char('/') + QLatin1String(name); }

// A stored value as text: an INI file gives strings; a value set during this run keeps its own type.
std::optional<QString> StoredText(const QSettings& s, const QString& key) {
  const QVariant value = s.value(key);
  if (!value.isValid() || value.isNull()) return std::nullopt;
  if (value.typeId() == QMetaType::QStringList || value.typeId() == QMetaType::QVariantList ||
      value.typeId() == QMetaType::QByteArray || value.typeId() == QMetaType::QPoint)
    return std::nullopt;
  if (!value.canConvert<QString>()) return std::nullopt;
  return value.toString().trimmed();
}

template <typename T>
void ReadInto(T& option, std::optional<long long> value) {
  if (value) option = static_cast<T>(*value);
}

}  // namespace

std::optional<bool> ReadBool(const QSettings& s, const QString& key) {
  if (s.value(key).typeId() == QMetaType::Bool) return s.value(key).toBool();
  const std::optional<QString> text = StoredText(s, key);
  if (!text) return std::nullopt;
  if (text->compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0 || *text == QStringLiteral("1")) return true;
  if (text->compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0 || *text == QStringLiteral("0")) return false;
  return std::nullopt;
}

std::optional<long long> ReadInteger(const QSettings& s, const QString& key, long long min, long long max) {
  const std::optional<QString> text = StoredText(s, key);
  if (!text) return std::nullopt;
  bool ok = false;
  const long long value = text->toLongLong(&ok);
  if (!ok || value < min || value > max) return std::nullopt;
  return value;
}

std::optional<double> ReadReal(const QSettings& s, const QString& key, double min, double max) {
  const std::optional<QString> text = StoredText(s, key);
  if (!text) return std::nullopt;
  bool ok = false;
  const double value = text->toDouble(&ok);  // always with a point, whatever the user's locale
  if (!ok || !std::isfinite(value) || value < min || value > max) return std::nullopt;
  return value;
}

std::optional<QPoint> ReadPoint(const QSettings& s, const QString& key) {
  const QVariant value = s.value(key);
  if (value.typeId() != QMetaType::QPoint) return std::nullopt;
  return value.toPoint();
}

TFileOptions ReadFileOptions(const QSettings& s, TFileOptions o) {
  constexpr long long kInt32Min = std::numeric_limits<std::int32_t>::min();
  constexpr long long kInt32Max = std::numeric_limits<std::int32_t>::max();
  ReadInto(o.JPEGWriteDCTMethod, ReadInteger(s, OptionKey("JPEGWriteDCTMethod"), 0, 2));
  // The dialog keeps what is typed modulo 256, so any 8-bit value may have been stored.
  ReadInto(o.JPEGQuality, ReadInteger(s, OptionKey("JPEGQuality"), 0, 255));
  if (auto b = ReadBool(s, OptionKey("JPEGProgressive"))) o.JPEGProgressive = *b;
  ReadInto(o.JPEGReadDCTMethod, ReadInteger(s, OptionKey("JPEGReadDCTMethod"), 0, 2));
  if (auto b = ReadBool(s, OptionKey("PXMWriteBinary"))) o.PXMWriteBinary = *b;
  if (auto c = ReadInteger(s, OptionKey("TIFFCompression"), TIFFCompressionNone, TIFFCompressionPackBits);
      c && (*c == TIFFCompressionNone || *c == TIFFCompressionPackBits))
    o.TIFFCompression = static_cast<std::int32_t>(*c);
  if (auto b = ReadBool(s, OptionKey("TIFFWriteCMYK"))) o.TIFFWriteCMYK = *b;
  if (auto b = ReadBool(s, OptionKey("TIFFWhiteIsZero"))) o.TIFFWhiteIsZero = *b;
  if (auto b = ReadBool(s, OptionKey("TIFFByteOrderM"))) o.TIFFByteOrderM = *b;
  ReadInto(o.TIFFResUnit, ReadInteger(s, OptionKey("TIFFResUnit"), 0, 2));
  ReadInto(o.TIFFResXNum, ReadInteger(s, OptionKey("TIFFResXNum"), kInt32Min, kInt32Max));
  ReadInto(o.TIFFResXDen, ReadInteger(s, OptionKey("TIFFResXDen"), kInt32Min, kInt32Max));
  ReadInto(o.TIFFResYNum, ReadInteger(s, OptionKey("TIFFResYNum"), kInt32Min, kInt32Max));
  ReadInto(o.TIFFResYDen, ReadInteger(s, OptionKey("TIFFResYDen"), kInt32Min, kInt32Max));
  if (auto b = ReadBool(s, OptionKey("WriteGamma"))) o.WriteGamma = *b;
  if (auto g = ReadReal(s, OptionKey("ScreenGamma"), kScreenGammaMin, kScreenGammaMax); g && ScreenGammaIsValid(*g))
    o.ScreenGamma = *g;
  if (auto b = ReadBool(s, OptionKey("GammaCorrectionOnRead"))) o.GammaCorrectionOnRead = *b;
  return o;
}

void WriteFileOptions(QSettings& s, const TFileOptions& o) {
  s.setValue(OptionKey("JPEGWriteDCTMethod"), static_cast<int>(o.JPEGWriteDCTMethod));
  s.setValue(OptionKey("JPEGQuality"), static_cast<int>(o.JPEGQuality));
  s.setValue(OptionKey("JPEGProgressive"), o.JPEGProgressive);
  s.setValue(OptionKey("JPEGReadDCTMethod"), static_cast<int>(o.JPEGReadDCTMethod));
  s.setValue(OptionKey("PXMWriteBinary"), o.PXMWriteBinary);
  s.setValue(OptionKey("TIFFCompression"), o.TIFFCompression);
  s.setValue(OptionKey("TIFFWriteCMYK"), o.TIFFWriteCMYK);
  s.setValue(OptionKey("TIFFWhiteIsZero"), o.TIFFWhiteIsZero);
  s.setValue(OptionKey("TIFFByteOrderM"), o.TIFFByteOrderM);
  s.setValue(OptionKey("TIFFResUnit"), static_cast<int>(o.TIFFResUnit));
  s.setValue(OptionKey("TIFFResXNum"), o.TIFFResXNum);
  s.setValue(OptionKey("TIFFResXDen"), o.TIFFResXDen);
  s.setValue(OptionKey("TIFFResYNum"), o.TIFFResYNum);
  s.setValue(OptionKey("TIFFResYDen"), o.TIFFResYDen);
  s.setValue(OptionKey("WriteGamma"), o.WriteGamma);
  // Seventeen significant digits give the same double back; the point is the reader's whatever the locale.
  s.setValue(OptionKey("ScreenGamma"), QString::number(static_cast<double>(o.ScreenGamma), 'g', 17));
  s.setValue(OptionKey("GammaCorrectionOnRead"), o.GammaCorrectionOnRead);
}

TDrawingOptions ReadDrawingOptions(const QSettings& s, TDrawingOptions options) {
  if (auto b = ReadBool(s, settings_key::kUseAllCores)) options.useAllCores = *b;
  return options;
}

void WriteDrawingOptions(QSettings& s, const TDrawingOptions& options) {
  s.setValue(settings_key::kUseAllCores, options.useAllCores);
}

TSaveMemory ReadSaveMemory(const QSettings& s) {
  TSaveMemory memory;
  const auto folder = [&s](const QString& key) {
    const std::optional<QString> text = StoredText(s, key);
    return text && !text->isEmpty() && QDir::isAbsolutePath(*text) && QFileInfo(*text).isDir() ? *text : QString();
  };
  memory.pictureFolder = folder(settings_key::kPictureFolder);
  memory.parameterFolder = folder(settings_key::kParameterFolder);
  if (const std::optional<QString> type = StoredText(s, settings_key::kPictureType)) {
    const QString extension = type->toLower();
    const bool plain = !extension.isEmpty() && !extension.contains(QLatin1Char('.')) &&
                       !extension.contains(QLatin1Char('/'));
    if (plain && PreselectedFilterIndex("x." + extension.toStdString())) memory.pictureExtension = extension;
  }
  return memory;
}

void WriteSaveMemory(QSettings& s, const TSaveMemory& memory) {
  s.setValue(settings_key::kPictureFolder, memory.pictureFolder);
  s.setValue(settings_key::kParameterFolder, memory.parameterFolder);
  s.setValue(settings_key::kPictureType, memory.pictureExtension);
}

QStringList ReadRecentFiles(const QSettings& s) {
  const QVariant value = s.value(settings_key::kRecentFiles);
  // One entry comes back from an INI file as a plain string; a list as a list.
  if (value.typeId() == QMetaType::QString) return {value.toString()};
  if (value.typeId() != QMetaType::QStringList && value.typeId() != QMetaType::QVariantList) return {};
  QStringList paths;
  for (const QVariant& entry : value.toList())
    if (entry.typeId() == QMetaType::QString) paths.append(entry.toString());
  return paths;
}

void WriteRecentFiles(QSettings& s, const QStringList& paths) { s.setValue(settings_key::kRecentFiles, paths); }

bool ReachableOnScreens(const QRect& rect, const QList<QRect>& screens) {
  if (!rect.isValid()) return false;
  const QRect strip(rect.topLeft(), QSize(rect.width(), std::min(rect.height(), kTitleStripHeight)));
  const int needWidth = std::min(kMinGrabWidth, strip.width());
  const int needHeight = std::min(kMinGrabHeight, strip.height());
  for (const QRect& screen : screens) {
    const QRect shared = strip.intersected(screen);
    if (shared.width() >= needWidth && shared.height() >= needHeight) return true;
  }
  return false;
}

QList<QRect> AvailableScreenAreas() {
  QList<QRect> areas;
  for (QScreen* screen : QGuiApplication::screens()) areas.append(screen->availableGeometry());
  return areas;
}
