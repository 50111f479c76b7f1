#pragma once
// The overlay description shared by the overlay filter, its settings panel and the settings.

#include <QString>
#include <cstdint>

namespace vistrel::settings {

struct TfontRecord {
  QString FontName = QStringLiteral("Arial");
  int32_t FontSize = 21;
  int32_t FontColor = 0xFFFFFF;  // 0x00BBGGRR
  uint8_t FontBold = 0;
  uint8_t FontItalic = 0;
  uint8_t FontUnderline = 0;
  uint8_t FontStrikeOut = 0;
  friend bool operator==(const TfontRecord&, const TfontRecord&) = default;
};

struct TincrustRec {
  QString Incrust1;                               // template of the first custom line
  QString Incrust2;                               // template of the second custom line
  QString FormatDate1 = QStringLiteral("ddddd");  // date-time pattern of the first line
  QString FormatDate2 = QStringLiteral("tt");     // date-time pattern of the second line
  double DecalageHoraire = 0.0;                   // offset added to shown dates and times, in days
  TfontRecord FontRec;
  uint8_t Autofontsize = 1;  // size the font from the picture width
  int32_t BorderSize = 1;    // outline width in pixels
  uint8_t WhatIncrust = 0;   // 0 DV date, 1 time code, 2 custom templates, 3 clock, 4 nothing
  uint8_t Alignement = 2;    // 0 left, 1 centred on the anchor, 2 right, 3 centred in the picture
  int32_t BorderColor = 0;   // 0x00BBGGRR
  int32_t Xpos = 914;        // anchor, thousandths of the picture width
  int32_t Ypos = 914;        // boundary between the lines, thousandths of the picture height
  friend bool operator==(const TincrustRec&, const TincrustRec&) = default;
};

// The one default overlay record: the overlay filter starts from it and "IncrustRec" defaults to it.
const TincrustRec& defaultIncrustRec();

}  // namespace vistrel::settings
