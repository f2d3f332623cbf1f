// The program's remembered settings, read back with the care user input gets (where they live is the services'
// business: TServices::OpenSettings). A value that is missing, damaged or out of range is ignored (the default
// stays), never applied.
//
// Keys (an INI file, "ovel-ifs/ovel-ifs.ini" in the user's configuration folder):
//   frame/geometry, frame/state            the frame window (QMainWindow::saveGeometry / saveState)
//   dialogs/parametersPos, dialogs/coefficientsPos   where the tool dialogs were
//   options/<option>                       the image file options, by their names in TFileOptions
//   drawing/useAllCores                    whether passes draw with parallel orbits on every core
//   folders/pictures, folders/parameters   the folders of the last picture and parameter file
//   saveAs/fileType                        the extension of the last picture saved ("png")
//   recentFiles                            File > Open Recent, most recent first
#pragma once

#include <memory>
#include <optional>

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSettings>
#include <QString>
#include <QStringList>

#include "files/file_options.h"
#include "services/drawing_options.h"
#include "services/save_memory.h"

namespace settings_key {
inline const QString kFrameGeometry = QStringLiteral("frame/geometry");
inline const QString kFrameState = QStringLiteral("frame/state");
inline const QString kParametersPos = QStringLiteral("dialogs/parametersPos");
inline const QString kCoefficientsPos = QStringLiteral("dialogs/coefficientsPos");
inline const QString kOptionsGroup = QStringLiteral("options");
inline const QString kUseAllCores = QStringLiteral("drawing/useAllCores");
inline const QString kPictureFolder = QStringLiteral("folders/pictures");
inline const QString kParameterFolder = QStringLiteral("folders/parameters");
inline const QString kPictureType = QStringLiteral("saveAs/fileType");
inline const QString kRecentFiles = QStringLiteral("recentFiles");
}  // namespace settings_key

// Stored values as the type they must have; nullopt for a missing, damaged or out-of-range one.
std::optional<bool> ReadBool(const QSettings& s, const QString& key);
std::optional<long long> ReadInteger(const QSettings& s, const QString& key, long long min, long long max);
std::optional<double> ReadReal(const QSettings& s, const QString& key, double min, double max);
std::optional<QPoint> ReadPoint(const QSettings& s, const QString& key);

// The stored image file options over `options`: each valid stored value replaces its option, each other one is
// ignored. A screen gamma must be one a PNG file can record (ScreenGammaIsValid).
TFileOptions ReadFileOptions(const QSettings& s, TFileOptions options);
void WriteFileOptions(QSettings& s, const TFileOptions& options);

// The stored drawing options over `options`, with the same care.
TDrawingOptions ReadDrawingOptions(const QSettings& s, TDrawingOptions options);
void WriteDrawingOptions(QSettings& s, const TDrawingOptions& options);

// Folders that no longer exist and file types no writer has are dropped.
TSaveMemory ReadSaveMemory(const QSettings& s);
void WriteSaveMemory(QSettings& s, const TSaveMemory& memory);

QStringList ReadRecentFiles(const QSettings& s);
void WriteRecentFiles(QSettings& s, const QStringList& paths);

// Whether a window at rect can still be reached: its top strip, where the title bar is grabbed, overlaps one of
// the screens' available areas by enough to take hold of it.
bool ReachableOnScreens(const QRect& rect, const QList<QRect>& screens);
// The available areas of the screens there are now.
QList<QRect> AvailableScreenAreas();
