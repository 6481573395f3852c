#pragma once
// Every persistent setting of the program, declared once by name and
// default. Code reads and writes a setting through its declaration; a
// setting whose default comes from the window layout or the translation
// tables is read with ReadOr and that default.

#include "UnitReg.h"

#include <QString>
#include <cstdint>

namespace kp {

struct TStringSetting {
  const char *Name;
  const char *Default;

  QString Read() const { return ReadSetting(QLatin1String(Name), QString::fromUtf8(Default)); }
  QString ReadOr(const QString &def) const { return ReadSetting(QLatin1String(Name), def); }
  bool Write(const QString &value) const { return WriteSetting(QLatin1String(Name), value); }
  bool Delete() const { return DeleteSetting(QLatin1String(Name)); }
};

struct TIntSetting {
  const char *Name;
  int32_t Default;

  int32_t Read() const { return ReadSettingInt(QLatin1String(Name), Default); }
  int32_t ReadOr(int32_t def) const { return ReadSettingInt(QLatin1String(Name), def); }
  bool Write(int32_t value) const { return WriteSettingInt(QLatin1String(Name), value); }
  bool Delete() const { return DeleteSetting(QLatin1String(Name)); }
  // Stores Value, or drops the stored value when Value equals Def.
  bool WriteOrDelete(int32_t value, int32_t def) const { return value == def ? Delete() : Write(value); }
};

struct TFloatSetting {
  const char *Name;
  double Default;
  int Digits; // decimals written, fixed format

  double Read() const { return ReadSettingFloat(QLatin1String(Name), Default); }
  bool Write(double value) const { return WriteSettingFloat(QLatin1String(Name), value, Digits, true); }
};

struct TBoolSetting {
  const char *Name;
  bool Default;

  bool Read() const { return ReadSettingBool(QLatin1String(Name), Default); }
  bool ReadOr(bool def) const { return ReadSettingBool(QLatin1String(Name), def); }
  bool Write(bool value) const { return WriteSettingBool(QLatin1String(Name), value); }
  bool WriteOrDelete(bool value, bool def) const
  {
    return value == def ? DeleteSetting(QLatin1String(Name)) : Write(value);
  }
};

namespace settings {

// Playback volume 0..100; not stored while it is 100.
inline constexpr TIntSetting Volume{"volume", 100};

// Panel sizes in pixels; the defaults are the window's design values (read
// with ReadOr). panel_Right is stored only when above 0.
inline constexpr TIntSetting PanelRight{"panel_Right", 0};
inline constexpr TIntSetting PanelBottom{"panel_Bottom", 0};
// The map panel's share of the right-hand column's height.
inline constexpr TFloatSetting PanelBrowser{"panel_Browser", 0.6, 3};

// The main window's normal rectangle (design values as defaults) and its
// state: 0 normal, 2 maximized (minimized is never stored).
inline constexpr TIntSetting PosLeft{"pos_Left", 0};
inline constexpr TIntSetting PosTop{"pos_Top", 0};
inline constexpr TIntSetting PosWidth{"pos_Width", 0};
inline constexpr TIntSetting PosHeight{"pos_Height", 0};
inline constexpr TIntSetting PosState{"pos_State", 2};

// The size the file-open dialog was last closed with; 0 until then.
inline constexpr TIntSetting OpenDialogWidth{"dlgOpen_Width", 0};
inline constexpr TIntSetting OpenDialogHeight{"dlgOpen_Height", 0};

// The list's sort column (0 name .. 7 resolution) and direction.
inline constexpr TIntSetting ColSort{"col_sort", 2};
inline constexpr TBoolSetting ColSortDur{"col_sort_dur", true};

// Width of the column with design index N, "col" + N + "_w": -1 keeps the
// design width; not stored while it equals the design width.
QString ColumnWidthName(int designIndex);
inline constexpr int32_t ColumnWidthDefault = -1;
// Design index of the column shown at position N, "col" + N + "_i": N by
// default (out-of-range values are ignored), not stored while it equals N.
QString ColumnIndexName(int position);

// A checkable menu item's check mark is a boolean stored under the item's
// component name (ReadSettingBool with the design check mark as default);
// it is not stored while it equals the design check mark.

// Target folder of copies, cut movies and saved videos. Empty at start-up,
// where the user's video folder is stored.
inline constexpr TStringSetting CopyFolder{"copyFolder", ""};

// Map centre (six decimals), zoom (10..17) and type. The centre and zoom
// default to the translation keys gmStartX, gmStartY and gmStartZoom.
inline constexpr TStringSetting MapX{"gm_X", ""};
inline constexpr TStringSetting MapY{"gm_Y", ""};
inline constexpr TIntSetting MapZoom{"gm_Z", 0};
inline constexpr TStringSetting MapType{"gm_T", ""};
// Map tile address with {z}, {x} and {y}; empty draws no tiles.
inline constexpr TStringSetting MapTileUrl{"gm_TileUrl", "https://tile.openstreetmap.org/{z}/{x}/{y}.png"};

// Comma-separated GPS format ids met so far.
inline constexpr TStringSetting GpsFormatsSeen{"gps", ""};
// Installation id, 11 letters; created once.
inline constexpr TStringSetting InstallationId{"id", ""};
// Language id chosen at installation (1033, 1049, 1058); defaults to the
// user's language (read with ReadOr); never written by the program.
inline constexpr TIntSetting InstallerLanguage{"installer_language", 1033};

} // namespace settings

} // namespace kp
