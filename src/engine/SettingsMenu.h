#pragma once
// The settings menu of a connected source as the engine describes it: the window turns it into a
// popup menu each time it opens. The engine knows nothing of widgets.

#include <QString>
#include <functional>
#include <vector>

namespace vistrel::engine {

struct SettingsMenuEntry {
  QString caption;  // "-" for a separator
  bool enabled = true;
  bool checked = false;
  bool radio = false;            // one of a group of exclusive choices (the video inputs)
  int tag = -1;                  // the input number of a radio entry
  std::function<void()> action;  // what choosing the entry does (none for a submenu or separator)
  std::vector<SettingsMenuEntry> submenu;

  bool isSeparator() const { return caption == QStringLiteral("-"); }
};

using SettingsMenu = std::vector<SettingsMenuEntry>;

// Captions of the entries.
inline const QString kMenuFormatVideo = QStringLiteral("Format Vidéo...");
inline const QString kMenuDisplayVideo = QStringLiteral("Affichage Vidéo...");
inline const QString kMenuSourceVideo = QStringLiteral("Source Vidéo...");
inline const QString kMenuCaptureFilterVideo = QStringLiteral("Filtre de Capture Vidéo...");
inline const QString kMenuCapturePinVideo = QStringLiteral("Broche de Capture Vidéo...");
inline const QString kMenuPreviewPinVideo = QStringLiteral("Broche de Visualisation Vidéo...");
inline const QString kMenuCrossbarVideo = QStringLiteral("Crossbar Vidéo...");
inline const QString kMenuSecondCrossbar = QStringLiteral("Seconde Crossbar...");
inline const QString kMenuTvTuner = QStringLiteral("Tuner TV...");
inline const QString kMenuVideoInputs = QStringLiteral("Entrées Vidéo");
inline const QString kMenuCaptureFilterAudio = QStringLiteral("Filtre de Capture Audio...");
inline const QString kMenuCapturePinAudio = QStringLiteral("Broche de Capture Audio...");
inline const QString kMenuTvAudio = QStringLiteral("TV Audio...");

}  // namespace vistrel::engine
