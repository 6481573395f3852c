// Consistency of the embedded language tables and of the embedded resources
// with what the program asks for.
#include "UnitTranslate.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <gtest/gtest.h>

using namespace kp;

namespace {

const QStringList kHeaderKeys = {"LangCharSet", "LangCodePage", "LangSystemID", "LangID", "LangName"};
const QStringList kColourKeys = {
    "colorMainBG", "colorListBG", "colorListText", "colorListSelBG", "colorListSelText", "colorListGrid",
    "colorGraphBG", "colorGraphBorderT", "colorGraphBorderB", "colorGraphText", "colorGraphOS", "colorGraphOSm",
    "colorGraph_S", "colorGraph_G", "colorGraph_H", "colorGraph_X", "colorGraph_Y", "colorGraph_Z",
    "colorSpeedArrow", "colorSpeedBG", "colorSpeedText", "colorAboutBG"};
const QStringList kMapKeys = {"gmStartX", "gmStartY", "gmStartZoom"};
// Menu item captions are looked up by the item's component name.
const QStringList kMenuKeys = {
    "N_NoIntersection", "N_File", "N_File_Open", "N_File_Convert_GPS", "N_File_Save_Video", "N_File_Exit",
    "N_SetupDevice", "N_Settings_Clear", "N_View", "N_View_Profile", "N_View_Profile_GPS_G",
    "N_View_Profile_GPS", "N_View_Profile_Video", "N_View_FileList", "N_View_GoogleMaps",
    "N_View_ControlPanel", "N_View_Details", "N_View_Graphics", "N_View_Graphics_S", "N_View_Graphics_H",
    "N_View_Graphics_G", "N_View_Graphics_X", "N_View_Graphics_Y", "N_View_Graphics_Z",
    "N_View_Graphics_Show", "N_View_Graphics_Hide", "N_View_Time", "N_View_Time_ZoomIn",
    "N_View_Time_ZoomOut", "N_View_Time_SetA", "N_View_Time_SetB", "N_View_Time_LoopAB",
    "N_View_Time_LoopABHint", "N_View_Refresh", "N_View_Refresh_Fast", "N_View_Refresh_Norm",
    "N_View_Refresh_Slow", "N_View_Arrow", "N_View_Arrow_Small", "N_View_Arrow_Normal", "N_View_Arrow_Big",
    "N_View_Measurement", "N_View_Measu_Metric", "N_View_Measu_British", "N_View_TimeZone",
    "N_View_TimeZone_Local", "N_View_TimePoints", "N_View_TimePoints_1m", "N_View_TimePoints_5m",
    "N_View_TimePoints_20m", "N_View_TimePoints_Never", "N_View_Language", "N_Playback", "N_Playback_Play",
    "N_Playback_Stop", "N_FullScreen", "N_Playback_PauseOnClick", "N_Playback_PlayNext", "N_Playback_Left",
    "N_Playback_Right", "N_Playback_Frame_Prev", "N_Playback_Frame_Next", "N_Playback_Save_Frame",
    "N_Playback_Save_Wind", "N_Playback_Renderer", "N_Playback_Renderer_nul", "N_Playback_Renderer_WMR",
    "N_Playback_Renderer_EVR", "N_VideoZoom", "N_VideoZoom_Custom", "N_VideoZoom_Letterbox",
    "N_VideoZoom_PanAndScan", "N_VideoZoom_Stretch", "N_VideoZoom_NotLinear", "N_VideoZoom_ZoomIn",
    "N_VideoZoom_ZoomOut", "N_VideoZoom_Other", "N_VideoZoom_FlipV", "N_VideoZoom_FlipH", "N_Help",
    "N_Help_About", "N_Help_WhatsNew", "N_Help_Site", "N_Help_Donate", "N_FileList_Open", "N_FileList_Add",
    "N_FileList_Del", "N_FileList_Refresh", "N_FileList_Clear", "N_FileList_Copy", "N_FileList_DelDisk",
    "N_FileList_DelDiskAll", "N_FileList_DelDiskLogs", "N_FileList_Save", "N_FileList_SetLock",
    "N_FileList_UnsetLock", "N_FileList_Group_With", "N_FileList_Ungroup", "N_FileList_Group_Auto",
    "N_FileList_Ungroup_All", "N_FileList_Track_Google", "N_FileList_Track_Export", "N_FileList_Track_Set",
    "N_FileList_Track_Move", "N_FileList_Track_GPSLog", "N_FileList_ShowExplorer", "N_FileList_Property",
    "N_Up", "N_Down", "N_Edit",
};

const QStringList kMessageKeys = {
    "Mes_CannotOpen_Video", "Mes_CannotOpen_Splitter", "Mes_CannotOpen_Codec", "Mes_CannotOpen_SysCodec",
    "Mes_NoWayToBack", "Mes_SureToDelFile", "Mes_SureToDelAllFiles", "Mes_SureToDelAllFiles2",
    "Mes_SureToDelAllGPSLogs", "Mes_NoGPSInfo", "Mes_CustomZoomTitle", "Mes_CustomZoomText", "Mes_FileExists",
    "Mes_SureToReplace", "Mes_ClearSettings", "Mes_EVR_Screenshot",
};

const QStringList kWordKeys = {
    "Cancel", "Kb", "Mb", "Gb", "byte", "Mbytepsec", "Size", "disk_free", "Video", "Audio", "Subtitles",
    "MetaInfo", "Name", "File", "Grouped", "Locked", "Locked_true", "Locked_partial", "Speed", "AvgSpeed",
    "Remains", "Pause", "Volume", "PlaySpeed", "DateTime", "Time", "SystemTime", "VideoTime", "Started",
    "Finished", "Duration", "PlayLength", "today", "yesterday", "Points", "Longitude", "Latitude", "Altitude",
    "Azimut", "Meters", "Kmeters", "KmetersPerH", "Feets", "Miles", "MilesPerH", "Initializing", "Searching",
    "Preview", "PictureSize", "FileList_Col_Name", "FileList_Col_Duration", "FileList_Col_DateTime",
    "FileList_Col_Track", "FileList_Col_FilePath", "FileList_Col_PictSize", "Copying_Title",
    "SelectFolderFor", "SelectFolder", "OpenFolder", "Show", "CreateFolder", "NewFolder", "Cropping_Title",
    "Cropping_BtnStart", "Cropping_Open", "Cropping_Copping", "Cropping_MetaInfo", "Cropping_Finish",
    "Cropping_Info", "Cropping_FileTracks", "Cropping_AddonFiles", "Cropping_FormatUnknown",
    "Cropping_FrameNotEqual", "Cropping_SpeedUpMethod", "Cropping_BigFPS", "Cropping_KeyFrameOnly",
    "Grouping_Title", "Grouping_Btn", "Details_Track_Length", "Property_Title", "Property_Track_Length",
    "Property_CopyAll", "GPSLog_Title", "GPSLog_Convert", "GPSLog_SelectAll", "GPSLog_ShowTrack",
    "GPSLog_SelectToProcess", "Update_Title", "Update_NewVersion", "Update_WantDownload", "Update_Btn_Auto",
    "Update_Btn_Browser", "SetupDevice_Title", "SetupDevice_Device", "SetupDevice_OtherSize",
    "SetupDevice_EnterOther", "SetupDevice_TimeZone", "SetupDevice_GSensor", "SetupDevice_BtnWrite",
    "SetupDevice_NoConfig", "SendMail", "MyEMail", "MySite", "MyCity", "MyName", "EVROnly", "VMROnly",
};

// Keys the code asks for that no table holds: they show as the key itself
// (the folder chooser's OK button reads "Ok").
const QStringList kKeysShownAsThemselves = {"Ok"};
// Map menu items only the Ukrainian table carries; no menu has them.
const QStringList kUkrainianOnlyKeys = {"N_View_Maps", "N_View_NoMaps", "N_View_YandexMaps"};

const char *const kTableNames[] = {"translate_en.txt", "translate_ru.txt", "translate_ua.txt"};

QByteArray embedded(const QString &name)
{
  QFile f(QStringLiteral(":/") + name);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QSet<QString> lowered(const QStringList &keys)
{
  QSet<QString> out;
  for (const QString &k : keys) out.insert(k.toLower());
  return out;
}

QSet<QString> keysOf(const TLang &lang)
{
  QSet<QString> out;
  for (const auto &item : lang.Items) out.insert(item.Key);
  return out;
}

QSet<QString> englishKeys()
{
  return lowered(kHeaderKeys + kColourKeys + kMapKeys + kMenuKeys + kMessageKeys + kWordKeys);
}

void loadEmbeddedTables(int installerLanguage)
{
  TLanguageSources s;
  s.InstallerLanguage = [installerLanguage](int) { return installerLanguage; };
  InitLanguages(s);
}

QString sourceDir()
{
  // From the build, not __FILE__: a compiler cache may make that relative.
  return QStringLiteral(KP_SOURCE_ROOT "/src");
}

// String literals passed as the first argument of one of Functions in Text.
QSet<QString> literalsIn(const QString &text, const QString &functions)
{
  const QRegularExpression call(
      QStringLiteral("\\b(?:%1)\\s*\\(\\s*(?:u8?|QStringLiteral\\s*\\(\\s*|QLatin1String\\s*\\(\\s*|"
                     "QString\\s*\\(\\s*)?\"([^\"]*)\"")
          .arg(functions));
  QSet<QString> found;
  for (const auto &m : call.globalMatch(text)) found.insert(m.captured(1));
  return found;
}

// The same over every source file of the program.
QSet<QString> literalArguments(const QString &functions)
{
  QSet<QString> found;
  QDirIterator it(sourceDir(), {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    QFile f(it.next());
    if (f.open(QIODevice::ReadOnly)) found |= literalsIn(QString::fromUtf8(f.readAll()), functions);
  }
  return found;
}

} // namespace

TEST(TranslateTables, EnglishHoldsEveryKnownKey)
{
  const TLang en(embedded("translate_en.txt"));
  EXPECT_EQ(keysOf(en), englishKeys());
  EXPECT_EQ(en.Items.size(), 263u); // no key twice
}

TEST(TranslateTables, RussianAndUkrainianKeysExistInEnglish)
{
  const QSet<QString> english = englishKeys();
  const QSet<QString> ukrainianOnly = lowered(kUkrainianOnlyKeys);
  const TLang ru(embedded("translate_ru.txt"));
  const TLang ua(embedded("translate_ua.txt"));
  for (const QString &k : keysOf(ru)) EXPECT_TRUE(english.contains(k)) << "ru: " << k.toStdString();
  for (const QString &k : keysOf(ua))
    EXPECT_TRUE(english.contains(k) || ukrainianOnly.contains(k)) << "ua: " << k.toStdString();
  // Colours are inherited from English by both; the Russian map view too.
  const QSet<QString> colours = lowered(kColourKeys);
  EXPECT_EQ(keysOf(ru), english - colours - lowered(kMapKeys));
  EXPECT_EQ(keysOf(ua), (english - colours) | ukrainianOnly);
  EXPECT_EQ(ru.Items.size(), 238u);
  EXPECT_EQ(ua.Items.size(), 244u);
}

TEST(TranslateTables, EveryLineIsAKeyAndAQuotedValue)
{
  const QRegularExpression entry(QStringLiteral("^[A-Za-z][A-Za-z0-9_]*[ \\t]+\"[^\\r\\n]*\"$"));
  for (const char *name : kTableNames) {
    const QByteArray bytes = embedded(name);
    ASSERT_FALSE(bytes.isEmpty()) << name;
    const QString text = QString::fromUtf8(bytes);
    EXPECT_EQ(text.toUtf8(), bytes) << name << " is not valid UTF-8";
    int line = 0;
    for (const QString &raw : text.split(u'\n')) {
      ++line;
      const QString l = raw.trimmed();
      if (l.isEmpty()) continue;
      EXPECT_TRUE(entry.match(l).hasMatch()) << name << ":" << line << ": " << l.toStdString();
      EXPECT_EQ(l.count(u'"') % 2, 0) << name << ":" << line;
    }
  }
}

TEST(TranslateTables, HeaderKeys)
{
  struct Header {
    const char *table;
    int charSet, codePage, systemId;
    const char *id, *name;
  };
  const Header headers[] = {{"translate_en.txt", 0, 0, 1033, "en", "English"},
                            {"translate_ru.txt", 204, 1251, 1049, "ru", "Русский"},
                            {"translate_ua.txt", 204, 1251, 1058, "ua", "Українська"}};
  for (const auto &h : headers) {
    const TLang lang(embedded(h.table));
    EXPECT_EQ(lang.CharSet, h.charSet) << h.table;
    EXPECT_EQ(lang.CodePage, h.codePage) << h.table;
    EXPECT_EQ(lang.SystemID, h.systemId) << h.table;
    EXPECT_EQ(lang.ID, QString::fromUtf8(h.id)) << h.table;
    EXPECT_EQ(lang.Name, QString::fromUtf8(h.name)) << h.table;
    // By convention the header opens the table.
    ASSERT_GE(lang.Items.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(lang.Items[size_t(i)].Key, kHeaderKeys[i].toLower()) << h.table;
  }
}

TEST(TranslateTables, ColoursAndMapViewValues)
{
  const TLang en(embedded("translate_en.txt"));
  const QRegularExpression hex(QStringLiteral("^#[0-9A-F]{6}$"));
  for (const QString &key : kColourKeys) {
    const QString v = en.GetValue(key);
    TThemeRole role;
    EXPECT_TRUE(hex.match(v).hasMatch() || ThemeRoleForColorName(v, role)) << key.toStdString();
  }
  EXPECT_EQ(en.GetValue(u"colorMainBG"), "clBtnFace");
  EXPECT_EQ(en.GetValue(u"colorGraph_G"), "#996E0B");
  EXPECT_EQ(en.GetValue(u"gmStartX"), "37.62");
  EXPECT_EQ(en.GetValue(u"gmStartY"), "55.75");
  EXPECT_EQ(en.GetValue(u"gmStartZoom"), "14");
  const TLang ua(embedded("translate_ua.txt"));
  EXPECT_EQ(ua.GetValue(u"gmStartX"), "30.522817");
  EXPECT_EQ(ua.GetValue(u"gmStartY"), "50.450484");
  EXPECT_EQ(ua.GetValue(u"gmStartZoom"), "14");
}

TEST(TranslateTables, EnglishTextsTheProgramQuotes)
{
  loadEmbeddedTables(LangIdEnglish);
  EXPECT_EQ(Translate(u"Mes_SureToDelFile"), "Are you sure to full delete file");
  EXPECT_EQ(Translate(u"Mes_SureToDelAllFiles"), "Are you sure to full delete all unlocked files");
  EXPECT_EQ(Translate(u"Mes_SureToDelAllFiles2"), "Count");
  EXPECT_EQ(Translate(u"Mes_NoWayToBack"), "There will NO way to recover files");
  EXPECT_EQ(Translate(u"Mes_NoGPSInfo"), "No GPS Info to perform this action");
  EXPECT_EQ(Translate(u"Cropping_Info"), "Please, at first, select fragment by set A-B points in current positions");
  EXPECT_EQ(Translate(u"Mes_EVR_Screenshot"),
            "You are currently using EVR.\r\nIn this mode, the frame can be saved only in the size in which it is "
            "displayed on the screen.\r\nIf you want to save the frame in a maximum quality, switch the renderer "
            "to VMR.\r\nBut to continue the watching, it is recommended to return to the renderer EVR.");
  EXPECT_EQ(Translate(u"N_View_TimeZone_Local"), "Local System");
  EXPECT_EQ(Translate(u"MetaInfo"), "Meta Info");
  EXPECT_EQ(Translate(u"MilesPerH"), "mph");
  EXPECT_EQ(Translate(u"FileList_Col_Track") + ", " + Translate(u"Miles"), "Trip, miles");
  EXPECT_EQ(Translate(u"GPSLog_Convert"), "Convert");
  EXPECT_EQ(Translate(u"GPSLog_SelectAll"), "Select all");
  EXPECT_EQ(Translate(u"N_FileList_Add"), "Add Files");
  EXPECT_EQ(Translate(u"GPSLog_ShowTrack"), "Show track on map");
  EXPECT_EQ(Translate(u"Grouping_Title"), "Grouping");
  EXPECT_EQ(Translate(u"Grouping_Btn"), "Group");
  EXPECT_EQ(Translate(u"Cancel"), "Cancel");
  EXPECT_EQ(Translate(u"langid"), "en");
  EXPECT_EQ(Translate(u"EVRonly"), "EVR only");
}

TEST(TranslateTables, ReferencesPlaceholdersAndContacts)
{
  for (int lang : {LangIdEnglish, LangIdRussian, LangIdUkrainian}) {
    loadEmbeddedTables(lang);
    const TLang &table = Langs()[size_t(CurLang())];
    ASSERT_EQ(table.SystemID, lang);
    for (const auto &item : table.Items) {
      const QString &v = item.Value;
      EXPECT_FALSE(v.isEmpty()) << item.Key.toStdString();
      EXPECT_FALSE(v.size() > 1 && v.startsWith(u'%') && v.endsWith(u'%')) << item.Key.toStdString();
    }
    EXPECT_EQ(Translate(u"FileList_Col_Name"), Translate(u"Name"));
    EXPECT_EQ(Translate(u"FileList_Col_Duration"), Translate(u"Duration"));
    EXPECT_EQ(Translate(u"FileList_Col_DateTime"), Translate(u"DateTime"));
    EXPECT_TRUE(Translate(u"Cropping_BigFPS").contains(u"%fps%"));
    EXPECT_TRUE(Translate(u"Cropping_KeyFrameOnly").contains(u"%key%"));
    EXPECT_EQ(Translate(u"Mes_EVR_Screenshot").count(u"\r\n"), 3);
    EXPECT_TRUE(Translate(u"MyEMail").endsWith(u"@example.org"));
    EXPECT_TRUE(Translate(u"MySite").startsWith(u"https://www.example.org"));
    EXPECT_FALSE(Translate(u"MySite").endsWith(u'/')); // pages are appended with "/"
  }
  loadEmbeddedTables(LangIdEnglish);
}

TEST(TranslateTables, KeyScannerFindsEveryCallForm)
{
  const QString code = QStringLiteral(
      "Translate(\"A\"); TranslateCP(u\"B\", 65001); TranslateColor( QStringLiteral(\"C\") );\n"
      "TranslateMenuItem(\"no\"); Translate(key); x = Translate (QLatin1String(\"D\"));");
  EXPECT_EQ(literalsIn(code, QStringLiteral("Translate|TranslateCP|TranslateColor")),
            QSet<QString>({"A", "B", "C", "D"}));
}

TEST(TranslateTables, EveryKeyTheCodeAsksForIsInEnglish)
{
  ASSERT_TRUE(QFileInfo(sourceDir()).isDir()) << sourceDir().toStdString();
  const QSet<QString> english = englishKeys() | lowered(kKeysShownAsThemselves);
  for (const QString &key : literalArguments(QStringLiteral("Translate|TranslateCP|TranslateColor|DisplayColour")))
    EXPECT_TRUE(english.contains(key.toLower())) << "no English text for \"" << key.toStdString() << "\"";
}

// ---------------------------------------------------------------- resources

namespace {

// Every fixed resource name the program loads.
const QStringList kResourceNames = {
    "translate_en.txt", "translate_ru.txt", "translate_ua.txt", "WhatsNew.txt", "Ads.html",
    "Btn_Play.bmp", "Btn_Stop.bmp", "Btn_VideoZoomIn.bmp", "Btn_VideoZoomOut.bmp", "Btn_FrameNext.bmp",
    "Btn_FramePrev.bmp", "Btn_ZoomIn.bmp", "Btn_ZoomOut.bmp",
    "FileList_icon_key.bmp", "FileList_icon_key_partial.bmp", "FileList_icon_video_warning.bmp",
    "FileList_icon_gps_found.bmp",
    "Form_Main_speed.bmp", "Form_About_Logo.bmp", "Form_SetupDeivce_dod.bmp", "Form_Update_left.bmp",
    "Form_Update_right.bmp",
    "icon_about.ico", "icon_copy.ico", "icon_cropping.ico", "icon_gps_conv.ico", "icon_group.ico",
    "icon_property.ico", "icon_select_folder.ico", "icon_setupDevice.ico", "icon_update.ico",
    "icon_whatsNew.ico",
    "gm_MarkerA.png", "gm_MarkerB.png", "gm_MarkerS.png", "gm_MarkerF.png", "gm_MarkerP.png"};

// The map page comes with the map subsystem; until then code naming it is
// allowed to find nothing.
const QStringList kNotYetEmbedded = {"gm.html", "ym.html"};

bool resourceExists(const QString &name) { return QFile::exists(QStringLiteral(":/") + name); }

} // namespace

TEST(EmbeddedResources, EveryNamedResourceExists)
{
  for (const QString &name : kResourceNames) EXPECT_TRUE(resourceExists(name)) << name.toStdString();
}

TEST(EmbeddedResources, EveryResourceTheCodeNamesExists)
{
  ASSERT_TRUE(QFileInfo(sourceDir()).isDir());
  QSet<QString> names = literalArguments(
      QStringLiteral("LoadResourceText|LoadResourceBitmap|LoadResourceIcon|LoadResourceImage|ResourceExists|"
                     "ResourcePath|NavigateResource"));
  for (QString name : names) {
    if (name.startsWith(u'/')) name.remove(0, 1);
    if (name.isEmpty() || kNotYetEmbedded.contains(name)) continue;
    EXPECT_TRUE(resourceExists(name)) << name.toStdString();
  }
}

TEST(EmbeddedResources, ImagesAreReadable)
{
  // Formats by their magic numbers: BMP "BM", icon 00 00 01 00, PNG signature.
  for (const QString &name : kResourceNames) {
    const QByteArray data = embedded(name);
    ASSERT_FALSE(data.isEmpty()) << name.toStdString();
    if (name.endsWith(".bmp")) {
      ASSERT_GE(data.size(), 54) << name.toStdString();
      EXPECT_TRUE(data.startsWith("BM")) << name.toStdString();
      const auto size = quint32(uchar(data[2])) | quint32(uchar(data[3])) << 8 | quint32(uchar(data[4])) << 16 |
                        quint32(uchar(data[5])) << 24;
      EXPECT_EQ(size, quint32(data.size())) << name.toStdString();
    } else if (name.endsWith(".ico")) {
      EXPECT_TRUE(data.startsWith(QByteArray("\0\0\1\0", 4))) << name.toStdString();
    } else if (name.endsWith(".png")) {
      EXPECT_TRUE(data.startsWith("\x89PNG\r\n\x1a\n")) << name.toStdString();
    } else {
      const QString text = QString::fromUtf8(data);
      EXPECT_EQ(text.toUtf8(), data) << name.toStdString() << " is not UTF-8";
    }
  }
}

TEST(EmbeddedResources, GlyphsAreTransparentAtTheBottomLeft)
{
  // Glyphs, list icons and menu bitmaps take their transparent colour from
  // the bottom-left pixel, the first one stored in a bottom-up 24-bit BMP.
  QStringList glyphs;
  QDirIterator it(QStringLiteral(":/"));
  while (it.hasNext()) {
    const QString name = QFileInfo(it.next()).fileName();
    if (name.endsWith(".bmp") && (name.startsWith("Btn_") || name.startsWith("FileList_icon_") || name.startsWith("N_")))
      glyphs << name;
  }
  EXPECT_GE(glyphs.size(), 12);
  const QSet<QString> english = englishKeys();
  for (const QString &name : glyphs) {
    const QByteArray data = embedded(name);
    ASSERT_GE(data.size(), 57) << name.toStdString();
    EXPECT_EQ(data.mid(54, 3), QByteArray("\xFF\x00\xFF", 3)) << name.toStdString();
    // A menu bitmap is found by its item's name; a misspelt one is never shown.
    if (name.startsWith("N_")) {
      EXPECT_TRUE(english.contains(name.chopped(4).toLower())) << name.toStdString();
    }
  }
}

TEST(EmbeddedResources, ReleaseNotesForEachLanguage)
{
  EXPECT_TRUE(embedded("WhatsNew.txt").contains("1.1"));
  for (const char *id : {"ru", "ua"}) {
    const QByteArray notes = embedded(QStringLiteral("WhatsNew_%1.txt").arg(QLatin1String(id)));
    EXPECT_FALSE(notes.isEmpty()) << id;
  }
  const QByteArray ads = embedded("Ads.html");
  EXPECT_TRUE(ads.contains("name=\"height\"")) << "the strip takes its height from the page";
}

TEST(TranslateTables, KeyCountsOfTheThreeTables)
{
  EXPECT_EQ(TLang(embedded("translate_en.txt")).Items.size(), 263u);
  EXPECT_EQ(TLang(embedded("translate_ru.txt")).Items.size(), 238u);
  EXPECT_EQ(TLang(embedded("translate_ua.txt")).Items.size(), 244u);
}

// A key the code asks for that no table holds shows as the key itself.
TEST(TranslateTables, FolderChooserOkButtonShowsItsKey)
{
  for (int lang : {LangIdEnglish, LangIdRussian, LangIdUkrainian}) {
    loadEmbeddedTables(lang);
    EXPECT_EQ(Translate(u"Ok"), "Ok") << lang;
  }
  loadEmbeddedTables(LangIdEnglish);
}
