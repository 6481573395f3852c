#include "MenuTable.h"

namespace kp {

namespace {

using K = TMenuKind;

constexpr const char *Sep = "-";

} // namespace

const std::vector<TMenuDecl> &MainMenuTable()
{
  static const std::vector<TMenuDecl> table = {
      {"N_File", "", K::Submenu},
      {"N_File_Open", "N_File", K::Command, "", false, "Ctrl+O"},
      {"N_File_Convert_GPS", "N_File", K::Command, "", false, "Ctrl+G"},
      {"N_File_Save_Video", "N_File", K::Command},
      {Sep, "N_File", K::Separator},
      {"N_SetupDevice", "N_File", K::Command},
      {"N_Settings_Clear", "N_File", K::Command},
      {Sep, "N_File", K::Separator},
      {"N_File_Exit", "N_File", K::Command, "", false, "Alt+F4"},

      {"N_View", "", K::Submenu},
      {"N_View_Profile", "N_View", K::Submenu},
      {"N_View_Profile_GPS_G", "N_View_Profile", K::Radio, "profile", true},
      {"N_View_Profile_GPS", "N_View_Profile", K::Radio, "profile"},
      {"N_View_Profile_Video", "N_View_Profile", K::Radio, "profile"},
      {Sep, "N_View", K::Separator},
      {"N_View_FileList", "N_View", K::Toggle, "", true, "F2"},
      // The provider submenu stays hidden: its only working page is the
      // embedded one, and its item stands in the view menu as a toggle.
      {"N_View_Maps", "N_View", K::Submenu, "", false, "", false},
      {"N_View_YandexMaps", "N_View_Maps", K::Radio, "maps", false, "", false},
      {"N_View_NoMaps", "N_View_Maps", K::Radio, "maps", false, "", false},
      {"N_View_GoogleMaps", "N_View", K::Toggle, "", true, "F3"},
      {"N_View_ControlPanel", "N_View", K::Toggle, "", true, "F4"},
      {"N_View_Details", "N_View", K::Toggle, "", true, "F8"},
      {"N_View_Graphics", "N_View", K::Submenu},
      {"N_View_Graphics_S", "N_View_Graphics", K::Toggle, "", true, "S"},
      {"N_View_Graphics_H", "N_View_Graphics", K::Toggle, "", false, "H"},
      {"N_View_Graphics_G", "N_View_Graphics", K::Toggle, "", true, "G"},
      {"N_View_Graphics_X", "N_View_Graphics", K::Toggle, "", false, "X"},
      {"N_View_Graphics_Y", "N_View_Graphics", K::Toggle, "", false, "Y"},
      {"N_View_Graphics_Z", "N_View_Graphics", K::Toggle, "", false, "Z"},
      {Sep, "N_View_Graphics", K::Separator},
      {"N_View_Graphics_Show", "N_View_Graphics", K::Command, "", false, "F7"},
      {"N_View_Graphics_Hide", "N_View_Graphics", K::Command, "", false, "F6"},
      {"N_View_Time", "N_View", K::Submenu},
      {"N_View_Time_ZoomIn", "N_View_Time", K::Command, "", false, "Ctrl+="},
      {"N_View_Time_ZoomOut", "N_View_Time", K::Command, "", false, "Ctrl+-"},
      {Sep, "N_View_Time", K::Separator},
      {"N_View_Time_SetA", "N_View_Time", K::Command, "", false, "Ctrl+Home"},
      {"N_View_Time_SetB", "N_View_Time", K::Command, "", false, "Ctrl+End"},
      {"N_View_Time_LoopAB", "N_View_Time", K::Toggle, "", false, "Ctrl+L"},
      {Sep, "N_View", K::Separator},
      {"N_View_Refresh", "N_View", K::Submenu},
      {"N_View_Refresh_Fast", "N_View_Refresh", K::Radio, "refresh", true},
      {"N_View_Refresh_Norm", "N_View_Refresh", K::Radio, "refresh"},
      {"N_View_Refresh_Slow", "N_View_Refresh", K::Radio, "refresh"},
      {"N_View_Arrow", "N_View", K::Submenu},
      {"N_View_Arrow_Small", "N_View_Arrow", K::Radio, "arrow"},
      {"N_View_Arrow_Normal", "N_View_Arrow", K::Radio, "arrow", true},
      {"N_View_Arrow_Big", "N_View_Arrow", K::Radio, "arrow"},
      {"N_View_TimePoints", "N_View", K::Submenu},
      {"N_View_TimePoints_1m", "N_View_TimePoints", K::Radio, "timepoints"},
      {"N_View_TimePoints_5m", "N_View_TimePoints", K::Radio, "timepoints", true},
      {"N_View_TimePoints_20m", "N_View_TimePoints", K::Radio, "timepoints"},
      {"N_View_TimePoints_Never", "N_View_TimePoints", K::Radio, "timepoints"},
      {"N_View_Measurement", "N_View", K::Submenu},
      {"N_View_Measu_Metric", "N_View_Measurement", K::Radio, "units", true},
      {"N_View_Measu_British", "N_View_Measurement", K::Radio, "units"},
      // The GMT items are added after the local item (BuildTimeZoneMenu).
      {"N_View_TimeZone", "N_View", K::Submenu},
      {"N_View_TimeZone_Local", "N_View_TimeZone", K::Radio, "timezone", true},
      {Sep, "N_View_TimeZone", K::Separator},
      // Filled from the translation tables (BuildLanguageMenu).
      {"N_View_Language", "N_View", K::Submenu},

      {"N_Playback", "", K::Submenu},
      {"N_Playback_Play", "N_Playback", K::Command, "", false, "Space"},
      {"N_Playback_Stop", "N_Playback", K::Command, "", false, "Esc"},
      {Sep, "N_Playback", K::Separator},
      {"N_Playback_Left", "N_Playback", K::Command, "", false, "Left"},
      {"N_Playback_Right", "N_Playback", K::Command, "", false, "Right"},
      {"N_Playback_Frame_Prev", "N_Playback", K::Command, "", false, "Ctrl+Left"},
      {"N_Playback_Frame_Next", "N_Playback", K::Command, "", false, "Ctrl+Right"},
      {Sep, "N_Playback", K::Separator},
      {"N_Playback_PauseOnClick", "N_Playback", K::Toggle},
      {"N_Playback_PlayNext", "N_Playback", K::Toggle, "", true},
      {Sep, "N_Playback", K::Separator},
      {"N_Playback_Save_Frame", "N_Playback", K::Command, "", false, "Ctrl+S"},
      {"N_Playback_Save_Wind", "N_Playback", K::Command, "", false, "Alt+S"},
      {Sep, "N_Playback", K::Separator},
      {"N_Playback_Renderer", "N_Playback", K::Submenu},
      {"N_Playback_Renderer_NUL", "N_Playback_Renderer", K::Radio, "renderer"},
      {"N_Playback_Renderer_WMR", "N_Playback_Renderer", K::Radio, "renderer"},
      {"N_Playback_Renderer_EVR", "N_Playback_Renderer", K::Radio, "renderer", true},

      {"N_VideoZoom", "", K::Submenu},
      {"N_VideoZoom_Custom", "N_VideoZoom", K::Radio, "videozoom"},
      {Sep, "N_VideoZoom", K::Separator},
      {"N_VideoZoom_ZoomIn", "N_VideoZoom", K::Command},
      {"N_VideoZoom_ZoomOut", "N_VideoZoom", K::Command},
      {"N_VideoZoom_800", "N_VideoZoom", K::Command},
      {"N_VideoZoom_400", "N_VideoZoom", K::Command},
      {"N_VideoZoom_200", "N_VideoZoom", K::Command},
      {"N_VideoZoom_100", "N_VideoZoom", K::Command},
      {"N_VideoZoom_50", "N_VideoZoom", K::Command},
      {"N_VideoZoom_25", "N_VideoZoom", K::Command},
      {"N_VideoZoom_10", "N_VideoZoom", K::Command},
      {"N_VideoZoom_Other", "N_VideoZoom", K::Command},
      {Sep, "N_VideoZoom", K::Separator},
      {"N_VideoZoom_Letterbox", "N_VideoZoom", K::Radio, "videozoom", true, "Alt+1"},
      {"N_VideoZoom_PanAndScan", "N_VideoZoom", K::Radio, "videozoom", false, "Alt+2"},
      {"N_VideoZoom_Stretch", "N_VideoZoom", K::Radio, "videozoom", false, "Alt+3"},
      {"N_VideoZoom_NotLinear", "N_VideoZoom", K::Radio, "videozoom", false, "Alt+4"},
      {Sep, "N_VideoZoom", K::Separator},
      {"N_VideoZoom_FlipV", "N_VideoZoom", K::Toggle, "", false, "F9"},
      {"N_VideoZoom_FlipH", "N_VideoZoom", K::Toggle, "", false, "F10"},

      {"N_FullScreen", "", K::Toggle, "", false, "Alt+Return"},

      {"N_Help", "", K::Submenu},
      {"N_Help_About", "N_Help", K::Command, "", false, "F1"},
      {"N_Help_WhatsNew", "N_Help", K::Command},
      {"N_Help_Site", "N_Help", K::Command},
      // Nothing stands behind it in this program.
      {"N_Help_Donate", "N_Help", K::Command, "", false, "", false},
  };
  return table;
}

const std::vector<TMenuDecl> &ListPopupTable()
{
  static const std::vector<TMenuDecl> table = {
      {"N_FileList_Open", "", K::Command, "", false, "Return"},
      {"N_FileList_Add", "", K::Command, "", false, "Ins"},
      {"N_FileList_Del", "", K::Command, "", false, "Del"},
      {"N_FileList_Refresh", "", K::Command, "", false, "F5"},
      {"N_FileList_Clear", "", K::Command, "", false, "Ctrl+N"},
      {Sep, "", K::Separator},
      {"N_FileList_Copy", "", K::Command, "", false, "Shift+C"},
      {"N_FileList_DelDisk", "", K::Command, "", false, "Shift+Del"},
      {"N_FileList_DelDiskAll", "", K::Command},
      {"N_FileList_Save", "", K::Command},
      {Sep, "", K::Separator},
      {"N_FileList_SetLock", "", K::Command},
      {"N_FileList_UnsetLock", "", K::Command},
      {Sep, "", K::Separator},
      {"N_FileList_Group_With", "", K::Command},
      {"N_FileList_Ungroup", "", K::Command},
      {"N_FileList_Group_Auto", "", K::Command},
      {"N_FileList_Ungroup_All", "", K::Command},
      {Sep, "", K::Separator},
      {"N_FileList_Track_Google", "", K::Command},
      {"N_FileList_Track_Export", "", K::Command},
      {"N_FileList_Track_Set", "", K::Command},
      {"N_FileList_Track_GPSLog", "", K::Command, "", false, "", false},
      {"N_FileList_Track_Move", "", K::Command},
      {Sep, "", K::Separator},
      {"N_FileList_ShowExplorer", "", K::Command},
      {"N_FileList_Property", "", K::Command},
  };
  return table;
}

} // namespace kp
